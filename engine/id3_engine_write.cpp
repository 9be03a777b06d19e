// Writing and erasing the tag in the file, through the writer and the file side.
#include "engine/file/tag_file.h"
#include "engine/tag/content_kind.h"
#include "engine/tag_writer.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/engine/trailer_tags.h"

namespace tagscope {

TTagWriter TID3Engine::Writer() {
  ApplyOptions();
  return TTagWriter(*FFile, FTag, FPlace,
                    {FReadOnly, FOptions.forceWrite, FReadReport, OnFrameEncrypt, FWriteID3V1});
}

void TID3Engine::SaveTag() {
  if (!Active()) return;
  SettleID3V1Import();
  Writer().Save(FOptions.dropApeTag ? ReadTrailerTags(*this).ApeRanges()
                                    : std::vector<TFileRange>());
}

void TID3Engine::RemoveTag(const std::vector<TFileRange>& trailers) {
  if (!Active()) return;
  SettleID3V1Import();
  Writer().Remove(trailers);
}

std::string TID3Engine::ForeignContent() {
  return Active() ? ForeignContentOf(FFile->Stream(), 0) : std::string();
}

}  // namespace tagscope
