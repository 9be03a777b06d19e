// Writing and erasing the tag in the file, through the writer and the file side.
#include "engine/audio/content_kind.h"
#include "engine/file/tag_file.h"
#include "engine/tag/tag_writer.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/engine/trailer_tags.h"

namespace tagscope {

TTagWriter TID3Engine::Writer() {
  TTagWriteOptions options{FReadOnly, FForceWrite, FReadReport, OnFrameEncrypt, nullptr};
  if (FWriteID3V1)
    options.trailer = [this](TStream& file, int64_t tagEnd) { WriteID3V1To(file, tagEnd); };
  return TTagWriter(*FFile, FTag, FPlace, std::move(options));
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
  return Active() ? ForeignContentOf(*FStream, 0) : std::string();
}

}  // namespace tagscope
