#include "cli/set_plan.h"

#include <algorithm>
#include <map>

#include "cli/frame_print.h"
#include "tagscope/engine/frame_names.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope::cli {

namespace {

std::string Values(const TFrameField& f) {
  if (f.Type == TFieldType::ftText) return Quoted(f.Text);
  std::string joined;
  for (const std::string& t : f.Texts) joined += (joined.empty() ? "" : " / ") + Quoted(t);
  return joined.empty() ? "\"\"" : joined;
}

// Texts, user texts, links and comments as "value" / "value", "description" = "value" and
// [language] "description" = "value", every value of the frame; other frames as the tool shows
// them, every field named.
std::string ContentText(const TFrameValue& value) {
  const TFrameField* text = value.Find("text");
  if (!text) text = value.Find("url");
  const TFrameField* description = value.Find("description");
  const TFrameField* language = value.Find("language");
  const size_t fields = 1 + (text ? 1 : 0) + (description ? 1 : 0) + (language ? 1 : 0);
  const bool simple = value.Kind == "text" || value.Kind == "userText" || value.Kind == "userUrl" ||
                      value.Kind == "comment";
  if (simple && text && value.Problems.empty() && value.Fields.size() == fields &&
      text->Type != TFieldType::ftBytes) {
    std::string shown = Values(*text);
    if (description) shown = Quoted(description->Text) + " = " + shown;
    if (language) shown = "[" + Quoted(language->Text) + "] " + shown;
    return shown;
  }
  const std::string shown = FrameContentText(value);
  return shown.empty() ? "\"\"" : shown;
}

std::string FieldValue(const TFrameField& f) {
  if (!f.Label.empty()) return std::string(f.Label);
  if (f.Type == TFieldType::ftNumber) return std::to_string(f.Number);
  return "";
}

// What differs between two payloads whose words read the same: the first field that differs.
std::string Difference(const TTagLines::TFrame& a, int versionA, const TTagLines::TFrame& b,
                       int versionB) {
  if (a.payload == b.payload) return "flags: " + a.flags + " -> " + b.flags;
  const TFrameValue x = DecodeFrameContent(a.id, a.payload, static_cast<uint8_t>(versionA));
  const TFrameValue y = DecodeFrameContent(b.id, b.payload, static_cast<uint8_t>(versionB));
  for (const TFrameField& f : x.Fields) {
    const TFrameField* g = y.Find(f.Name);
    if (!g || g->Type != f.Type) continue;
    if (f.Type == TFieldType::ftNumber && f.Number != g->Number)
      return FieldNameWords(f.Name) + " " + FieldValue(f) + " -> " + FieldValue(*g);
    if (f.Type == TFieldType::ftBytes && f.Bytes != g->Bytes)
      return "other " + FieldNameWords(f.Name) + " of the same size";
  }
  if (a.payload.size() != b.payload.size())
    return Format("the same content in %zu bytes instead of %zu", b.payload.size(),
                  a.payload.size());
  return "the same content in other bytes";
}

// The frame's flags that are set, in words; "none" when none is.
std::string FlagWords(const TID3Frames_Item& f) {
  std::string words;
  const std::pair<bool, const char*> flags[] = {
      {f.TagAlterDiscardable(), "discard on tag change"},
      {f.FileAlterDiscardable(), "discard on file change"},
      {f.ReadOnly(), "read-only"},
      {f.Grouping(), "grouped"},
      {f.Compress(), "compressed"},
      {f.Encrypted(), "encrypted"},
      {f.UnSynchronisation(), "unsynchronised"},
      {f.DataLengthIndicator(), "data length given"}};
  for (const auto& [set, word] : flags)
    if (set) words += (words.empty() ? "" : ", ") + std::string(word);
  if (f.Grouping()) words += Format(" (group %d)", f.GroupID());
  return words.empty() ? "none" : words;
}

}  // namespace

