// The engine's frame content operations: the tag's, while a file is open.
#include "tagscope/engine/id3_engine.h"

namespace tagscope {

int TID3Engine::FrameCount(std::string_view id) const {
  return FTag.FrameCount(id);
}

std::string TID3Engine::GetFrameText(std::string_view id) const {
  return Active() ? FTag.GetFrameText(id) : std::string();
}

void TID3Engine::SetFrameText(std::string_view id, const std::string& text) {
  if (Active()) FTag.SetFrameText(id, text);
}

std::string TID3Engine::GetFrameTextUtf8(std::string_view id) const {
  return Active() ? FTag.GetFrameTextUtf8(id) : std::string();
}

void TID3Engine::SetFrameTextUtf8(std::string_view id, const std::string& utf8) {
  if (Active()) FTag.SetFrameTextUtf8(id, utf8);
}

bool TID3Engine::GetComment(int index, TID3Comment& comment) const {
  comment = TID3Comment();
  return Active() && FTag.GetComment(index, comment);
}

int TID3Engine::AddComment(const std::string& description, const std::string& text,
                           const std::string& language) {
  return Active() ? FTag.AddComment(description, text, language) : -1;
}

int TID3Engine::AddCommentUtf8(const std::string& description, const std::string& text,
                               const std::string& language) {
  return Active() ? FTag.AddCommentUtf8(description, text, language) : -1;
}

bool TID3Engine::GetPicture(int index, TStream& data, TID3Picture& picture) const {
  picture = TID3Picture();
  return Active() && FTag.GetPicture(index, data, picture);
}

bool TID3Engine::GetPicture(int index, TID3Picture& picture, std::string_view& bytes) const {
  picture = TID3Picture();
  bytes = {};
  return Active() && FTag.GetPicture(index, picture, bytes);
}

bool TID3Engine::GetPictureInfo(int index, TID3Picture& picture, int64_t& size) const {
  picture = TID3Picture();
  size = 0;
  return Active() && FTag.GetPictureInfo(index, picture, size);
}

bool TID3Engine::GetURL(int index, TID3Url& url) const {
  url = TID3Url();
  return Active() && FTag.GetURL(index, url);
}

bool TID3Engine::GetUserText(int index, TID3UserText& text) const {
  text = TID3UserText();
  return Active() && FTag.GetUserText(index, text);
}

bool TID3Engine::GetLyrics(int index, TID3Comment& lyrics) const {
  lyrics = TID3Comment();
  return Active() && FTag.GetLyrics(index, lyrics);
}

}  // namespace tagscope
