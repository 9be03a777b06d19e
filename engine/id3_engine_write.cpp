// Writing and erasing the tag in the file, through the writer and the file side.
#include "engine/file/tag_file.h"
#include "engine/tag/content_kind.h"
#include "engine/tag_writer.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/engine/trailer_tags.h"

namespace tagscope {

TTagWriter TID3Engine::Writer() {
  return TTagWriter(*FFile, FTag, FPlace,
                    {FReadOnly, FForceWrite, FReadReport, OnFrameEncrypt, FWriteID3V1});
}

void TID3Engine::SaveTag() {
  if (!Active()) return;
  SettleID3V1Import();
  Writer().Save(FDropApeTag ? ReadTrailerTags(*this).ApeRanges() : std::vector<TFileRange>());
}

void TID3Engine::RemoveTag(const std::vector<TFileRange>& trailers) {
  if (!Active()) return;
  SettleID3V1Import();
  Writer().Remove(trailers);
}

void TID3Engine::EraseTagAndTrailers(const std::vector<TFileRange>& trailers) {
  if (!Active()) return;
  RemoveTag(trailers);
  FReadReport = TTagReadReport{true, std::string(), 0, false, {}};
  FFile->RaiseNotDurable();
  if (OnEraseTag) OnEraseTag(*this);
}

std::string TID3Engine::ForeignContent() {
  return Active() ? ForeignContentOf(FFile->Stream(), 0) : std::string();
}

}  // namespace tagscope