TTagLines TagLines(TID3Engine& engine, bool v1) {
  TTagLines lines;
  lines.version = engine.Header().VersionNumber();
  lines.present = engine.Header().Size() >= 0;
  if (!engine.Status().readReport.complete) lines.unread = engine.Status().readReport.problem;
  lines.v1 = v1;
  lines.footer = engine.Header().FooterPresent();
  lines.padding = engine.Padding();
  lines.paddingChosen = engine.Tag().PaddingChosen();
  for (int i = 0; i < engine.Frames().Count(); ++i) {
    TID3Frames_Item& frame = engine.Frames().Items(i);
    const std::string id = EscapeForTerminal(Latin1ToUtf8(frame.Name()));
    // The payload in full: two pictures of one size differ in their bytes.
    const std::string payload = frame.Data().Bytes();
    lines.frames.push_back(
        {id, payload, FlagWords(frame),
         ContentText(DecodeFrameContent(frame, static_cast<uint8_t>(lines.version)))});
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
  // A file without an ID3v2 tag gets one, of the frames below (those of its ID3v1 trailer).
  if (!before.present)
    line(
        Format("ID3v2.%d tag: written, the file has none", after.version == 2 ? 3 : after.version));
  else if (before.version != after.version)
    line(Format("tag version: ID3v2.%d -> ID3v2.%d", before.version, after.version));
  // A tag of version 2 is written as ID3v2.3, whatever else changes.
  if (before.present && after.version == 2)
    line("tag version: ID3v2.2 -> ID3v2.3 (the frames take their ID3v2.3 IDs and forms)");
  // Frames of an ID that stay as they were drop out; the others are paired in tag order.
  std::map<std::string, std::vector<const TTagLines::TFrame*>> old, now;
  std::vector<std::string> order;
  for (const auto* list : {&before.frames, &after.frames})
    for (const TTagLines::TFrame& f : *list) {
      if (!old.contains(f.id) && !now.contains(f.id)) order.push_back(f.id);
      (list == &before.frames ? old : now)[f.id].push_back(&f);
    }
  const bool sameVersion = before.version == after.version;
  for (const std::string& id : order) {
    std::vector<const TTagLines::TFrame*>& a = old[id];
    std::vector<const TTagLines::TFrame*>& b = now[id];
    for (auto x = a.begin(); x != a.end();) {
      const auto same = std::find_if(b.begin(), b.end(), [&](const TTagLines::TFrame* y) {
        return ((*x)->payload == y->payload && (*x)->flags == y->flags) ||
               (!sameVersion && (*x)->text == y->text);
      });
      if (same == b.end()) {
        ++x;
      } else {
        b.erase(same);
        x = a.erase(x);
      }
    }
    for (size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
      if (i >= a.size()) {
        line(id + ": added " + b[i]->text);
      } else if (i >= b.size()) {
        line(id + ": removed " + a[i]->text);
      } else if (a[i]->text != b[i]->text) {
        line(id + ": " + a[i]->text + " -> " + b[i]->text);
      } else if (sameVersion) {
        line(id + ": " + a[i]->text + " (" +
             Difference(*a[i], before.version, *b[i], after.version) + ")");
      }
    }
  }
  // Padding asked for is the least the tag keeps: less than it has changes nothing.
  // Only a forced write writes such a tag: it keeps what the read understood.
  if (!before.unread.empty())
    line("dropped (written only with --force): " + EscapeForTerminal(before.unread));
  if (after.paddingChosen && after.padding > before.padding)
    line(Format("padding: %lld -> %lld bytes", static_cast<long long>(before.padding),
                static_cast<long long>(after.padding)));
  if (before.footer != after.footer) line(after.footer ? "footer: added" : "footer: removed");
  if (before.v1 != after.v1) line(after.v1 ? "ID3v1 trailer: written" : "ID3v1 trailer: removed");
  if (changes == 0) out << "  nothing: the tag stays as it is\n";
}

}  // namespace tagscope::cli
