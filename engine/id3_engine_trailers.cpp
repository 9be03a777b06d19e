// Cutting blocks behind the audio (an APE tag, a Lyrics3 block) out of the open file.
#include <algorithm>

#include "engine/file/tag_file.h"
#include "engine/stream_helpers.h"
#include "engine/tag_writer.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/rtl/exception.h"

namespace tagscope {

namespace {

// Copies [from, to) of `in` to the end of what `out` holds.
void CopyBytes(TStream& in, TStream& out, int64_t from, int64_t to) {
  if (to <= from) return;
  in.SetPosition(from);
  CopyStreamData(in, out, to - from);
}

}  // namespace

int64_t TID3Engine::FileSize() {
  return Active() ? FStream->Size() : 0;
}

void TID3Engine::CutFileRanges(std::vector<TFileRange> ranges) {
  if (!Active() || ranges.empty()) return;
  if (FReadOnly) throw EWriteError(SReadOnlyFile);
  std::sort(ranges.begin(), ranges.end(),
            [](const TFileRange& a, const TFileRange& b) { return a.Offset < b.Offset; });
  const int64_t size = FStream->Size();
  int64_t from = FTagOffset + FTagSize;
  for (const TFileRange& r : ranges) {
    // Only bytes behind the tag are cut, so the tag's place stays what the read found.
    if (r.Offset < from || r.Size < 0 || r.End() > size)
      throw EWriteError(Format("Cannot cut bytes %lld to %lld out of \"%s\": not behind the tag",
                               static_cast<long long>(r.Offset), static_cast<long long>(r.End()),
                               FFileName.c_str()));
    from = r.End();
  }
  try {
    FFile->Replace([&](TStream& out) {
      int64_t at = 0;
      for (const TFileRange& r : ranges) {
        CopyBytes(*FStream, out, at, r.Offset);
        at = r.End();
      }
      CopyBytes(*FStream, out, at, size);
    });
  } catch (const std::exception& e) {
    throw EWriteError(Format("Cannot cut the blocks behind the audio out of \"%s\". %s",
                             FFileName.c_str(), e.what()));
  }
  FFile->RaiseNotDurable();
}

}  // namespace tagscope
