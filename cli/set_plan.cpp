#include "cli/set_plan.h"

#include "cli/frame_print.h"
#include "tagscope/engine/frame_content.h"
#include "tagscope/engine/text_encoding.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope::cli {

namespace {

std::string Content(TID3Frames_Item& frame) {
  const std::string id = frame.Name();
  const std::string& payload = frame.Data().Bytes();
  if (frame.Encrypted()) return "encrypted";
  if (id == "TXXX") {
    const TID3UserText t = ParseUserText(payload);
    return Quoted(t.DescriptionUtf8) + " = " + Quoted(t.TextUtf8);
  }
  if (id == "WXXX") {
    const TID3Url u = ParseURL(payload);
    return Quoted(u.DescriptionUtf8) + " = " + Quoted(u.URLUtf8);
  }
  if (id == "COMM") {
    const TID3Comment c = ParseComment(payload);
    return "[" + Quoted(Latin1ToUtf8(c.Language.substr(0, c.Language.find('\0')))) + "] " +
           Quoted(c.DescriptionUtf8) + " = " + Quoted(c.TextUtf8);
  }
  if (id == "APIC") {
    size_t offset = 0;
    const TID3Picture p = ParsePicture(payload, offset);
    return Format("%s, type %d, %lld bytes, ", EscapeForTerminal(Latin1ToUtf8(p.MimeType)).c_str(),
                  p.PictureType, static_cast<long long>(payload.size() - offset)) +
           Quoted(p.DescriptionUtf8);
  }
  if (id[0] == 'T') return Quoted(frame.AsTextUtf8());
  if (id[0] == 'W') return Quoted(Latin1ToUtf8(payload.substr(0, payload.find('\0'))));
  return Format("%lld bytes", static_cast<long long>(payload.size()));
}

}  // namespace

void PrintPlan(std::ostream& out, TID3Engine& engine) {
  const TID3Header& h = engine.Header();
  out << "Dry run: " << EscapeForTerminal(engine.FileName())
      << " is not changed. It would get an ID3v2." << int(h.VersionNumber()) << " tag of "
      << engine.Frames().Count() << " frames, "
      << (h.FooterPresent() ? std::string("with a footer")
                            : "padding " + std::to_string(engine.Padding()))
      << ":\n";
  for (int i = 0; i < engine.Frames().Count(); ++i) {
    TID3Frames_Item& frame = engine.Frames().Items(i);
    out << "  " << EscapeForTerminal(Latin1ToUtf8(frame.Name())) << "  " << Content(frame) << "\n";
  }
  if (engine.WriteID3V1()) out << "and an ID3v1 trailer\n";
}

}  // namespace tagscope::cli
