#include "tagscope/engine/frame_content.h"

#include <algorithm>

#include "engine/stream_helpers.h"
#include "tagscope/engine/text_encoding.h"
#include "tagscope/rtl/ascii_case.h"

namespace tagscope {

namespace {

uint8_t EncodingOf(std::string_view payload) {
  return payload.empty() ? 0 : static_cast<uint8_t>(payload[0]);
}

// The string at begin and the offset after its terminator (the payload's end without one).
std::string_view TakeString(std::string_view payload, size_t begin, uint8_t encoding,
                            size_t& after) {
  const std::string_view text = TerminatedString(payload, begin, encoding);
  const size_t end = std::min(begin, payload.size()) + text.size();
  after = end < payload.size() ? std::min(end + TerminatorWidth(encoding), payload.size()) : end;
  return text;
}

// Writers differ on whether one more zero byte follows a description's terminator; in
// single-byte texts such a byte is skipped.
size_t SkipExtraZero(std::string_view payload, size_t at, uint8_t encoding) {
  if (TerminatorWidth(encoding) == 1 && at < payload.size() && payload[at] == '\0') return at + 1;
  return at;
}

}  // namespace

TID3Comment ParseComment(std::string_view payload) {
  TID3Comment c;
  const uint8_t encoding = EncodingOf(payload);
  for (size_t i = 1; i < 4 && i < payload.size(); ++i) c.Language[i - 1] = payload[i];
  size_t at = 0;
  const std::string_view raw = TakeString(payload, 4, encoding, at);
  DecodeTextViews(raw, encoding, c.Description, c.DescriptionUtf8);
  c.Description = TrimControl(c.Description);
  c.DescriptionUtf8 = TrimControl(c.DescriptionUtf8);
  // A description of blanks only is followed directly by the text.
  if (raw.empty() || !c.Description.empty()) at = SkipExtraZero(payload, at, encoding);
  const std::string_view text = TakeString(payload, at, encoding, at);
  DecodeTextViews(text, encoding, c.Text, c.TextUtf8);
  return c;
}

TID3Picture ParsePicture(std::string_view payload, size_t& dataOffset) {
  TID3Picture p;
  const uint8_t encoding = EncodingOf(payload);
  size_t at = 0;
  const std::string_view mime = TakeString(payload, 1, teISO88591, at);
  p.MimeType = AsciiLowerCase(mime);
  if (at < payload.size()) p.PictureType = static_cast<uint8_t>(payload[at++]);
  const std::string_view description = TakeString(payload, at, encoding, at);
  DecodeTextViews(description, encoding, p.Description, p.DescriptionUtf8);
  dataOffset = std::min(at, payload.size());
  return p;
}

TID3Url ParseURL(std::string_view payload) {
  TID3Url u;
  const uint8_t encoding = EncodingOf(payload);
  size_t at = 0;
  const std::string_view description = TakeString(payload, 1, encoding, at);
  DecodeTextViews(description, encoding, u.Description, u.DescriptionUtf8);
  at = SkipExtraZero(payload, at, encoding);
  u.URL = std::string(TakeString(payload, at, teISO88591, at));
  u.URLUtf8 = Latin1ToUtf8(u.URL);
  return u;
}

TID3UserText ParseUserText(std::string_view payload) {
  TID3UserText t;
  const uint8_t encoding = EncodingOf(payload);
  size_t at = 0;
  const std::string_view description = TakeString(payload, 1, encoding, at);
  DecodeTextViews(description, encoding, t.Description, t.DescriptionUtf8);
  at = SkipExtraZero(payload, at, encoding);
  const std::string_view text = TakeString(payload, at, encoding, at);
  DecodeTextViews(text, encoding, t.Text, t.TextUtf8);
  return t;
}

std::string BuildComment(const std::string& description, const std::string& text,
                         const std::string& language) {
  std::string payload(1, '\0');
  std::string lang = language.substr(0, 3);
  lang.resize(3, '\0');
  payload += lang;
  payload += description;
  payload.push_back('\0');
  payload += text;
  payload.push_back('\0');
  return payload;
}

std::string BuildCommentUtf8(const std::string& description, const std::string& text,
                             const std::string& language, uint8_t version) {
  const uint8_t encoding =
      std::max(EncodingForText(description, version), EncodingForText(text, version));
  std::string payload(1, static_cast<char>(encoding));
  std::string lang = language.substr(0, 3);
  lang.resize(3, '\0');
  payload += lang;
  payload += EncodeText(description, encoding) + Terminator(encoding);
  payload += EncodeText(text, encoding) + Terminator(encoding);
  return payload;
}

std::string BuildPictureUtf8(const std::string& mimeType, uint8_t pictureType,
                             const std::string& description, std::string_view data,
                             uint8_t version) {
  const uint8_t encoding = EncodingForText(description, version);
  std::string payload(1, static_cast<char>(encoding));
  payload += mimeType;
  payload.push_back('\0');
  payload.push_back(static_cast<char>(pictureType));
  payload += EncodeText(description, encoding) + Terminator(encoding);
  payload += data;
  return payload;
}

std::string BuildUserURLUtf8(const std::string& description, const std::string& url,
                             uint8_t version) {
  const uint8_t encoding = EncodingForText(description, version);
  return std::string(1, static_cast<char>(encoding)) + EncodeText(description, encoding) +
         Terminator(encoding) + url;
}

std::string BuildUserTextUtf8(const std::string& description, const std::string& text,
                              uint8_t version) {
  const uint8_t encoding =
      std::max(EncodingForText(description, version), EncodingForText(text, version));
  return static_cast<char>(encoding) + EncodeText(description, encoding) + Terminator(encoding) +
         EncodeText(text, encoding);
}

}  // namespace tagscope
