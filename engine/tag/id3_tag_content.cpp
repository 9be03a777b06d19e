// The tag's frame content operations: text fields, comments, pictures and links.
#include "tagscope/engine/id3_tag.h"

namespace tagscope {

namespace {

// The first frame with the ID, added at the end when there is none.
TID3Frames_Item& FrameForText(TID3Frames& frames, std::string_view id) {
  TID3Frames_Item* item = frames.FindFrame(id);
  if (!item) {
    item = &frames.Add();
    item->SetName(id);
  }
  return *item;
}

}  // namespace

int TID3Tag::FrameCount(std::string_view id) const {
  return FFrames.CountOf(id);
}

std::string TID3Tag::GetFrameText(std::string_view id) const {
  const TID3Frames_Item* item = FFrames.FindFrame(id);
  return item ? item->AsText() : std::string();
}

void TID3Tag::SetFrameText(std::string_view id, const std::string& text) {
  FrameForText(FFrames, id).SetAsText(text);
}

std::string TID3Tag::GetFrameTextUtf8(std::string_view id) const {
  const TID3Frames_Item* item = FFrames.FindFrame(id);
  return item ? item->AsTextUtf8() : std::string();
}

void TID3Tag::SetFrameTextUtf8(std::string_view id, const std::string& utf8) {
  FrameForText(FFrames, id).SetAsTextUtf8(utf8, FHeader.VersionNumber());
}

bool TID3Tag::GetComment(int index, TID3Comment& comment) const {
  comment = TID3Comment();
  const TID3Frames_Item* item = FFrames.FindFrame("COMM", index);
  if (!item) return false;
  comment = ParseComment(item->Payload());
  return true;
}

int TID3Tag::AddComment(const std::string& description, const std::string& text,
                        const std::string& language) {
  const int index = FrameCount("COMM");
  TID3Frames_Item& item = FFrames.Add();
  item.SetName("COMM");
  item.SetPayload(BuildComment(description, text, language));
  return index;
}

int TID3Tag::AddCommentUtf8(const std::string& description, const std::string& text,
                            const std::string& language) {
  const int index = FrameCount("COMM");
  TID3Frames_Item& item = FFrames.Add();
  item.SetName("COMM");
  item.SetPayload(BuildCommentUtf8(description, text, language, FHeader.VersionNumber()));
  return index;
}

bool TID3Tag::GetPicture(int index, TStream& data, TID3Picture& picture) const {
  std::string_view bytes;
  if (!GetPicture(index, picture, bytes)) return false;
  data.SetPosition(0);
  data.SetSize(0);
  data.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  return true;
}

bool TID3Tag::GetPicture(int index, TID3Picture& picture, std::string_view& bytes) const {
  picture = TID3Picture();
  bytes = {};
  const TID3Frames_Item* item = FFrames.FindFrame("APIC", index);
  if (!item) return false;
  const std::string_view payload = item->Payload();
  size_t offset = 0;
  picture = ParsePicture(payload, offset);
  bytes = payload.substr(offset);
  return true;
}

bool TID3Tag::GetPictureInfo(int index, TID3Picture& picture, int64_t& size) const {
  picture = TID3Picture();
  size = 0;
  const TID3Frames_Item* item = FFrames.FindFrame("APIC", index);
  if (!item) return false;
  const std::string_view front = item->PayloadFront();
  size_t offset = 0;
  picture = ParsePicture(front, offset);
  // The description ends inside the part in memory, or the whole payload is read for it.
  if (offset >= front.size() && !item->PayloadRead())
    picture = ParsePicture(item->Payload(), offset);
  size = item->DataSize() - static_cast<int64_t>(offset);
  return true;
}

bool TID3Tag::GetURL(int index, TID3Url& url) const {
  url = TID3Url();
  const TID3Frames_Item* item = FFrames.FindFrame("WXXX", index);
  if (!item) return false;
  url = ParseURL(item->Payload());
  return true;
}

bool TID3Tag::GetUserText(int index, TID3UserText& text) const {
  text = TID3UserText();
  const TID3Frames_Item* item = FFrames.FindFrame("TXXX", index);
  if (!item) return false;
  text = ParseUserText(item->Payload());
  return true;
}

bool TID3Tag::GetLyrics(int index, TID3Comment& lyrics) const {
  lyrics = TID3Comment();
  const TID3Frames_Item* item = FFrames.FindFrame("USLT", index);
  if (!item) return false;
  lyrics = ParseComment(item->Payload());
  return true;
}

}  // namespace tagscope
