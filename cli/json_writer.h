#pragma once

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

namespace tagscope::cli {

// Writes compact JSON text straight into a string, element by element: what the dump prints
// for many files, without building a document for each. Texts must be UTF-8.
//
// A dump writes a hundred members for every file of a folder of thousands: each element asks
// for room once and is written through a pointer, not appended piece by piece.
class TJsonWriter {
 public:
  TJsonWriter() { FText.resize(kFirstRoom); }
  const std::string& Text() const {
    FText.resize(FLength);
    return FText;
  }
  // The text so far, viewed.
  std::string_view View() const { return std::string_view(FText.data(), FLength); }
  // Empties the writer; the room it had stays, for the next text.
  void Clear() {
    FLength = 0;
    FDepth = 0;
    FComma = false;
  }
  // The text, handed over: the writer is empty afterwards.
  std::string TakeText() {
    FText.resize(FLength);
    FLength = 0;
    FDepth = 0;
    FComma = false;
    return std::move(FText);
  }

  TJsonWriter& BeginObject() { return Open('{'); }
  TJsonWriter& EndObject() { return Close('}'); }
  TJsonWriter& BeginArray() { return Open('['); }
  TJsonWriter& EndArray() { return Close(']'); }

  // The key of the next member of an object: this program's own names, which need no escapes.
  // A name written in the code (a string literal) is copied as a block of its known size.
  template <size_t N>
  TJsonWriter& Key(const char (&key)[N]) {
    constexpr size_t size = N - 1;
    char* p = Separate(size + 3);
    *p++ = '"';
    std::memcpy(p, key, size);
    p += size;
    *p++ = '"';
    *p++ = ':';
    Done(p);
    FComma = false;
    return *this;
  }
  TJsonWriter& Key(std::string_view key) {
    char* p = Separate(key.size() + 3);
    *p++ = '"';
    p = Copy(p, key);
    *p++ = '"';
    *p++ = ':';
    Done(p);
    // The value follows the colon without a comma.
    FComma = false;
    return *this;
  }
  TJsonWriter& Value(std::string_view text) {
    String(text);
    return *this;
  }
  TJsonWriter& Value(const char* text) { return Value(std::string_view(text)); }
  TJsonWriter& Value(bool value) { return Raw(value ? std::string_view("true") : "false"); }
  TJsonWriter& Value(int64_t value) { return Integer(value); }
  TJsonWriter& Value(uint64_t value) { return Integer(value); }
  // A number of seconds and the like, to the millisecond (as "%.3f" writes it).
  TJsonWriter& Value(double value) { return Number(value, std::chars_format::fixed, 3); }
  // A value read from a file (a gain, a peak), in the fewest digits that read back the same.
  TJsonWriter& ExactValue(double value) { return Number(value); }
  // A measure to the decimals given (a level in dB, a peak).
  TJsonWriter& Value(double value, int decimals) {
    return Number(value, std::chars_format::fixed, decimals);
  }
  TJsonWriter& Null() { return Raw("null"); }
  TJsonWriter& Value(int value) { return Value(static_cast<int64_t>(value)); }
  TJsonWriter& Value(unsigned value) { return Value(static_cast<uint64_t>(value)); }
  template <typename T>
  TJsonWriter& Member(std::string_view key, const T& value) {
    return Key(key).Value(value);
  }
  template <size_t N, typename T>
  TJsonWriter& Member(const char (&key)[N], const T& value) {
    return Key(key).Value(value);
  }
  template <size_t N>
  TJsonWriter& Member(const char (&key)[N], const char* value) {
    return Key(key).Value(std::string_view(value));
  }
  TJsonWriter& Member(std::string_view key, const char* value) {
    return Key(key).Value(std::string_view(value));
  }

 private:
  static constexpr size_t kFirstRoom = 4096;

  // Room for a comma and `count` bytes at the end of the text; the comma written where the
  // element is not the first of its object or array. Done() then takes the end written to.
  char* Separate(size_t count) {
    char* p = Room(count + 1);
    if (FComma) *p++ = ',';
    FComma = FDepth > 0;
    return p;
  }
  char* Room(size_t count) {
    if (FText.size() - FLength < count) [[unlikely]]
      Grow(count);
    return FText.data() + FLength;
  }
  // Kept out of line, so that the test above is all an element adds where it is written.
  [[gnu::noinline]] void Grow(size_t count) {
    FText.resize(std::max(FText.size() * 2, FLength + count));
  }
  void Done(const char* end) { FLength = static_cast<size_t>(end - FText.data()); }
  static char* Copy(char* p, std::string_view bytes) {
    if (!bytes.empty()) std::memcpy(p, bytes.data(), bytes.size());
    return p + bytes.size();
  }

