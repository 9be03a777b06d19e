// Frame content by its kind: decoded into fields, rendered from them, built from typed values.
#include "tagscope/engine/frame_value.h"

#include "engine/frames/frame_kinds.h"
#include "tagscope/engine/id3_frame_item.h"
#include "tagscope/rtl/ascii_case.h"

namespace tagscope {

std::string FieldNameWords(std::string_view name) {
  std::string words;
  for (const char c : name) {
    if (c >= 'A' && c <= 'Z') {
      words.push_back(' ');
      words.push_back(AsciiLower(c));
    } else {
      words.push_back(c);
    }
  }
  return words;
}

const TFrameField* TFrameValue::Find(std::string_view name) const {
  for (const TFrameField& field : Fields)
    if (field.Name == name) return &field;
  return nullptr;
}

TFrameValue DecodeFrameContentAt(std::string_view id, std::string_view payload, uint8_t version,
                                 int depth) {
  const TFrameKind& kind = FrameKindOf(id);
  TFrameValue value;
  value.Kind = kind.name;
  value.Fields.reserve(4);  // most frames have a few fields; spares the moves of growing
  TFieldReader reader(payload, value, version, depth);
  kind.parse(reader);
  reader.Finish();
  return value;
}

std::string_view TFrameValue::Keep(std::string bytes) {
  return *FKept.emplace_back(std::make_shared<const std::string>(std::move(bytes)));
}

TFrameValue& TFrameValue::AddText(std::string_view name, std::string utf8) {
  TFrameField& f = Fields.emplace_back();
  f.Name = name;
  f.Text = std::move(utf8);
  return *this;
}

TFrameValue& TFrameValue::AddTexts(std::string_view name, std::vector<std::string> utf8) {
  TFrameField& f = Fields.emplace_back();
  f.Name = name;
  f.Type = TFieldType::ftTextList;
  f.Texts = std::move(utf8);
  return *this;
}

TFrameValue& TFrameValue::AddNumber(std::string_view name, int64_t number) {
  TFrameField& f = Fields.emplace_back();
  f.Name = name;
  f.Type = TFieldType::ftNumber;
  f.Number = number;
  return *this;
}

TFrameValue& TFrameValue::AddBytes(std::string_view name, std::string bytes) {
  const std::string_view kept = Keep(std::move(bytes));
  TFrameField& f = Fields.emplace_back();
  f.Name = name;
  f.Type = TFieldType::ftBytes;
  f.Bytes = kept;
  return *this;
}

TFrameValue& TFrameValue::AddPairs(std::string_view name,
                                   std::vector<std::pair<std::string, std::string>> pairs) {
  TFrameField& f = Fields.emplace_back();
  f.Name = name;
  f.Type = TFieldType::ftPairs;
  f.Pairs = std::move(pairs);
  return *this;
}

TFrameValue& TFrameValue::AddRecords(std::string_view name) {
  TFrameField& f = Fields.emplace_back();
  f.Name = name;
  f.Type = TFieldType::ftRecords;
  return *this;
}

TFrameFields& TFrameValue::AddRecord(std::string_view records) {
  for (TFrameField& f : Fields)
    if (f.Name == records && f.Type == TFieldType::ftRecords) return f.Records.emplace_back();
  AddRecords(records);
  return Fields.back().Records.emplace_back();
}

std::string_view FrameKind(std::string_view id) {
  return FrameKindOf(id).name;
}

std::string RenderFrameContent(std::string_view id, const TFrameValue& value, uint8_t version) {
  TFieldWriter writer(value, version);
  // Bytes as they are stand for any frame.
  if (value.Kind == "raw" || value.Kind == "stored") {
    writer.Bytes("data");
    return writer.Take();
  }
  const TFrameKind& kind = FrameKindOf(id);
  if (value.Kind != kind.name)
    throw EFrameValueError(
        "kind", Format("a frame %.*s holds %.*s content, not %.*s", static_cast<int>(id.size()),
                       id.data(), static_cast<int>(kind.name.size()), kind.name.data(),
                       static_cast<int>(value.Kind.size()), value.Kind.data()));
  if (!kind.render)
    throw EFrameValueError("kind",
                           Format("frames of kind %.*s cannot be written from their content",
                                  static_cast<int>(kind.name.size()), kind.name.data()));
  kind.render(writer);
  return writer.Take();
}

std::optional<std::string> RenderedForVersion(std::string_view id, std::string_view payload,
                                              uint8_t fromVersion, uint8_t toVersion) {
  const TFrameValue value = DecodeFrameContent(id, payload, fromVersion);
  if (!value.Problems.empty() || !FrameKindOf(id).render) return std::nullopt;
  try {
    return RenderFrameContent(id, value, toVersion);
  } catch (const EFrameValueError&) {
    return std::nullopt;
  }
}

TFrameValue DecodeFrameContent(std::string_view id, std::string_view payload, uint8_t version) {
  return DecodeFrameContentAt(id, payload, version, 0);
}

TFrameValue DecodeFrameContent(const TID3Frames_Item& frame, uint8_t version) {
  if (!frame.KeptAsStored()) return DecodeFrameContent(frame.Name(), frame.Payload(), version);
  // Still encrypted, or compressed data that could not be inflated: the bytes as stored.
  TFrameValue value;
  value.Kind = "stored";
  TFrameField& data = value.Fields.emplace_back();
  data.Name = "data";
  data.Type = TFieldType::ftBytes;
  data.Bytes = frame.Payload();
  return value;
}

TFrameValue DescribeFrameContent(const TID3Frames_Item& frame, uint8_t version) {
  if (frame.PayloadRead() || frame.KeptAsStored()) return DecodeFrameContent(frame, version);
  const std::string_view front = frame.PayloadFront();
  TFrameValue value = DecodeFrameContent(frame.Name(), front, version);
  TFrameField* last = value.Fields.empty() ? nullptr : &value.Fields.back();
  const bool endsInBytes = last && last->Type == TFieldType::ftBytes &&
                           last->Bytes.data() + last->Bytes.size() == front.data() + front.size();
  // Cut short, the front may read otherwise than the whole payload: then the whole is read.
  if (!value.Problems.empty() || !endsInBytes) return DecodeFrameContent(frame, version);
  last->Unread = static_cast<uint64_t>(frame.DataSize()) - front.size();
  return value;
}

}  // namespace tagscope
