// The engine's frame content operations: text fields, comments, pictures and links.
#include "tagscope/engine/frame_content.h"
#include "tagscope/engine/id3_engine.h"

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

int TID3Engine::FrameCount(std::string_view id) const {
  return FFrames->CountOf(id);
}

std::string TID3Engine::GetFrameText(std::string_view id) const {
  if (!Active()) return {};
  const TID3Frames_Item* item = FFrames->FindFrame(id);
  return item ? item->AsText() : std::string();
}

void TID3Engine::SetFrameText(std::string_view id, const std::string& text) {
  if (!Active()) return;
  FrameForText(*FFrames, id).SetAsText(text);
}

std::string TID3Engine::GetFrameTextUtf8(std::string_view id) const {
  if (!Active()) return {};
  const TID3Frames_Item* item = FFrames->FindFrame(id);
  return item ? item->AsTextUtf8() : std::string();
}

void TID3Engine::SetFrameTextUtf8(std::string_view id, const std::string& utf8) {
  if (!Active()) return;
  FrameForText(*FFrames, id).SetAsTextUtf8(utf8, FHeader->VersionNumber());
}

bool TID3Engine::GetComment(int index, TID3Comment& comment) const {
  comment = TID3Comment();
  if (!Active()) return false;
  const TID3Frames_Item* item = FFrames->FindFrame("COMM", index);
  if (!item) return false;
  comment = ParseComment(item->Payload());
  return true;
}

int TID3Engine::AddComment(const std::string& description, const std::string& text,
                           const std::string& language) {
  if (!Active()) return -1;
  const int index = FrameCount("COMM");
  TID3Frames_Item& item = FFrames->Add();
  item.SetName("COMM");
  item.Data().SetBytes(BuildComment(description, text, language));
  return index;
}

int TID3Engine::AddCommentUtf8(const std::string& description, const std::string& text,
                               const std::string& language) {
  if (!Active()) return -1;
  const int index = FrameCount("COMM");
  TID3Frames_Item& item = FFrames->Add();
  item.SetName("COMM");
  item.Data().SetBytes(BuildCommentUtf8(description, text, language, FHeader->VersionNumber()));
  return index;
}

bool TID3Engine::GetPicture(int index, TStream& data, TID3Picture& picture) const {
  std::string_view bytes;
  if (!GetPicture(index, picture, bytes)) return false;
  data.SetPosition(0);
  data.SetSize(0);
  data.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  return true;
}

bool TID3Engine::GetPicture(int index, TID3Picture& picture, std::string_view& bytes) const {
  picture = TID3Picture();
  bytes = {};
  if (!Active()) return false;
  const TID3Frames_Item* item = FFrames->FindFrame("APIC", index);
  if (!item) return false;
  const std::string_view payload = item->Payload();
  size_t offset = 0;
  picture = ParsePicture(payload, offset);
  bytes = payload.substr(offset);
  return true;
}

bool TID3Engine::GetURL(int index, TID3Url& url) const {
  url = TID3Url();
  if (!Active()) return false;
  const TID3Frames_Item* item = FFrames->FindFrame("WXXX", index);
  if (!item) return false;
  url = ParseURL(item->Payload());
  return true;
}

bool TID3Engine::GetUserText(int index, TID3UserText& text) const {
  text = TID3UserText();
  const TID3Frames_Item* item = Active() ? FFrames->FindFrame("TXXX", index) : nullptr;
  if (!item) return false;
  text = ParseUserText(item->Payload());
  return true;
}

bool TID3Engine::GetLyrics(int index, TID3Comment& lyrics) const {
  lyrics = TID3Comment();
  const TID3Frames_Item* item = Active() ? FFrames->FindFrame("USLT", index) : nullptr;
  if (!item) return false;
  lyrics = ParseComment(item->Payload());
  return true;
}

}  // namespace tagscope
