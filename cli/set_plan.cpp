#include "cli/set_plan.h"

#include <algorithm>
#include <map>

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

TTagLines TagLines(TID3Engine& engine, bool v1) {
  TTagLines lines;
  lines.version = engine.Header().VersionNumber();
  lines.v1 = v1;
  for (int i = 0; i < engine.Frames().Count(); ++i) {
    TID3Frames_Item& frame = engine.Frames().Items(i);
    lines.frames.emplace_back(EscapeForTerminal(Latin1ToUtf8(frame.Name())), Content(frame));
  }
  return lines;
}

void PrintChanges(std::ostream& out, const std::string& fileName, const TTagLines& before,
                  const TTagLines& after) {
  out << "Dry run: " << EscapeForTerminal(fileName) << " is not changed. The change would do:\n";
  size_t changes = 0;
  auto line = [&](const std::string& text) {
    out << "  " << text << "\n";
    ++changes;
  };
  if (before.version != after.version)
    line(Format("tag version: ID3v2.%d -> ID3v2.%d", before.version, after.version));
  // The n-th frame of an ID before is compared with the n-th of that ID after.
  std::map<std::string, std::vector<std::string>> old, now;
  std::vector<std::string> order;
  for (const auto& [id, content] : before.frames) {
    if (!old.contains(id) && !now.contains(id)) order.push_back(id);
    old[id].push_back(content);
  }
  for (const auto& [id, content] : after.frames) {
    if (!old.contains(id) && !now.contains(id)) order.push_back(id);
    now[id].push_back(content);
  }
  for (const std::string& id : order) {
    const std::vector<std::string>& a = old[id];
    const std::vector<std::string>& b = now[id];
    for (size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
      if (i >= a.size())
        line(id + ": added " + b[i]);
      else if (i >= b.size())
        line(id + ": removed " + a[i]);
      else if (a[i] != b[i])
        line(id + ": " + a[i] + " -> " + b[i]);
    }
  }
  if (before.v1 != after.v1) line(after.v1 ? "ID3v1 trailer: written" : "ID3v1 trailer: removed");
  if (changes == 0) out << "  nothing: the tag stays as it is\n";
}

}  // namespace tagscope::cli
