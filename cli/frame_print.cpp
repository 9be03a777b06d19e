// Frame content for JSON and for people: one walk over the decoded fields, whatever the frame.
#include "cli/frame_print.h"

#include "tagscope/engine/frame_names.h"
#include "tagscope/engine/frame_text.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/sha256.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope::cli {

namespace {

void FieldsJson(TJsonWriter& j, const TFrameFields& fields, TBinaryDetail binary);

// Bytes described without being read in full have a size and nothing more to show.
void BytesJson(TJsonWriter& j, const TFrameField& f, TBinaryDetail binary) {
  const std::string_view bytes = f.Bytes;
  if (f.Unread > 0 && binary != TBinaryDetail::bdSize)
    throw Exception("Bytes described without being read cannot be hashed or shown");
  j.BeginObject().Member("size", static_cast<uint64_t>(bytes.size()) + f.Unread);
  if (f.Unread == 0 && IsShortPrintable(bytes)) j.Member("text", bytes);
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

}  // namespace

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
