#pragma once

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tagscope::cli {

// Writes compact JSON text straight into a string, element by element: what the dump prints
// for many files, without building a document for each. Texts must be UTF-8.
class TJsonWriter {
 public:
  TJsonWriter() { FText.reserve(4096); }
  const std::string& Text() const { return FText; }
  // The text, handed over: the writer is empty afterwards.
  std::string TakeText() { return std::move(FText); }

  TJsonWriter& BeginObject() { return Open('{'); }
  TJsonWriter& EndObject() { return Close('}'); }
  TJsonWriter& BeginArray() { return Open('['); }
  TJsonWriter& EndArray() { return Close(']'); }

  // The key of the next member of an object: this program's own names, which need no escapes.
  TJsonWriter& Key(std::string_view key) {
    Separate();
    // One append: a dump writes a dozen keys for every frame of every file.
    char quoted[64];
    if (key.size() + 3 <= sizeof quoted) {
      quoted[0] = '"';
      std::memcpy(quoted + 1, key.data(), key.size());
      quoted[key.size() + 1] = '"';
      quoted[key.size() + 2] = ':';
      FText.append(quoted, key.size() + 3);
    } else {
      FText.append(1, '"').append(key).append("\":", 2);
    }
    FAfterKey = true;
    return *this;
  }
  TJsonWriter& Value(std::string_view text) {
    Separate();
    String(text);
    return *this;
  }
  TJsonWriter& Value(const char* text) { return Value(std::string_view(text)); }
  TJsonWriter& Value(bool value) {
    Separate();
    FText.append(value ? "true" : "false", value ? 4 : 5);
    return *this;
  }
  TJsonWriter& Value(int64_t value) { return Number(value); }
  TJsonWriter& Value(uint64_t value) { return Number(value); }
  // A number of seconds and the like, to the millisecond (as "%.3f" writes it).
  TJsonWriter& Value(double value) { return Number(value, std::chars_format::fixed, 3); }
  // A value read from a file (a gain, a peak), in the fewest digits that read back the same.
  TJsonWriter& ExactValue(double value) { return Number(value); }
  // A measure to the decimals given (a level in dB, a peak).
  TJsonWriter& Value(double value, int decimals) {
    return Number(value, std::chars_format::fixed, decimals);
  }
  TJsonWriter& Null() {
    Separate();
    FText += "null";
    return *this;
  }
  TJsonWriter& Value(int value) { return Value(static_cast<int64_t>(value)); }
  TJsonWriter& Value(unsigned value) { return Value(static_cast<uint64_t>(value)); }
  template <typename T>
  TJsonWriter& Member(std::string_view key, const T& value) {
    return Key(key).Value(value);
  }
  TJsonWriter& Member(std::string_view key, const char* value) {
    return Key(key).Value(std::string_view(value));
  }

 private:
  TJsonWriter& Open(char bracket) {
    Separate();
    FText.push_back(bracket);
    FFirst.push_back(1);
    return *this;
  }
  TJsonWriter& Close(char bracket) {
    FText.push_back(bracket);
    FFirst.pop_back();
    return *this;
  }
  template <typename T, typename... Format>
  TJsonWriter& Number(T value, Format... format) {
    Separate();
    char text[64];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, value, format...);
    FText.append(text, static_cast<size_t>(r.ptr - text));
    return *this;
  }
  // A comma before every element of an object or array but the first; none after a key.
  void Separate() {
    if (FAfterKey) {
      FAfterKey = false;
      return;
    }
    if (FFirst.empty()) return;
    if (!FFirst.back()) FText.push_back(',');
    FFirst.back() = 0;
  }
  void String(std::string_view text) {
    FText.push_back('"');
    size_t run = 0;  // start of the bytes that need no escape
    for (size_t i = 0; i < text.size(); ++i) {
      const auto c = static_cast<unsigned char>(text[i]);
      if (c >= 0x20 && c != '"' && c != '\\') continue;
      FText.append(text, run, i - run);
      Escape(c);
      run = i + 1;
    }
    FText.append(text, run, text.size() - run);
    FText.push_back('"');
  }
  void Escape(unsigned char c) {
    static const char hex[] = "0123456789abcdef";
    switch (c) {
      case '"':
        FText += "\\\"";
        break;
      case '\\':
        FText += "\\\\";
        break;
      case '\b':
        FText += "\\b";
        break;
      case '\f':
        FText += "\\f";
        break;
      case '\n':
        FText += "\\n";
        break;
      case '\r':
        FText += "\\r";
        break;
      case '\t':
        FText += "\\t";
        break;
      default:
        FText += "\\u00";
        FText.push_back(hex[c >> 4]);
        FText.push_back(hex[c & 0xF]);
    }
  }

  std::string FText;
  std::vector<char> FFirst;  // per open object or array: no element written yet
  bool FAfterKey = false;
};

}  // namespace tagscope::cli
