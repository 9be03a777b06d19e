#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tagscope {

// A comment (COMM), picture (APIC) or link (WXXX) as read from its payload, its texts decoded
// by the payload's encoding byte: in full as UTF-8 in the ...Utf8 members, which a program
// should read; as ISO-8859-1 ('?' for what it lacks) in their plain twins, the form the
// plug-in's host interface takes.
struct TID3Comment {
  std::string Language = std::string(3, '\0');  // three bytes, as stored
  std::string Description;
  std::string Text;
  std::string DescriptionUtf8;
  std::string TextUtf8;
};
struct TID3Picture {
  std::string MimeType;  // lower case
  uint8_t PictureType = 0;
  std::string Description;
  std::string DescriptionUtf8;
};
// A user-defined text (TXXX): description and value, both in the payload's encoding.
struct TID3UserText {
  std::string Description;
  std::string Text;
  std::string DescriptionUtf8;
  std::string TextUtf8;
};
struct TID3Url {
  std::string Description;
  std::string URL;  // always ISO-8859-1 in the payload
  std::string DescriptionUtf8;
  std::string URLUtf8;
};

// The payload readers never read past the payload's end: a field without its terminator
// ends there. They read what the frame kinds' decoding (DecodeFrameContent) reads, and the
// builders write through the kinds' rendering (RenderFrameContent).
TID3Comment ParseComment(std::string_view payload);
// The picture's bytes are the payload's from dataOffset to its end.
TID3Picture ParsePicture(std::string_view payload, size_t& dataOffset);
TID3Url ParseURL(std::string_view payload);
TID3UserText ParseUserText(std::string_view payload);
// A comment payload as this engine writes it: encoding 0, language, description, text.
std::string BuildComment(const std::string& description, const std::string& text,
                         const std::string& language);
// A comment payload from UTF-8 texts, in the encoding EncodingForText picks for both texts
// together in a tag of the version.
std::string BuildCommentUtf8(const std::string& description, const std::string& text,
                             const std::string& language, uint8_t version);
// The payloads of a picture, a user-defined link and a user-defined text from UTF-8 texts, in
// the encoding EncodingForText picks for their texts together in a tag of the version. The
// MIME type and a link's URL are ISO-8859-1 bytes whatever the encoding.
std::string BuildPictureUtf8(const std::string& mimeType, uint8_t pictureType,
                             const std::string& description, std::string_view data,
                             uint8_t version);
std::string BuildUserURLUtf8(const std::string& description, const std::string& url,
                             uint8_t version);
std::string BuildUserTextUtf8(const std::string& description, const std::string& text,
                              uint8_t version);
// Unsynchronised lyrics (USLT) from UTF-8 texts; a language shorter than three letters is
// filled with blanks.
std::string BuildLyricsUtf8(const std::string& description, const std::string& text,
                            const std::string& language, uint8_t version);

}  // namespace tagscope
