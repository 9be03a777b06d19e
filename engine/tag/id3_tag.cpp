#include "tagscope/engine/id3_tag.h"

#include <utility>

namespace tagscope {

TID3Tag::TID3Tag() = default;

TID3Tag::~TID3Tag() = default;

void TID3Tag::SetPadding(int64_t value) {
  // A tag with a footer has no padding: the footer follows the frames directly.
  FPadding = FHeader.FooterPresent() || value < 0 ? 0 : value;
  FPaddingChosen = true;
}

void TID3Tag::Clear() {
  FHeader.Clear();
  FFrames.Clear();
  FPadding = 0;
  FPaddingChosen = false;
}

TID3Frames::TParseResult TID3Tag::ParseFrames(std::shared_ptr<const void> owner,
                                              std::string_view bytes,
                                              const TID3EngineFrameNotify& onDecrypt) {
  return FFrames.ParseFrames(std::move(owner), bytes, FHeader.VersionNumber(), onDecrypt);
}

void TID3Tag::WriteFrames(TStream& stream, const TID3EngineFrameNotify& onEncrypt) const {
  FFrames.WriteFrames(stream, FHeader.VersionNumber(), onEncrypt);
}

}  // namespace tagscope
