// Comments, unsynchronised lyrics and terms of use.
#include "engine/frames/described_text_frames.h"

#include "engine/frames/stream_helpers.h"
#include "tagscope/engine/frame_content.h"
#include "tagscope/engine/timed_frames.h"

namespace tagscope {

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

void RenderDescribedText(TFieldWriter& w) {
  w.Encoding();
  w.Fixed("language", 3);
  w.Text("description");
}

}  // namespace

void ParseCommentFrame(TFieldReader& r) {
  if (DescribedText(r)) r.TextList("text");
}

void RenderCommentFrame(TFieldWriter& w) {
  RenderDescribedText(w);
  const std::string& description = w.Field("description", TFieldType::ftText).Text;
  if (description.empty() || !TrimControl(description).empty()) w.ZeroBeforeList("text");
  w.TextList("text");
}

void ParseLyricsFrame(TFieldReader& r) {
  if (DescribedText(r)) r.Text("text", false);
}

void RenderLyricsFrame(TFieldWriter& w) {
  RenderDescribedText(w);
  w.Text("text", false);
}

void ParseTermsFrame(TFieldReader& r) {
  if (r.Encoding() && r.Fixed("language", 3)) r.Text("text", false);
}

void RenderTermsFrame(TFieldWriter& w) {
  w.Encoding();
  w.Fixed("language", 3);
  w.Text("text", false);
}

std::string RenderLyricsFrame(const std::string& language, const std::string& description,
                              const std::string& text, uint8_t version) {
  return BuildLyricsUtf8(description, text, language, version);
}

}  // namespace tagscope
