// Cutting blocks behind the audio (an APE tag, a Lyrics3 block) out of the open file.
#include "engine/file/tag_file.h"
#include "engine/tag/tag_writer.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/rtl/exception.h"

namespace tagscope {

int64_t TID3Engine::FileSize() {
  if (!Active()) return 0;
  // A file opened for reading only keeps the size its first read found.
  const int64_t kept = FFile->ReadOnly() ? FFile->Cache().FileSize() : -1;
  return kept >= 0 ? kept : FStream->Size();
}

void TID3Engine::CutFileRanges(std::vector<TFileRange> ranges) {
  if (!Active() || ranges.empty()) return;
  if (FReadOnly) throw EWriteError(SReadOnlyFile);
  Writer().Cut(ranges);
  FFile->RaiseNotDurable();
}

void TID3Engine::SpliceFile(std::vector<TFileSplice> splices) {
  if (!Active() || splices.empty()) return;
  if (FReadOnly) throw EWriteError(SReadOnlyFile);
  Writer().Splice(std::move(splices));
  FFile->RaiseNotDurable();
}

}  // namespace tagscope
