// A frame's content as one line of text for people: one walk over the decoded fields,
// whatever the frame.
#include "tagscope/engine/frame_text.h"

#include <algorithm>
#include <cstdio>

#include "tagscope/engine/frame_names.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope {

namespace {

std::string NumberText(const TFrameField& f) {
  std::string text;
  if (f.Scale != 1) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.2f", static_cast<double>(f.Number) / f.Scale);
    text = buffer;
  } else {
    text = std::to_string(f.Number);
  }
  if (!f.Unit.empty()) text += " " + std::string(f.Unit);
  if (!f.Label.empty()) text += " (" + std::string(f.Label) + ")";
  return text;
}

std::string BytesText(const TFrameField& f) {
  if (f.Unread == 0 && IsShortPrintable(f.Bytes)) return Quoted(std::string(f.Bytes));
  const uint64_t size = f.Bytes.size() + f.Unread;
  return std::to_string(size) + (size == 1 ? " byte" : " bytes");
}

std::string FieldsText(const TFrameFields& fields, bool named);

template <typename List, typename Each>
std::string Joined(const List& list, std::string_view separator, Each each) {
  std::string text;
  for (const auto& item : list) {
    if (!text.empty()) text += separator;
    text += each(item);
  }
  return text;
}

std::string EmbeddedText(const TEmbeddedFrame& frame) {
  return EscapeForTerminal(frame.ID) + " " + std::string(FrameName(frame.ID)) + ": " +
         FrameContentText(frame.Value);
}

std::string FieldText(const TFrameField& f) {
  switch (f.Type) {
    case TFieldType::ftText:
      return Quoted(f.Text);
    case TFieldType::ftTextList:
      return Joined(f.Texts, " / ", Quoted);
    case TFieldType::ftNumber:
      return NumberText(f);
    case TFieldType::ftNumbers:
      return "[" + Joined(f.Numbers, ", ", [](int64_t n) { return std::to_string(n); }) + "]";
    case TFieldType::ftBytes:
      return BytesText(f);
    case TFieldType::ftPairs:
      return Joined(f.Pairs, "; ", [](const auto& pair) {
        return EscapeForTerminal(pair.first) + ": " + EscapeForTerminal(pair.second);
      });
    case TFieldType::ftRecords:
      return "[" +
             Joined(f.Records, "; ",
                    [](const TFrameFields& record) { return FieldsText(record, true); }) +
             "]";
    case TFieldType::ftFrames:
      return "[" + Joined(f.Frames, "; ", EmbeddedText) + "]";
  }
  return {};
}

// The encoding of a text is no part of what it says.
bool Shown(const TFrameField& f) {
  return f.Name != "encoding";
}

std::string FieldsText(const TFrameFields& fields, bool named) {
  std::string text;
  for (const TFrameField& f : fields) {
    if (!Shown(f)) continue;
    if (!text.empty()) text += ", ";
    if (named) text += FieldNameWords(f.Name) + " ";
    text += FieldText(f);
  }
  return text;
}

}  // namespace

bool IsShortPrintable(std::string_view bytes) {
  if (bytes.empty() || bytes.size() > 64) return false;
  return std::all_of(bytes.begin(), bytes.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

std::string Quoted(const std::string& utf8) {
  return "\"" + EscapeForTerminal(utf8) + "\"";
}

std::string FrameContentText(const TFrameValue& value) {
  size_t shown = 0;
  for (const TFrameField& f : value.Fields) shown += Shown(f) ? 1 : 0;
  // A frame that says one thing says it without naming it.
  std::string text;
  if (shown == 1) {
    for (const TFrameField& f : value.Fields)
      if (Shown(f))
        text = f.Type == TFieldType::ftTextList
                   ? Joined(f.Texts, " / ",
                            [&](const std::string& t) {
                              return f.Texts.size() == 1 ? EscapeForTerminal(t) : Quoted(t);
                            })
                   : FieldText(f);
  } else {
    text = FieldsText(value.Fields, true);
  }
  for (const TFrameProblem& p : value.Problems)
    text += std::string(text.empty() ? "" : " ") + "[damaged at byte " + std::to_string(p.Offset) +
            ": " + EscapeForTerminal(p.What) + "]";
  return text;
}

}  // namespace tagscope
