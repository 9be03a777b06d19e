// Frame content for JSON and for people: one walk over the decoded fields, whatever the frame.
#include "cli/frame_print.h"

#include <algorithm>
#include <cstdio>

#include "tagscope/engine/frame_names.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/sha256.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope::cli {

namespace {

void FieldsJson(TJsonWriter& j, const TFrameFields& fields, TBinaryDetail binary);

// Short printable bytes (an identifier, an owner's data) read as text.
bool ShortText(std::string_view bytes) {
  if (bytes.empty() || bytes.size() > 64) return false;
  return std::all_of(bytes.begin(), bytes.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

// Bytes described without being read in full have a size and nothing more to show.
void BytesJson(TJsonWriter& j, const TFrameField& f, TBinaryDetail binary) {
  const std::string_view bytes = f.Bytes;
  if (f.Unread > 0 && binary != TBinaryDetail::bdSize)
    throw Exception("Bytes described without being read cannot be hashed or shown");
  j.BeginObject().Member("size", static_cast<uint64_t>(bytes.size()) + f.Unread);
  if (f.Unread == 0 && ShortText(bytes)) j.Member("text", bytes);
  if (binary != TBinaryDetail::bdSize) j.Member("sha256", Sha256Hex(bytes));
  if (binary == TBinaryDetail::bdBytes) j.Member("base64", Base64(bytes));
  j.EndObject();
}

void EmbeddedJson(TJsonWriter& j, const TEmbeddedFrame& frame, TBinaryDetail binary) {
  const std::string id = SanitizeUtf8(frame.ID);
  j.BeginObject().Member("id", id).Member("name", FrameName(frame.ID)).Member("size", frame.Size);
  FrameContentJson(j, frame.Value, binary);
  j.EndObject();
}

}  // namespace

void FieldJson(TJsonWriter& j, const TFrameField& f, TBinaryDetail binary) {
  switch (f.Type) {
    case TFieldType::ftText:
      j.Value(f.Text);
      break;
    case TFieldType::ftTextList:
      j.BeginArray();
      for (const std::string& text : f.Texts) j.Value(text);
      j.EndArray();
      break;
    case TFieldType::ftNumber:
      j.Value(f.Number);
      break;
    case TFieldType::ftNumbers:
      j.BeginArray();
      for (const int64_t n : f.Numbers) j.Value(n);
      j.EndArray();
      break;
    case TFieldType::ftBytes:
      BytesJson(j, f, binary);
      break;
    case TFieldType::ftPairs:
      j.BeginArray();
      for (const auto& [first, second] : f.Pairs)
        j.BeginArray().Value(first).Value(second).EndArray();
      j.EndArray();
      break;
    case TFieldType::ftRecords:
      j.BeginArray();
      for (const TFrameFields& record : f.Records) FieldsJson(j, record, binary);
      j.EndArray();
      break;
    case TFieldType::ftFrames:
      j.BeginArray();
      for (const TEmbeddedFrame& frame : f.Frames) EmbeddedJson(j, frame, binary);
      j.EndArray();
      break;
  }
}

namespace {

void FieldsJson(TJsonWriter& j, const TFrameFields& fields, TBinaryDetail binary) {
  j.BeginObject();
  for (const TFrameField& f : fields) FieldJson(j.Key(f.Name), f, binary);
  j.EndObject();
}

// --- text for people ---

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
  if (f.Unread == 0 && ShortText(f.Bytes)) return Quoted(std::string(f.Bytes));
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

std::string Quoted(const std::string& utf8) {
  return "\"" + EscapeForTerminal(utf8) + "\"";
}

void FrameContentJson(TJsonWriter& j, const TFrameValue& value, TBinaryDetail binary) {
  j.Member("kind", value.Kind);
  FieldsJson(j.Key("content"), value.Fields, binary);
  if (value.Problems.empty()) return;
  j.Key("problems").BeginArray();
  for (const TFrameProblem& p : value.Problems)
    j.BeginObject()
        .Member("offset", static_cast<uint64_t>(p.Offset))
        .Member("problem", p.What)
        .EndObject();
  j.EndArray();
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

std::string Base64(std::string_view bytes) {
  static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const uint32_t n = uint32_t(uint8_t(bytes[i])) << 16 | uint32_t(uint8_t(bytes[i + 1])) << 8 |
                       uint8_t(bytes[i + 2]);
    for (int shift = 18; shift >= 0; shift -= 6) out.push_back(digits[(n >> shift) & 63]);
  }
  if (i < bytes.size()) {
    const bool two = i + 1 < bytes.size();
    const uint32_t n =
        uint32_t(uint8_t(bytes[i])) << 16 | (two ? uint32_t(uint8_t(bytes[i + 1])) << 8 : 0);
    out.push_back(digits[n >> 18 & 63]);
    out.push_back(digits[n >> 12 & 63]);
    out.push_back(two ? digits[n >> 6 & 63] : '=');
    out.push_back('=');
  }
  return out;
}

}  // namespace tagscope::cli
