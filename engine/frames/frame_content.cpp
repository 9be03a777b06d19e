// The typed views of comments, pictures, links and user texts: read through their kinds'
// parse, built through their render.
#include "tagscope/engine/frame_content.h"

#include "engine/frames/stream_helpers.h"
#include "tagscope/engine/frame_value.h"
#include "tagscope/engine/text_encoding.h"
#include "tagscope/rtl/ascii_case.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope {

namespace {

// The payload decoded by its kind; none of these kinds reads otherwise in another version.
TFrameValue Decoded(std::string_view id, std::string_view payload) {
  return DecodeFrameContent(id, payload, 4);
}

// A text field, or the first of a list of texts; "" when the frame has none.
std::string FirstText(const TFrameValue& value, std::string_view name) {
  const TFrameField* f = value.Find(name);
  if (!f) return {};
  if (f->Type == TFieldType::ftText) return f->Text;
  return f->Type == TFieldType::ftTextList && !f->Texts.empty() ? f->Texts[0] : std::string();
}

// Both views of a text: in full as UTF-8, and as ISO-8859-1.
void Views(std::string utf8, std::string& latin1, std::string& full) {
  latin1 = Utf8ToLatin1(utf8);
  full = std::move(utf8);
}

}  // namespace

TID3Comment ParseComment(std::string_view payload) {
  TID3Comment c;
  const TFrameValue value = Decoded("COMM", payload);
  // A payload too short for the whole language keeps the bytes it has.
  if (const TFrameField* language = value.Find("language"))
    c.Language = Utf8ToLatin1(language->Text);
  else
    for (size_t i = 1; i < 4 && i < payload.size(); ++i) c.Language[i - 1] = payload[i];
  Views(TrimControl(FirstText(value, "description")), c.Description, c.DescriptionUtf8);
  Views(FirstText(value, "text"), c.Text, c.TextUtf8);
  return c;
}

TID3Picture ParsePicture(std::string_view payload, size_t& dataOffset) {
  TID3Picture p;
  const TFrameValue value = Decoded("APIC", payload);
  p.MimeType = AsciiLowerCase(Utf8ToLatin1(FirstText(value, "mimeType")));
  if (const TFrameField* type = value.Find("pictureType"))
    p.PictureType = static_cast<uint8_t>(type->Number);
  Views(FirstText(value, "description"), p.Description, p.DescriptionUtf8);
  const TFrameField* data = value.Find("data");
  dataOffset = data && !data->Bytes.empty()
                   ? static_cast<size_t>(data->Bytes.data() - payload.data())
                   : payload.size();
  return p;
}

TID3Url ParseURL(std::string_view payload) {
  TID3Url u;
  const TFrameValue value = Decoded("WXXX", payload);
  Views(FirstText(value, "description"), u.Description, u.DescriptionUtf8);
  Views(FirstText(value, "url"), u.URL, u.URLUtf8);
  return u;
}

TID3UserText ParseUserText(std::string_view payload) {
  TID3UserText t;
  const TFrameValue value = Decoded("TXXX", payload);
  Views(FirstText(value, "description"), t.Description, t.DescriptionUtf8);
  Views(FirstText(value, "text"), t.Text, t.TextUtf8);
  return t;
}

// The bytes as given, a terminator after the text too: the form the host interface's
// AddComment has always written.
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

namespace {

// A language of three bytes, as a comment stores it: cut or filled with `fill`.
std::string Language(const std::string& language, char fill) {
  std::string lang = language.substr(0, 3);
  lang.resize(3, fill);
  return Latin1ToUtf8(lang);
}

}  // namespace

std::string BuildCommentUtf8(const std::string& description, const std::string& text,
                             const std::string& language, uint8_t version) {
  TFrameValue value;
  value.Kind = "comment";
  value.AddText("language", Language(language, '\0'))
      .AddText("description", description)
      .AddTexts("text", {text});
  // The text ends in its terminator, as AddComment has always written it.
  const std::string payload = RenderFrameContent("COMM", value, version);
  return payload + Terminator(static_cast<uint8_t>(payload[0]));
}

std::string BuildLyricsUtf8(const std::string& description, const std::string& text,
                            const std::string& language, uint8_t version) {
  TFrameValue value;
  value.Kind = "lyrics";
  value.AddText("language", Language(language, ' '))
      .AddText("description", description)
      .AddText("text", text);
  return RenderFrameContent("USLT", value, version);
}

std::string BuildPictureUtf8(const std::string& mimeType, uint8_t pictureType,
                             const std::string& description, std::string_view data,
                             uint8_t version) {
  TFrameValue value;
  value.Kind = "picture";
  value.AddText("mimeType", Latin1ToUtf8(mimeType))
      .AddNumber("pictureType", pictureType)
      .AddText("description", description)
      .AddBytes("data", std::string(data));
  return RenderFrameContent("APIC", value, version);
}

std::string BuildUserURLUtf8(const std::string& description, const std::string& url,
                             uint8_t version) {
  TFrameValue value;
  value.Kind = "userUrl";
  value.AddText("description", description).AddText("url", Latin1ToUtf8(url));
  return RenderFrameContent("WXXX", value, version);
}

std::string BuildUserTextUtf8(const std::string& description, const std::string& text,
                              uint8_t version) {
  TFrameValue value;
  value.Kind = "userText";
  value.AddText("description", description).AddTexts("text", {text});
  return RenderFrameContent("TXXX", value, version);
}

}  // namespace tagscope
