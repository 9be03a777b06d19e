// Weighing readings of the same bytes: which one is text people wrote.
#include "engine/text/text_repair_reading.h"

#include "engine/text/text_script.h"
#include "tagscope/engine/text_plausible.h"
#include "tagscope/rtl/ascii_case.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope {

namespace {

// WINDOWS-1252's characters for the bytes 0x80-0x9F; 0 where it leaves the byte undefined.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool In(char32_t c, char32_t from, char32_t to) {
  return c >= from && c <= to;
}

// Characters text in tags hardly holds, which a wrong reading brings in.
int RareCharacter(char32_t c) {
  if (In(c, 0xFF61, 0xFF9F) || In(c, 0x2500, 0x257F) || In(c, 0x2580, 0x259F) ||
      In(c, 0x3130, 0x318F) || In(c, 0xF900, 0xFAFF) || c == 0x192)
    return 2;
  // Cyrillic letters of other languages than Russian (Serbian, Ukrainian, ...).
  if ((In(c, 0x400, 0x40F) && c != 0x401) || (In(c, 0x450, 0x45F) && c != 0x451) ||
      In(c, 0x490, 0x491))
    return 1;
  return 0;
}

}  // namespace

int DenseLatinWords(std::string_view utf8, int least) {
  int words = 0, letters = 0, accented = 0;
  bool latin = true;
  auto end = [&] {
    if (latin && letters >= least && accented * 4 > letters * 3) ++words;
    letters = accented = 0;
    latin = true;
  };
  for (size_t at = 0; at < utf8.size();) {
    const char32_t c = NextUtf8(utf8, at);
    const TScript script = ClassOf(c).script;
    if (script == TScript::scNone) {
      end();
      continue;
    }
    ++letters;
    accented += c >= 0x80 ? 1 : 0;
    latin = latin && script == TScript::scLatin;
  }
  end();
  return words;
}

namespace {

// Case that names seldom have: small letters after two capitals or more inside a word
// ("ЖЯАпПг"; "DJs" aside), and a capital after a small letter in a short word ("ЗзМм").
int CaseShape(std::string_view utf8) {
  int odd = 0, capitals = 0, letters = 0, turns = 0;
  bool small = false;
  auto end = [&] {
    odd += letters <= 5 ? turns : 0;
    capitals = letters = turns = 0;
    small = false;
  };
  for (size_t at = 0; at < utf8.size();) {
    const TCharClass k = ClassOf(NextUtf8(utf8, at));
    if (k.script == TScript::scNone) {
      end();
      continue;
    }
    ++letters;
    if (k.lower && capitals >= 2) ++odd;
    if (k.upper && small) ++turns;
    capitals = k.upper ? capitals + 1 : 0;
    small = k.lower;
  }
  end();
  return odd;
}

int Rarity(bool rare, bool common) {
  return rare ? 2 : common ? 0 : 1;
}

}  // namespace

int ReadingOddity(std::string_view utf8) {
  if (!PlausibleText(utf8)) return kImplausible;
  // Shorter words of accents alone ("ÄÖÜ", "Öö") are common writing.
  int oddity = TextOddity(utf8) + 3 * DenseLatinWords(utf8, 4) + CaseShape(utf8);
  for (size_t at = 0; at < utf8.size();) oddity += RareCharacter(NextUtf8(utf8, at));
  return oddity;
}

namespace {

// Two-byte characters all in the rows of Korean's syllables, four or more: Korean read as
// Chinese gives common ideographs, while Chinese seldom keeps to those rows so long.
bool KoreanShaped(std::string_view bytes) {
  int pairs = 0;
  for (size_t at = 0; at < bytes.size();) {
    const auto lead = static_cast<uint8_t>(bytes[at]);
    if (lead < 0x80) {
      ++at;
      continue;
    }
    if (at + 1 >= bytes.size() || !In(lead, 0xB0, 0xC8) ||
        static_cast<uint8_t>(bytes[at + 1]) < 0xA1)
      return false;
    ++pairs;
    at += 2;
  }
  return pairs >= 4;
}

}  // namespace

