// Letters, their scripts and their case, by code point ranges.
#include "engine/text/text_script.h"

namespace tagscope {

namespace {

bool In(char32_t c, char32_t from, char32_t to) {
  return c >= from && c <= to;
}

// Case in Latin Extended-A, where capitals and small letters mostly alternate.
TCharClass LatinExtendedA(char32_t c) {
  if (c == 0x138 || c == 0x149 || c == 0x17F) return {TScript::scLatin, false, true};
  const bool evenUpper = c < 0x138 || (c >= 0x14A && c < 0x178);
  const bool upper = c == 0x178 || ((c % 2 == 0) == evenUpper);
  return {TScript::scLatin, upper, !upper};
}

}  // namespace

TCharClass ClassOf(char32_t c) {
  if (In(c, 'A', 'Z')) return {TScript::scLatin, true, false};
  if (In(c, 'a', 'z')) return {TScript::scLatin, false, true};
  if (c < 0xC0) {
    if (c == 0xAA || c == 0xBA || c == 0xB5) return {TScript::scLatin, false, true};
    return {};
  }
  if (c == 0xD7 || c == 0xF7) return {};
  if (c < 0xDF) return {TScript::scLatin, true, false};
  if (c <= 0xFF) return {TScript::scLatin, false, true};
  if (c < 0x180) return LatinExtendedA(c);
  if (c < 0x250 || In(c, 0x1E00, 0x1EFF)) return {TScript::scLatin, false, false};
  if (In(c, 0x391, 0x3A9)) return {TScript::scGreek, true, false};
  if (In(c, 0x3AC, 0x3CE)) return {TScript::scGreek, false, true};
  if (In(c, 0x370, 0x3FF)) return {TScript::scGreek, false, false};
  if (In(c, 0x400, 0x42F)) return {TScript::scCyrillic, true, false};
  if (In(c, 0x430, 0x45F)) return {TScript::scCyrillic, false, true};
  if (In(c, 0x460, 0x52F)) return {TScript::scCyrillic, false, false};
  if (In(c, 0x5D0, 0x5EA)) return {TScript::scHebrew};
  if (In(c, 0x620, 0x64A) || In(c, 0x671, 0x6D3)) return {TScript::scArabic};
  if (In(c, 0xE01, 0xE3A) || In(c, 0xE40, 0xE4E)) return {TScript::scThai};
  // Chinese, Japanese and Korean are written together: one script here.
  if (In(c, 0x1100, 0x11FF) || In(c, 0x3040, 0x30FF) || In(c, 0x3130, 0x318F) ||
      In(c, 0x3400, 0x4DBF) || In(c, 0x4E00, 0x9FFF) || In(c, 0xAC00, 0xD7A3) ||
      In(c, 0xF900, 0xFAFF) || In(c, 0xFF21, 0xFF3A) || In(c, 0xFF41, 0xFF5A) ||
      In(c, 0xFF66, 0xFF9F) || In(c, 0x20000, 0x2FA1F))
    return {TScript::scCJK};
  return {};
}

}  // namespace tagscope
