// The engine's frame content operations: text fields, comments, pictures and links.
#include "engine/frame_content.h"
#include "engine/id3_engine.h"

namespace tagscope {

namespace {

// The index-th frame with the ID (0-based), or nullptr.
TID3Frames_Item* NthFrame(TID3Frames& frames, std::string_view id, int index) {
  if (index < 0) return nullptr;
  for (int i = 0; i < frames.Count(); ++i) {
    TID3Frames_Item& item = frames.Items(i);
    if (item.HasID(id) && index-- == 0) return &item;
  }
  return nullptr;
}

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
  int count = 0;
  for (int i = 0; i < FFrames->Count(); ++i)
    if (FFrames->Items(i).HasID(id)) ++count;
  return count;
}

std::string TID3Engine::GetFrameText(std::string_view id) {
  if (!Active()) return {};
  TID3Frames_Item* item = FFrames->FindFrame(id);
  return item ? item->AsText() : std::string();
}

void TID3Engine::SetFrameText(std::string_view id, const std::string& text) {
  if (!Active()) return;
  FrameForText(*FFrames, id).SetAsText(text);
}

std::string TID3Engine::GetFrameTextUtf8(std::string_view id) {
  if (!Active()) return {};
  TID3Frames_Item* item = FFrames->FindFrame(id);
  return item ? item->AsTextUtf8() : std::string();
}

void TID3Engine::SetFrameTextUtf8(std::string_view id, const std::string& utf8) {
  if (!Active()) return;
  FrameForText(*FFrames, id).SetAsTextUtf8(utf8, FHeader->VersionNumber());
}

bool TID3Engine::GetComment(int index, TID3Comment& comment) {
  comment = TID3Comment();
  if (!Active()) return false;
  TID3Frames_Item* item = NthFrame(*FFrames, "COMM", index);
  if (!item) return false;
  comment = ParseComment(item->Data().Bytes());
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

bool TID3Engine::GetPicture(int index, TStream& data, TID3Picture& picture) {
  picture = TID3Picture();
  if (!Active()) return false;
  TID3Frames_Item* item = NthFrame(*FFrames, "APIC", index);
  if (!item) return false;
  const std::string& payload = item->Data().Bytes();
  size_t offset = 0;
  picture = ParsePicture(payload, offset);
  data.SetPosition(0);
  data.SetSize(0);
  data.WriteBuffer(payload.data() + offset, static_cast<int64_t>(payload.size() - offset));
  return true;
}

bool TID3Engine::GetURL(int index, TID3Url& url) {
  url = TID3Url();
  if (!Active()) return false;
  TID3Frames_Item* item = NthFrame(*FFrames, "WXXX", index);
  if (!item) return false;
  url = ParseURL(item->Data().Bytes());
  return true;
}

}  // namespace tagscope