int ByteRarity(std::string_view bytes, std::string_view charset) {
  const bool sjis = SameTextAscii(charset, "SHIFT_JIS"), gb = SameTextAscii(charset, "GB18030"),
             big5 = SameTextAscii(charset, "BIG5"), uhc = SameTextAscii(charset, "CP949");
  if (!sjis && !gb && !big5 && !uhc) return 0;
  int rarity = (gb || big5) && KoreanShaped(bytes) ? 1 : 0;
  for (size_t at = 0; at < bytes.size();) {
    const auto lead = static_cast<uint8_t>(bytes[at]);
    const auto trail = at + 1 < bytes.size() ? static_cast<uint8_t>(bytes[at + 1]) : 0;
    if (lead < 0x80 || (sjis && In(lead, 0xA1, 0xDF))) {
      ++at;  // ASCII; half-width katakana count as characters
      continue;
    }
    if (gb && In(trail, 0x30, 0x39)) {  // four bytes: beyond what GBK holds
      rarity += 3;
      at += 4;
      continue;
    }
    if (sjis) rarity += Rarity(lead >= 0xED, lead <= 0x9F);
    // Kana rows (0xA4, 0xA5 in Chinese sets, 0xAA, 0xAB in Korean) are rare in those languages.
    if (gb)
      rarity += Rarity(lead < 0xA1 || In(lead, 0xA4, 0xA5) || In(lead, 0xAA, 0xAF) || trail < 0xA1,
                       lead <= 0xF7);
    if (big5) rarity += Rarity(lead < 0xA1 || lead > 0xF9, lead <= 0xC6);
    // Hangul of the common set, its symbols; Hanja are seldom written in Korean titles.
    if (uhc) rarity += Rarity(lead < 0xA1 || In(lead, 0xAA, 0xAB) || trail < 0xA1, lead <= 0xC8);
    at += 2;
  }
  return rarity;
}

int SignRuns(std::string_view utf8) {
  int signs = 0;
  bool wide = false, sign = false;  // the character before: beyond ASCII, a sign beyond ASCII
  for (size_t at = 0; at < utf8.size();) {
    const char32_t c = NextUtf8(utf8, at);
    const bool isWide = c >= 0x80, isSign = isWide && ClassOf(c).script == TScript::scNone;
    if (isWide && wide && (isSign || sign)) ++signs;
    wide = isWide;
    sign = isSign;
  }
  return signs;
}

int MisreadRuns(std::string_view utf8) {
  int runs = 0, length = 0;
  bool sign = false;
  auto end = [&] {
    runs += length >= 3 && sign ? 1 : 0;
    length = 0;
    sign = false;
  };
  for (size_t at = 0; at < utf8.size();) {
    const char32_t c = NextUtf8(utf8, at);
    if (c < 0x80) {
      end();
      continue;
    }
    ++length;
    sign = sign || ClassOf(c).script == TScript::scNone;
  }
  end();
  return runs;
}

int SpacedIdeographs(std::string_view utf8) {
  int spaced = 0;
  char32_t before = 0, space = 0;
  for (size_t at = 0; at < utf8.size();) {
    const char32_t c = NextUtf8(utf8, at);
    const bool han = In(c, 0x4E00, 0x9FFF);
    if (han && space == ' ' && In(before, 0x4E00, 0x9FFF)) ++spaced;
    if (c == ' ') {
      space = c;
      continue;
    }
    before = c;
    space = 0;
  }
  return spaced;
}

std::optional<std::string> Cp1252Bytes(std::string_view utf8) {
  if (!IsValidUtf8(utf8)) return std::nullopt;
  std::string bytes;
  for (size_t at = 0; at < utf8.size();) {
    const char32_t c = NextUtf8(utf8, at);
    if (c <= 0xFF) {
      bytes += static_cast<char>(c);
      continue;
    }
    size_t i = 0;
    while (i < 32 && kCp1252High[i] != c) ++i;
    if (i == 32) return std::nullopt;
    bytes += static_cast<char>(0x80 + i);
  }
  return bytes;
}

bool NonLatinLettersOnly(std::string_view utf8) {
  bool any = false;
  for (size_t at = 0; at < utf8.size();) {
    const char32_t c = NextUtf8(utf8, at);
    if (c < 0x80) continue;
    const TScript script = ClassOf(c).script;
    if (script == TScript::scNone || script == TScript::scLatin) return false;
    any = true;
  }
  return any;
}

}  // namespace tagscope
