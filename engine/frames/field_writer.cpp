#include "engine/frames/field_writer.h"

#include <algorithm>

#include "tagscope/engine/text_encoding.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope {

namespace {

const char* TypeWords(TFieldType type) {
  switch (type) {
    case TFieldType::ftText:
      return "a text";
    case TFieldType::ftTextList:
      return "a list of texts";
    case TFieldType::ftNumber:
      return "a number";
    case TFieldType::ftNumbers:
      return "a list of numbers";
    case TFieldType::ftBytes:
      return "bytes";
    case TFieldType::ftPairs:
      return "a list of pairs of texts";
    case TFieldType::ftRecords:
      return "a list of entries";
    case TFieldType::ftFrames:
      return "a list of frames";
  }
  return "a value";
}

// Every text of the fields, records included: what the encoding must hold.
void CollectTexts(const TFrameFields& fields, std::vector<std::string_view>& texts) {
  for (const TFrameField& f : fields) {
    if (f.Type == TFieldType::ftText) texts.push_back(f.Text);
    for (const std::string& t : f.Texts) texts.push_back(t);
    for (const auto& [first, second] : f.Pairs) texts.push_back(first), texts.push_back(second);
    for (const TFrameFields& record : f.Records) CollectTexts(record, texts);
  }
}

bool IsList(TFieldType type) {
  return type == TFieldType::ftTextList || type == TFieldType::ftNumbers ||
         type == TFieldType::ftPairs || type == TFieldType::ftRecords ||
         type == TFieldType::ftFrames;
}

bool IsEmpty(const TFrameField& f) {
  return f.Texts.empty() && f.Numbers.empty() && f.Pairs.empty() && f.Records.empty() &&
         f.Frames.empty();
}

bool EncodingOfVersion(int64_t encoding, uint8_t version) {
  return encoding == teISO88591 || encoding == teUTF16 ||
         (version >= 4 && (encoding == teUTF16BE || encoding == teUTF8));
}

}  // namespace

TFieldWriter::TFieldWriter(const TFrameValue& value, uint8_t version, std::string path)
    : FValue(value), FSource(&value.Fields), FPath(std::move(path)), FVersion(version) {}

const TFrameField* TFieldWriter::Find(std::string_view name) const {
  for (const TFrameField& f : *FSource)
    if (f.Name == name) return &f;
  return nullptr;
}

std::string TFieldWriter::PathOf(std::string_view name) const {
  return FPath + "." + std::string(name);
}

bool TFieldWriter::Has(std::string_view name) const {
  return Find(name) != nullptr;
}

void TFieldWriter::Refuse(std::string_view name, const std::string& what) const {
  throw EFrameValueError(PathOf(name), what);
}

const TFrameField& TFieldWriter::Field(std::string_view name, TFieldType type) const {
  const TFrameField* f = Find(name);
  if (!f) Refuse(name, std::string("is missing: it is ") + TypeWords(type));
  // A lone text stands for a list of one, and an empty list for an empty list of any kind.
  const bool fits = (IsList(type) && IsList(f->Type) && IsEmpty(*f)) || f->Type == type ||
                    (type == TFieldType::ftTextList && f->Type == TFieldType::ftText);
  if (!fits) Refuse(name, std::string("is ") + TypeWords(type) + ", not " + TypeWords(f->Type));
  return *f;
}

void TFieldWriter::Encoding() {
  std::vector<std::string_view> texts;
  CollectTexts(FValue.Fields, texts);
  const TFrameField* given = Find("encoding");
  const bool allLatin1 =
      std::all_of(texts.begin(), texts.end(), [](std::string_view t) { return FitsLatin1(t); });
  if (given && given->Type == TFieldType::ftNumber && EncodingOfVersion(given->Number, FVersion) &&
      (given->Number != teISO88591 || allLatin1)) {
    FEncoding = static_cast<uint8_t>(given->Number);
  } else {
    FEncoding = teISO88591;
    for (const std::string_view t : texts)
      FEncoding = std::max(FEncoding, EncodingForText(t, FVersion));
  }
  FOut.push_back(static_cast<char>(FEncoding));
}

void TFieldWriter::RawNumber(uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) FOut.push_back(static_cast<char>(value >> (8 * i)));
}

void TFieldWriter::Number(std::string_view name, int bytes) {
  const int64_t n = Field(name, TFieldType::ftNumber).Number;
  const bool fits = n >= 0 && (bytes >= 8 || n < (int64_t(1) << (8 * bytes)));
  if (!fits)
    Refuse(name, bytes >= 8 ? std::string("is a number from 0")
                            : Format("is a number from 0 to %lld, not %lld",
                                     static_cast<long long>((int64_t(1) << (8 * bytes)) - 1),
                                     static_cast<long long>(n)));
  RawNumber(static_cast<uint64_t>(n), bytes);
}

