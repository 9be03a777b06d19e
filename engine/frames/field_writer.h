#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tagscope/engine/frame_value.h"

namespace tagscope {

// Writes a payload field by field from a TFrameValue: the twin of TFieldReader, whose calls a
// kind's render makes in the order its parse reads them, so that reading the payload gives
// back the fields. A field that is missing, of another type or that its frame cannot hold
// raises EFrameValueError with the field's path ("content.owner", "content.lines[2].time").
class TFieldWriter {
 public:
  TFieldWriter(const TFrameValue& value, uint8_t version, std::string path = "content");

  uint8_t Version() const { return FVersion; }
  // The path of the fields being written ("content", "content.lines[2]").
  const std::string& Path() const { return FPath; }
  uint8_t TextEncoding() const { return FEncoding; }
  // Whether the fields being written hold one of that name.
  bool Has(std::string_view name) const;
  // The field of that name and type; raises when there is none.
  const TFrameField& Field(std::string_view name, TFieldType type) const;

  // The text encoding byte: the value's own "encoding" where the version has it and it holds
  // every text of the value, else the one EncodingForText picks for all of them.
  void Encoding();
  // An unsigned big-endian integer of `bytes` (1..8) bytes.
  void Number(std::string_view name, int bytes);
  // A two's-complement big-endian integer.
  void Signed(std::string_view name, int bytes);
  // A number in as many bytes as it needs, at least `least`.
  void RestNumber(std::string_view name, size_t least);
  // An ISO-8859-1 text; `terminated`: with its zero byte.
  void Latin1(std::string_view name, bool terminated = true);
  // Exactly `count` ISO-8859-1 characters.
  void Fixed(std::string_view name, size_t count);
  // A text in the encoding; `terminated`: with its terminator.
  void Text(std::string_view name, bool terminated = true);
  // Texts in the encoding, separated by terminators (a lone text is a list of one).
  void TextList(std::string_view name);
  // The zero byte a parse skips after a description (SkipExtraZero), where the list of texts
  // that follows begins with an empty value and has more: without it that value would be read
  // as the skipped byte.
  void ZeroBeforeList(std::string_view name);
  // (role, name) pairs as one list of texts.
  void Pairs(std::string_view name);
  // Bytes as they are; with `count`, exactly that many.
  void Bytes(std::string_view name);
  void Bytes(std::string_view name, size_t count);
  // Each record of the records field `name`, written by `entry`.
  template <typename Entry>
  void Records(std::string_view name, Entry entry) {
    const TFrameField& list = Field(name, TFieldType::ftRecords);
    const TFrameFields* outer = FSource;
    const std::string path = FPath;
    for (size_t i = 0; i < list.Records.size(); ++i) {
      FSource = &list.Records[i];
      FPath = path + "." + std::string(name) + "[" + std::to_string(i) + "]";
      entry();
    }
    FSource = outer;
    FPath = path;
  }
  // Bytes the render computes itself.
  void Raw(std::string_view bytes) { FOut += bytes; }
  void RawNumber(uint64_t value, int bytes);
  // Refuses the field's value: what is wrong with it.
  [[noreturn]] void Refuse(std::string_view name, const std::string& what) const;
  // The payload, with the bytes a damaged frame kept after its fields ("rest").
  std::string Take();

 private:
  const TFrameField* Find(std::string_view name) const;
  std::string PathOf(std::string_view name) const;

  const TFrameValue& FValue;
  const TFrameFields* FSource;
  std::string FPath;
  uint8_t FVersion;
  uint8_t FEncoding = 0;
  std::string FOut;
};

}  // namespace tagscope
