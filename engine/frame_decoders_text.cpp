// Decoders of the frames that carry texts: text and link frames, comments, lyrics, terms of use
// and the lists of people and their roles.
#include <algorithm>

#include "engine/frame_decoders.h"
#include "engine/stream_helpers.h"
#include "tagscope/engine/text_encoding.h"
#include "tagscope/engine/timed_frames.h"

namespace tagscope {

void DecodeTextFrame(TFieldReader& r) {
  if (r.Encoding()) r.TextList("text");
}

// Role and name, one after the other; a last role without its name keeps an empty name.
void DecodePeopleFrame(TFieldReader& r) {
  if (!r.Encoding()) return;
  const size_t at = r.Position();
  r.TextList("people");
  TFrameField& people = r.Last();
  std::vector<std::string> texts = std::move(people.Texts);
  people.Type = TFieldType::ftPairs;
  people.Texts.clear();
  if (texts.size() % 2 != 0) {
    texts.emplace_back();
    r.NoteAt(at, "its last role has no name");
  }
  for (size_t i = 0; i + 1 < texts.size(); i += 2)
    people.Pairs.emplace_back(std::move(texts[i]), std::move(texts[i + 1]));
}

void DecodeUserTextFrame(TFieldReader& r) {
  if (!r.Encoding() || !r.Text("description")) return;
  r.SkipExtraZero();
  r.TextList("text");
}

void DecodeUrlFrame(TFieldReader& r) {
  r.Latin1("url", false);
}

// A podcast feed is written as a link by some programs and as a text frame (an encoding byte
// first) by others; a URL never starts with one of those bytes.
void DecodeFeedFrame(TFieldReader& r) {
  if (r.PeekByte() >= 0 && r.PeekByte() <= 3) {
    if (r.Encoding()) r.Text("url", false);
    return;
  }
  r.Latin1("url", false);
}

void DecodeUserUrlFrame(TFieldReader& r) {
  if (!r.Encoding() || !r.Text("description")) return;
  r.SkipExtraZero();
  r.Latin1("url", false);
}

namespace {

// Encoding, language and description, as comments and lyrics begin. Writers differ on whether
// one more zero byte follows the description's terminator; it is skipped, except after a
// description of blanks only.
bool DescribedText(TFieldReader& r) {
  if (!r.Encoding() || !r.Fixed("language", 3) || !r.Text("description")) return false;
  const std::string& description = r.Last().Text;
  if (description.empty() || !TrimControl(description).empty()) r.SkipExtraZero();
  return true;
}

}  // namespace

void DecodeCommentFrame(TFieldReader& r) {
  if (DescribedText(r)) r.TextList("text");
}

void DecodeLyricsFrame(TFieldReader& r) {
  if (DescribedText(r)) r.Text("text", false);
}

std::string RenderLyricsFrame(const std::string& language, const std::string& description,
                              const std::string& text, uint8_t version) {
  const uint8_t encoding =
      std::max(EncodingForText(description, version), EncodingForText(text, version));
  std::string lang = language.substr(0, 3);
  lang.resize(3, ' ');
  return static_cast<char>(encoding) + lang + EncodeText(description, encoding) +
         Terminator(encoding) + EncodeText(text, encoding);
}

void DecodeTermsFrame(TFieldReader& r) {
  if (r.Encoding() && r.Fixed("language", 3)) r.Text("text", false);
}

}  // namespace tagscope
