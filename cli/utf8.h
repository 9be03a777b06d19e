#pragma once

#include <cstdint>
#include <string>

namespace tagscope::cli {

// The next code point of a UTF-8 text, or -1 when the bytes at `at` are not UTF-8.
inline int32_t NextCodePoint(const std::string& text, size_t& at) {
  const auto lead = static_cast<uint8_t>(text[at++]);
  if (lead < 0x80) return lead;
  const int extra = lead >= 0xF0 && lead < 0xF5 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 ? 1 : -1;
  if (extra < 0 || at + extra > text.size()) return -1;
  int32_t code = lead & (0x3F >> extra);
  for (int i = 0; i < extra; ++i) {
    const auto next = static_cast<uint8_t>(text[at++]);
    if ((next & 0xC0) != 0x80) return -1;
    code = code << 6 | (next & 0x3F);
  }
  const int32_t smallest[] = {0, 0x80, 0x800, 0x10000};
  return code < smallest[extra] || code > 0x10FFFF ? -1 : code;
}

inline bool IsUtf8(const std::string& text) {
  for (size_t at = 0; at < text.size();)
    if (NextCodePoint(text, at) < 0) return false;
  return true;
}

}  // namespace tagscope::cli