  TJsonWriter& Raw(std::string_view text) {
    Done(Copy(Separate(text.size()), text));
    return *this;
  }
  TJsonWriter& Open(char bracket) {
    char* p = Separate(1);
    *p++ = bracket;
    Done(p);
    ++FDepth;
    FComma = false;
    return *this;
  }
  TJsonWriter& Close(char bracket) {
    char* p = Room(1);
    *p++ = bracket;
    Done(p);
    --FDepth;
    // The object or array just closed was an element of the one around it.
    FComma = FDepth > 0;
    return *this;
  }
  template <typename T>
  TJsonWriter& Integer(T value) {
    char* p = Separate(24);  // 20 digits and a sign at most
    Done(std::to_chars(p, p + 24, value).ptr);
    return *this;
  }
  template <typename T, typename... Format>
  TJsonWriter& Number(T value, Format... format) {
    // Mostly short; fixed notation of a huge value takes hundreds of digits.
    char text[64];
    std::to_chars_result r = std::to_chars(text, text + sizeof text, value, format...);
    if (r.ec == std::errc()) return Raw(std::string_view(text, static_cast<size_t>(r.ptr - text)));
    std::string wide(512, '\0');
    r = std::to_chars(wide.data(), wide.data() + wide.size(), value, format...);
    wide.resize(r.ec == std::errc() ? static_cast<size_t>(r.ptr - wide.data()) : 0);
    return Raw(wide);
  }
  void String(std::string_view text) {
    // Room for the text as it is; an escape asks for more.
    char* p = Separate(text.size() + 2);
    *p++ = '"';
    size_t run = 0;  // start of the bytes that need no escape
    for (size_t i = FirstToEscape(text, 0); i < text.size(); i = FirstToEscape(text, run)) {
      Done(p = Copy(p, text.substr(run, i - run)));
      // At most six bytes for the escape, and room for the rest of the text after it.
      p = Room(6 + (text.size() - i) + 1);
      p = Escape(p, static_cast<unsigned char>(text[i]));
      run = i + 1;
    }
    p = Copy(p, text.substr(run));
    *p++ = '"';
    Done(p);
  }
  static bool NeedsEscape(unsigned char c) { return c < 0x20 || c == '"' || c == '\\'; }
  // Where the first byte from `from` on that needs an escape stands; the text's size when none
  // does. Eight bytes at a time: a byte below 0x20, or one equal to '"' or '\\', sets the high
  // bit of its lane in `found` (and only where there is one: a lane may borrow from a lower one
  // only when that one is found too).
  static size_t FirstToEscape(std::string_view text, size_t from) {
    constexpr uint64_t kOnes = 0x0101010101010101u;
    size_t i = from;
    for (uint64_t w = 0; i + 8 <= text.size(); i += 8) {
      std::memcpy(&w, text.data() + i, 8);
      const uint64_t quote = w ^ (kOnes * '"'), backslash = w ^ (kOnes * '\\');
      const uint64_t found = ((w - kOnes * 0x20) & ~w) | ((quote - kOnes) & ~quote) |
                             ((backslash - kOnes) & ~backslash);
      if (found & (kOnes * 0x80)) break;
    }
    while (i < text.size() && !NeedsEscape(static_cast<unsigned char>(text[i]))) ++i;
    return i;
  }
  static char* Escape(char* p, unsigned char c) {
    static const char hex[] = "0123456789abcdef";
    *p++ = '\\';
    switch (c) {
      case '"':
      case '\\':
        *p++ = static_cast<char>(c);
        break;
      case '\b':
        *p++ = 'b';
        break;
      case '\f':
        *p++ = 'f';
        break;
      case '\n':
        *p++ = 'n';
        break;
      case '\r':
        *p++ = 'r';
        break;
      case '\t':
        *p++ = 't';
        break;
      default:
        *p++ = 'u';
        *p++ = '0';
        *p++ = '0';
        *p++ = hex[c >> 4];
        *p++ = hex[c & 0xF];
    }
    return p;
  }

  mutable std::string FText;  // the text up to FLength; room to write into after it
  size_t FLength = 0;
  size_t FDepth = 0;    // objects and arrays open
  bool FComma = false;  // the next element of the one open follows another: a comma first
};

}  // namespace tagscope::cli
