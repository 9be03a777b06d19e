#include "engine/frames/field_reader.h"

#include <algorithm>

#include "tagscope/engine/text_encoding.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope {

TFieldReader::TFieldReader(std::string_view payload, TFrameValue& value, uint8_t version, int depth)
    : FIn(payload), FValue(value), FTarget(&value.Fields), FVersion(version), FDepth(depth) {}

TFrameField& TFieldReader::Add(std::string_view name, TFieldType type) {
  TFrameField& field = FTarget->emplace_back();
  field.Name = name;
  field.Type = type;
  return field;
}

void TFieldReader::NoteAt(size_t at, std::string what) {
  FValue.Problems.push_back({at, std::move(what)});
}

void TFieldReader::Fail(std::string what) {
  if (FFailed) return;
  Note(std::move(what));
  FFailed = true;
}

bool TFieldReader::Need(size_t count, std::string_view name) {
  if (FFailed) return false;
  if (FIn.Has(count)) return true;
  Fail(FIn.AtEnd()
           ? "the content ends before its " + FieldNameWords(name)
           : Format("the content ends inside its %s (%llu of %llu bytes)",
                    FieldNameWords(name).c_str(), static_cast<unsigned long long>(FIn.Remaining()),
                    static_cast<unsigned long long>(count)));
  return false;
}

bool TFieldReader::Encoding() {
  if (!Need(1, "text encoding")) return false;
  FEncoding = FIn.ReadByte();
  TFrameField& field = Add("encoding", TFieldType::ftNumber);
  field.Number = FEncoding;
  static const std::string_view names[] = {"ISO-8859-1", "UTF-16", "UTF-16BE", "UTF-8"};
  field.Label = TableLabel(names, FEncoding);
  if (FEncoding > teUTF8) {
    NoteAt(FIn.Position() - 1, Format("unknown text encoding %d, read as ISO-8859-1", FEncoding));
    FEncoding = teISO88591;
  }
  return true;
}

bool TFieldReader::Number(std::string_view name, int bytes, int scale, std::string_view unit) {
  if (!Need(static_cast<size_t>(bytes), name)) return false;
  TFrameField& field = Add(name, TFieldType::ftNumber);
  field.Number = static_cast<int64_t>(FIn.ReadBE(bytes));
  field.Scale = scale;
  field.Unit = unit;
  return true;
}

bool TFieldReader::Signed(std::string_view name, int bytes, int scale, std::string_view unit) {
  if (!Number(name, bytes, scale, unit)) return false;
  const int bits = 8 * bytes;
  int64_t& n = Last().Number;
  if (bits < 64 && (n >> (bits - 1)) & 1) n -= int64_t(1) << bits;
  return true;
}

bool TFieldReader::RestNumber(std::string_view name, size_t least) {
  if (!Need(least, name)) return false;
  size_t count = FIn.Remaining();
  // Leading zero bytes carry nothing; a number that still needs more than 8 bytes stays bytes.
  while (count > 8 && FIn.Peek(0) == 0) {
    FIn.Skip(1);
    --count;
  }
  if (count > 8) {
    Fail(Format("its %s is too large to read (%llu bytes)", FieldNameWords(name).c_str(),
                static_cast<unsigned long long>(count)));
    return false;
  }
  // Past 63 bits the value would turn negative: such a count is kept as bytes instead.
  if (count == 8 && FIn.Peek(0) & 0x80) {
    Fail(Format("its %s is too large to read", FieldNameWords(name).c_str()));
    return false;
  }
  TFrameField& field = Add(name, TFieldType::ftNumber);
  field.Number = count == 0 ? 0 : static_cast<int64_t>(FIn.ReadBE(static_cast<int>(count)));
  return true;
}

std::string_view TFieldReader::TerminatedView(uint8_t encoding, bool terminated,
                                              std::string_view name) {
  const size_t at = FIn.Position();
  const std::string_view whole = FIn.ViewAt(0, FIn.Size());
  const size_t end = FindTerminator(whole, at, encoding);
  if (end == std::string_view::npos) {
    if (terminated) NoteAt(at, "its " + FieldNameWords(name) + " has no terminator");
    FIn.SeekToEnd();
    return whole.substr(at);
  }
  FIn.Seek(end + TerminatorWidth(encoding));
  return whole.substr(at, end - at);
}

bool TFieldReader::Latin1(std::string_view name, bool terminated) {
  if (!Need(terminated ? 1 : 0, name)) return false;
  TFrameField& field = Add(name, TFieldType::ftText);
  field.Text = Latin1ToUtf8(TerminatedView(teISO88591, terminated, name));
  return true;
}

bool TFieldReader::Fixed(std::string_view name, size_t count) {
  if (!Need(count, name)) return false;
  Add(name, TFieldType::ftText).Text = Latin1ToUtf8(FIn.ReadView(count));
  return true;
}

bool TFieldReader::Text(std::string_view name, bool terminated) {
  if (!Need(terminated ? 1 : 0, name)) return false;
  TFrameField& field = Add(name, TFieldType::ftText);
  field.Text = DecodeTextUtf8(TerminatedView(FEncoding, terminated, name), FEncoding);
  return true;
}

bool TFieldReader::TextList(std::string_view name) {
  if (FFailed) return false;
  TFrameField& field = Add(name, TFieldType::ftTextList);
  const size_t width = TerminatorWidth(FEncoding);
  // Terminators at the very end close the last text; they start no empty texts of their own.
  size_t stop = FIn.Size();
  while (stop - FIn.Position() >= width && (stop - FIn.Position()) % width == 0 &&
         FIn.ViewAt(stop - width, width).find_first_not_of('\0') == std::string_view::npos)
    stop -= width;
  const std::string_view texts = FIn.ViewAt(0, stop);
  do {
    const size_t at = FIn.Position();
    const size_t end = std::min(FindTerminator(texts, at, FEncoding), texts.size());
    field.Texts.push_back(DecodeTextUtf8(texts.substr(at, end - at), FEncoding));
    FIn.Seek(std::min(end + width, stop));
  } while (FIn.Position() < stop);
  FIn.SeekToEnd();
  return true;
}

bool TFieldReader::Rest(std::string_view name) {
  if (FFailed) return false;
  Add(name, TFieldType::ftBytes).Bytes = FIn.ReadView(FIn.Remaining());
  return true;
}

bool TFieldReader::Bytes(std::string_view name, size_t count) {
  if (!Need(count, name)) return false;
  Add(name, TFieldType::ftBytes).Bytes = FIn.ReadView(count);
  return true;
}

void TFieldReader::SkipExtraZero() {
  if (!FFailed && TerminatorWidth(FEncoding) == 1 && !FIn.AtEnd() && FIn.Peek(0) == 0) FIn.Skip(1);
}

void TFieldReader::Finish() {
  if (FIn.AtEnd()) return;
  if (!FFailed)
    Note(Format("%llu bytes follow the content", static_cast<unsigned long long>(FIn.Remaining())));
  FTarget = &FValue.Fields;
  FFailed = false;
  Rest("rest");
}

}  // namespace tagscope