void TFieldWriter::Signed(std::string_view name, int bytes) {
  const int64_t n = Field(name, TFieldType::ftNumber).Number;
  const int64_t limit = int64_t(1) << (8 * bytes - 1);
  if (bytes < 8 && (n < -limit || n >= limit))
    Refuse(name, Format("is a number from %lld to %lld, not %lld", static_cast<long long>(-limit),
                        static_cast<long long>(limit - 1), static_cast<long long>(n)));
  RawNumber(static_cast<uint64_t>(n), bytes);
}

void TFieldWriter::RestNumber(std::string_view name, size_t least) {
  const int64_t n = Field(name, TFieldType::ftNumber).Number;
  if (n < 0) Refuse(name, "is a number from 0");
  int bytes = static_cast<int>(least);
  while (bytes < 8 && (static_cast<uint64_t>(n) >> (8 * bytes)) != 0) ++bytes;
  RawNumber(static_cast<uint64_t>(n), bytes);
}

void TFieldWriter::Latin1(std::string_view name, bool terminated) {
  const std::string& text = Field(name, TFieldType::ftText).Text;
  if (!FitsLatin1(text)) Refuse(name, "holds characters beyond ISO-8859-1, which it cannot store");
  const std::string bytes = Utf8ToLatin1(text);
  if (terminated && bytes.find('\0') != std::string::npos)
    Refuse(name, "holds a zero character, which would end it");
  FOut += bytes;
  if (terminated) FOut.push_back('\0');
}

void TFieldWriter::Fixed(std::string_view name, size_t count) {
  const std::string& text = Field(name, TFieldType::ftText).Text;
  if (!FitsLatin1(text) || Utf8ToLatin1(text).size() != count)
    Refuse(name, Format("is %zu ISO-8859-1 characters", count));
  FOut += Utf8ToLatin1(text);
}

void TFieldWriter::Text(std::string_view name, bool terminated) {
  const std::string& text = Field(name, TFieldType::ftText).Text;
  if (terminated && text.find('\0') != std::string::npos)
    Refuse(name, "holds a zero character, which would end it");
  FOut += EncodeText(text, FEncoding);
  if (terminated) FOut += Terminator(FEncoding);
}

void TFieldWriter::TextList(std::string_view name) {
  const TFrameField& f = Field(name, TFieldType::ftTextList);
  if (f.Type == TFieldType::ftText) return Text(name, false);
  for (size_t i = 0; i < f.Texts.size(); ++i) {
    if (f.Texts[i].find('\0') != std::string::npos)
      Refuse(Format("%.*s[%zu]", static_cast<int>(name.size()), name.data(), i),
             "holds a zero character, which would end it");
    if (i > 0) FOut += Terminator(FEncoding);
    FOut += EncodeText(f.Texts[i], FEncoding);
  }
}

void TFieldWriter::ZeroBeforeList(std::string_view name) {
  const TFrameField& f = Field(name, TFieldType::ftTextList);
  if (Terminator(FEncoding).size() == 1 && f.Type == TFieldType::ftTextList && f.Texts.size() > 1 &&
      f.Texts[0].empty())
    FOut.push_back('\0');
}

void TFieldWriter::Pairs(std::string_view name) {
  const TFrameField& f = Field(name, TFieldType::ftPairs);
  bool first = true;
  for (const auto& [role, who] : f.Pairs) {
    for (const std::string* text : {&role, &who}) {
      if (!first) FOut += Terminator(FEncoding);
      first = false;
      FOut += EncodeText(*text, FEncoding);
    }
  }
}

void TFieldWriter::Bytes(std::string_view name) {
  const TFrameField& f = Field(name, TFieldType::ftBytes);
  if (f.Unread > 0) Refuse(name, "holds bytes that were not read");
  FOut += f.Bytes;
}

void TFieldWriter::Bytes(std::string_view name, size_t count) {
  const TFrameField& f = Field(name, TFieldType::ftBytes);
  if (f.Bytes.size() != count || f.Unread > 0) Refuse(name, Format("is %zu bytes", count));
  FOut += f.Bytes;
}

std::string TFieldWriter::Take() {
  if (const TFrameField* rest = Find("rest"); rest && rest->Type == TFieldType::ftBytes)
    FOut += rest->Bytes;
  return std::move(FOut);
}

}  // namespace tagscope
