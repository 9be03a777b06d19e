// The encoded texts inside frames of every kind, found and replaced through the frames'
// decoded content.
#include "engine/edits/text_repair_slots.h"

#include <functional>

#include "tagscope/engine/frame_value.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope {

namespace {

using TEach = std::function<void(std::string& text, uint8_t encoding, const std::string& where)>;

// The fields that hold text in the frame's encoding; the others (MIME types, URLs, owners,
// languages) are ISO-8859-1 whatever the encoding says.
bool EncodedText(std::string_view name) {
  return name == "text" || name == "description" || name == "fileName" || name == "seller" ||
         name == "people";
}

// Walks the encoded texts of the fields; `encoding` is -1 where no encoding field rules them.
void Walk(TFrameFields& fields, int encoding, const std::string& where, const TEach& each) {
  for (TFrameField& f : fields) {
    // A frame's text is named by the frame; its other texts by their field.
    const std::string here = f.Name == "text" ? where : where + " " + FieldNameWords(f.Name);
    if (encoding >= 0 && EncodedText(f.Name) && f.Type == TFieldType::ftText)
      each(f.Text, static_cast<uint8_t>(encoding), here);
    if (encoding >= 0 && EncodedText(f.Name) && f.Type == TFieldType::ftTextList)
      for (std::string& t : f.Texts) each(t, static_cast<uint8_t>(encoding), here);
    if (f.Type == TFieldType::ftRecords)
      for (size_t r = 0; r < f.Records.size(); ++r)
        Walk(f.Records[r], encoding,
             where + (f.Name == "lines" ? " line " : " " + FieldNameWords(f.Name) + " ") +
                 std::to_string(r + 1),
             each);
    if (f.Type == TFieldType::ftFrames)
      for (TEmbeddedFrame& e : f.Frames) {
        const TFrameField* inner = e.Value.Find("encoding");
        if (!e.Value.Problems.empty()) continue;
        Walk(e.Value.Fields, inner ? static_cast<int>(inner->Number) : -1,
             where + " " + EscapeForTerminal(e.ID), each);
      }
  }
}

bool Whole(const TFrameValue& value) {
  return value.Problems.empty() && value.Kind != "raw" && value.Kind != "encrypted";
}

void SetEncodings(TFrameFields& fields, uint8_t encoding) {
  for (TFrameField& f : fields) {
    if (f.Name == "encoding" && f.Type == TFieldType::ftNumber) f.Number = encoding;
    if (f.Type == TFieldType::ftFrames)
      for (TEmbeddedFrame& e : f.Frames) SetEncodings(e.Value.Fields, encoding);
  }
}

}  // namespace

std::vector<TTextSlot> ContentTextSlots(std::string_view id, std::string_view payload,
                                        uint8_t version) {
  std::vector<TTextSlot> slots;
  if (version < 3) return slots;
  TFrameValue value = DecodeFrameContent(id, payload, version);
  if (!Whole(value)) return slots;
  const TFrameField* encoding = value.Find("encoding");
  const TFrameField* element = value.Find("elementId");
  const std::string where = EscapeForTerminal(std::string(id)) +
                            (element ? " " + EscapeForTerminal(element->Text) : std::string());
  Walk(value.Fields, encoding ? static_cast<int>(encoding->Number) : -1, where,
       [&](std::string& text, uint8_t e, const std::string& w) {
         slots.push_back({w, text, e});
       });
  return slots;
}

std::optional<std::string> RenderContentTexts(std::string_view id, std::string_view payload,
                                              uint8_t version,
                                              const std::map<int, std::string>& texts,
                                              uint8_t encoding) {
  TFrameValue value = DecodeFrameContent(id, payload, version);
  if (!Whole(value)) return std::nullopt;
  const TFrameField* given = value.Find("encoding");
  int slot = 0;
  bool whole = true;
  Walk(value.Fields, given ? static_cast<int>(given->Number) : -1, "",
       [&](std::string& text, uint8_t, const std::string&) {
         const auto repaired = texts.find(slot++);
         if (repaired != texts.end()) text = repaired->second;
         // A text left as it is must come through the new encoding unchanged.
         else if (text.find("\xEF\xBF\xBD") != std::string::npos)
           whole = false;
       });
  if (!whole) return std::nullopt;
  SetEncodings(value.Fields, encoding);
  try {
    return RenderFrameContent(id, value, version);
  } catch (const EConvertError&) {
    return std::nullopt;
  }
}

}  // namespace tagscope
