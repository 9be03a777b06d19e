#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tagscope {

// A comment (COMM), picture (APIC) or link (WXXX) as read from its payload, texts decoded
// to ISO-8859-1 by the payload's encoding byte.
struct TID3Comment {
  std::string Language = std::string(3, '\0');  // three bytes, as stored
  std::string Description;
  std::string Text;
};
struct TID3Picture {
  std::string MimeType;  // lower case
  uint8_t PictureType = 0;
  std::string Description;
};
struct TID3Url {
  std::string Description;
  std::string URL;
};
// A user-defined text (TXXX).
struct TID3UserText {
  std::string Description;
  std::string Text;
};

// The payload readers never read past the payload's end: a field without its terminator
// ends there.
TID3Comment ParseComment(std::string_view payload);
// The picture's bytes are the payload's from dataOffset to its end.
TID3Picture ParsePicture(std::string_view payload, size_t& dataOffset);
TID3Url ParseURL(std::string_view payload);
TID3UserText ParseUserText(std::string_view payload);
// A comment payload as this engine writes it: encoding 0, language, description, text.
std::string BuildComment(const std::string& description, const std::string& text,
                         const std::string& language);
// The payloads of a picture, a user-defined link and a user-defined text as this engine writes
// them: encoding 0, ISO-8859-1 texts, each description ended by a zero byte.
std::string BuildPicture(const TID3Picture& picture, std::string_view data);
std::string BuildUserURL(const std::string& description, const std::string& url);
std::string BuildUserText(const std::string& description, const std::string& text);

}  // namespace tagscope
