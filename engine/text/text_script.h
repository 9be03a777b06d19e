#pragma once

#include <cstdint>

namespace tagscope {

// The writing system a character belongs to, as far as telling a repaired text from a garbled
// one needs: letters of the scripts tags are written in, and everything else as neutral.
enum class TScript : uint8_t {
  scNone,
  scLatin,
  scGreek,
  scCyrillic,
  scHebrew,
  scArabic,
  scThai,
  scCJK,
  scOther
};

struct TCharClass {
  TScript script = TScript::scNone;  // scNone: not a letter
  bool upper = false;
  bool lower = false;
};

// The class of a code point: its script when it is a letter, and its case where it has one.
TCharClass ClassOf(char32_t code);

}  // namespace tagscope
