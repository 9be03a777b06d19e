#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tagscope/engine/frame_value.h"
#include "tagscope/rtl/byte_reader.h"

namespace tagscope {

// Reads a payload field by field into a TFrameValue. Each read adds a named field and returns
// true; a field the payload cannot hold is reported (with its byte) and ends the reading: later
// reads add nothing and return false, and Finish keeps what was not read as "rest".
class TFieldReader {
 public:
  TFieldReader(std::string_view payload, TFrameValue& value, uint8_t version, int depth = 0);

  bool Failed() const { return FFailed; }
  bool AtEnd() const { return FIn.AtEnd(); }
  size_t Position() const { return FIn.Position(); }
  size_t Remaining() const { return FIn.Remaining(); }
  uint8_t Version() const { return FVersion; }
  uint8_t TextEncoding() const { return FEncoding; }
  // The next byte without reading it, -1 at the end.
  int PeekByte() const { return FIn.AtEnd() ? -1 : FIn.Peek(0); }
  // How deep in frames embedded in frames the payload lies (0: a frame of the tag).
  int Depth() const { return FDepth; }

  // Where the fields go: the value's own, or an entry of a records field being built.
  void Into(TFrameFields& fields) { FTarget = &fields; }
  void IntoValue() { FTarget = &FValue.Fields; }
  TFrameFields& Target() { return *FTarget; }

  // The text encoding byte; an unknown one is reported and its texts read as ISO-8859-1.
  bool Encoding();
  // An unsigned big-endian integer of `bytes` (1..8) bytes.
  bool Number(std::string_view name, int bytes, int scale = 1, std::string_view unit = {});
  // A two's-complement big-endian integer.
  bool Signed(std::string_view name, int bytes, int scale = 1, std::string_view unit = {});
  // A number of as many bytes as remain (at least `least`); more than 8 is reported.
  bool RestNumber(std::string_view name, size_t least);
  // ISO-8859-1 characters up to a zero byte; `terminated`: the terminator must be there.
  bool Latin1(std::string_view name, bool terminated = true);
  // Exactly `count` ISO-8859-1 characters (a language, a date).
  bool Fixed(std::string_view name, size_t count);
  // A text in the encoding up to its terminator; `terminated`: the terminator must be there.
  bool Text(std::string_view name, bool terminated = true);
  // The rest as texts in the encoding, split at terminators (a final one ends the last text).
  bool TextList(std::string_view name);
  // The rest as bytes.
  bool Rest(std::string_view name);
  // `count` bytes.
  bool Bytes(std::string_view name, size_t count);
  // Entries to the end of the payload, each read by `entry` (returning false when it could not
  // be read whole) into a record of the records field `name`.
  template <typename Entry>
  void Records(std::string_view name, Entry entry) {
    TFrameField& list = Add(name, TFieldType::ftRecords);
    while (!AtEnd() && !FFailed) {
      const size_t start = Position();
      TFrameFields& record = list.Records.emplace_back();
      Into(record);
      const bool whole = entry(record);
      IntoValue();
      if (whole) continue;
      // The bytes of an entry cut short are kept with the rest.
      list.Records.pop_back();
      FIn.Seek(start);
    }
  }
  // Skips a zero byte some writers put after a description's terminator (single-byte texts).
  void SkipExtraZero();
  // Adds a field computed by the decoder.
  TFrameField& Add(std::string_view name, TFieldType type);
  // The bytes not yet read, without reading them.
  std::string_view RestView() const { return FIn.ViewAt(FIn.Position(), FIn.Remaining()); }
  // Raw reads for decoders that checked Remaining() first.
  void Skip(size_t count) { FIn.Skip(count); }
  int64_t ReadBE(int bytes) { return static_cast<int64_t>(FIn.ReadBE(bytes)); }
  // Reports a problem at the current byte without ending the reading.
  void Note(std::string what) { NoteAt(FIn.Position(), std::move(what)); }
  void NoteAt(size_t at, std::string what);
  // Ends the reading at the current byte: what remains is kept as "rest".
  void Fail(std::string what);
  // Reports and keeps bytes no field accounts for.
  void Finish();

  // The fields' last one; a read must have succeeded.
  TFrameField& Last() { return FTarget->back(); }

  // True when `count` more bytes are there; else reports the field `name` cut short.
  bool Need(size_t count, std::string_view name);

 private:
  std::string_view TerminatedView(uint8_t encoding, bool terminated, std::string_view name);

  TByteReader FIn;
  TFrameValue& FValue;
  TFrameFields* FTarget;
  uint8_t FVersion;
  int FDepth;
  uint8_t FEncoding = 0;
  bool FFailed = false;
};

// A code's name from a table, or "" past its end.
template <size_t N>
std::string_view TableLabel(const std::string_view (&table)[N], int64_t code) {
  return code >= 0 && static_cast<size_t>(code) < N ? table[code] : std::string_view();
}

}  // namespace tagscope
