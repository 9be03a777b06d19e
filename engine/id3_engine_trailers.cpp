// Cutting blocks behind the audio (an APE tag, a Lyrics3 block) out of the open file.
#include "engine/file/tag_file.h"
#include "engine/tag_writer.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/rtl/exception.h"

namespace tagscope {

int64_t TID3Engine::FileSize() {
  return Active() ? FStream->Size() : 0;
}

void TID3Engine::CutFileRanges(std::vector<TFileRange> ranges) {
  if (!Active() || ranges.empty()) return;
  if (FReadOnly) throw EWriteError(SReadOnlyFile);
  TTagWriter(*this, *FFile).Cut(ranges);
  FFile->RaiseNotDurable();
}

void TID3Engine::SpliceFile(std::vector<TFileSplice> splices) {
  if (!Active() || splices.empty()) return;
  if (FReadOnly) throw EWriteError(SReadOnlyFile);
  TTagWriter(*this, *FFile).Splice(std::move(splices));
  FFile->RaiseNotDurable();
}

}  // namespace tagscope
