// The engine's frame content operations: the tag's, while a file is open.
#include "tagscope/engine/id3_engine.h"

namespace tagscope {

std::string TID3Engine::GetFrameText(std::string_view id) const {
  return Active() ? FTag.GetFrameText(id) : std::string();
}

void TID3Engine::SetFrameText(std::string_view id, const std::string& text) {
  if (Active()) FTag.SetFrameText(id, text);
}

void TID3Engine::SetTitleUtf8(const std::string& v) {
  if (Active()) FTag.SetTitleUtf8(v);
}

bool TID3Engine::GetComment(int index, TID3Comment& comment) const {
  comment = TID3Comment();
  return Active() && FTag.GetComment(index, comment);
}

int TID3Engine::AddComment(const std::string& description, const std::string& text,
                           const std::string& language) {
  return Active() ? FTag.AddComment(description, text, language) : -1;
}

bool TID3Engine::GetPicture(int index, TStream& data, TID3Picture& picture) const {
  picture = TID3Picture();
  return Active() && FTag.GetPicture(index, data, picture);
}

bool TID3Engine::GetURL(int index, TID3Url& url) const {
  url = TID3Url();
  return Active() && FTag.GetURL(index, url);
}

}  // namespace tagscope
