#include "cli/set_plan.h"

#include "engine/frame_content.h"
#include "engine/text_encoding.h"
#include "rtl/exception.h"

namespace tagscope::cli {

namespace {

// A tag's text for the terminal: UTF-8, control characters shown as \xNN.
std::string Shown(const std::string& latin1) {
  std::string text;
  for (const char ch : latin1) {
    const auto c = static_cast<uint8_t>(ch);
    text += c < 0x20 || c == 0x7F ? Format("\\x%02X", c) : std::string(1, ch);
  }
  return "\"" + Latin1ToUtf8(text) + "\"";
}

std::string Content(TID3Frames_Item& frame) {
  const std::string id = frame.Name();
  const std::string& payload = frame.Data().Bytes();
  if (frame.Encrypted()) return "encrypted";
  if (id == "TXXX") {
    const TID3UserText t = ParseUserText(payload);
    return Shown(t.Description) + " = " + Shown(t.Text);
  }
  if (id == "WXXX") {
    const TID3Url u = ParseURL(payload);
    return Shown(u.Description) + " = " + Shown(u.URL);
  }
  if (id == "COMM") {
    const TID3Comment c = ParseComment(payload);
    return "[" + Shown(c.Language.substr(0, c.Language.find('\0'))) + "] " + Shown(c.Description) +
           " = " + Shown(c.Text);
  }
  if (id == "APIC") {
    size_t offset = 0;
    const TID3Picture p = ParsePicture(payload, offset);
    return Format("%s, type %d, %lld bytes, ", p.MimeType.c_str(), p.PictureType,
                  static_cast<long long>(payload.size() - offset)) +
           Shown(p.Description);
  }
  if (id[0] == 'T') return Shown(frame.AsText());
  if (id[0] == 'W') return Shown(payload.substr(0, payload.find('\0')));
  return Format("%lld bytes", static_cast<long long>(payload.size()));
}

}  // namespace

void PrintPlan(std::ostream& out, TID3Engine& engine) {
  const TID3Header& h = engine.Header();
  out << "Dry run: " << engine.FileName() << " is not changed. It would get an ID3v2."
      << int(h.VersionNumber()) << " tag of " << engine.Frames().Count() << " frames, "
      << (h.FooterPresent() ? std::string("with a footer")
                            : "padding " + std::to_string(engine.Padding()))
      << ":\n";
  for (int i = 0; i < engine.Frames().Count(); ++i) {
    TID3Frames_Item& frame = engine.Frames().Items(i);
    out << "  " << Latin1ToUtf8(frame.Name()) << "  " << Content(frame) << "\n";
  }
  if (engine.WriteID3V1()) out << "and an ID3v1 trailer\n";
}

}  // namespace tagscope::cli
