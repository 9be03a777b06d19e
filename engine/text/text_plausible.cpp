// Telling text that reads right from text read in the wrong character set.
#include <algorithm>
#include <set>
#include <vector>

#include "engine/text/text_script.h"
#include "tagscope/engine/text_plausible.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope {

namespace {

bool HighLetter(uint8_t c) {
  return c >= 0xC0 && c != 0xD7 && c != 0xF7;
}

bool Letter(uint8_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || HighLetter(c);
}

// A sign of the upper half of ISO-8859-1 (currency, superscripts, fractions, ...).
bool HighSign(uint8_t c) {
  return (c >= 0xA1 && c <= 0xBF) || c == 0xD7 || c == 0xF7;
}

bool Control(char32_t c) {
  return (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || (c >= 0x7F && c <= 0x9F) ||
         c == 0xFFFD || (c >= 0xE000 && c <= 0xF8FF);
}

// Walks the words of a UTF-8 text (runs of letters), calling `word` with each run's classes.
template <typename TWord, typename TBetween>
void Words(std::string_view utf8, const TWord& word, const TBetween& between) {
  std::vector<TCharClass> run;
  char32_t before = 0;
  for (size_t at = 0; at < utf8.size();) {
    const char32_t c = NextUtf8(utf8, at);
    const TCharClass k = ClassOf(c);
    if (k.script != TScript::scNone) {
      run.push_back(k);
      before = c;
      continue;
    }
    // A sign between two letters: the next character decides.
    if (!run.empty() && c >= 0x80) {
      size_t next = at;
      if (next < utf8.size() && ClassOf(NextUtf8(utf8, next)).script != TScript::scNone)
        between(before, c);
    }
    if (!run.empty()) word(run);
    run.clear();
  }
  if (!run.empty()) word(run);
}

}  // namespace

bool LooksMisread(std::string_view latin1) {
  int run = 0;
  for (size_t i = 0; i < latin1.size(); ++i) {
    const auto c = static_cast<uint8_t>(latin1[i]);
    if (c >= 0x80 && c <= 0x9F) return true;
    run = c >= 0xA0 ? run + 1 : 0;
    if (run >= 3) return true;
    if (HighSign(c) && i > 0 && i + 1 < latin1.size() &&
        Letter(static_cast<uint8_t>(latin1[i - 1])) && Letter(static_cast<uint8_t>(latin1[i + 1])))
      return true;
  }
  return false;
}

bool PlausibleText(std::string_view utf8) {
  if (!IsValidUtf8(utf8)) return false;
  for (size_t at = 0; at < utf8.size();)
    if (Control(NextUtf8(utf8, at))) return false;
  bool plausible = true;
  std::set<TScript> beyondAscii;
  for (size_t at = 0; at < utf8.size();) {
    const char32_t c = NextUtf8(utf8, at);
    if (c >= 0x80 && ClassOf(c).script != TScript::scNone) beyondAscii.insert(ClassOf(c).script);
  }
  Words(
      utf8,
      [&](const std::vector<TCharClass>& word) {
        for (const TCharClass& k : word)
          if (k.script != word.front().script) plausible = false;
      },
      [](char32_t, char32_t) {});
  return plausible && beyondAscii.size() <= 1;
}

int TextOddity(std::string_view utf8) {
  int oddity = 0;
  Words(
      utf8,
      [&](const std::vector<TCharClass>& word) {
        // A capital after a small letter ("йХМН"); one such change is common in names
        // ("McCartney"), more are not, nor capitals after a small first letter ("цПСООЮ", a
        // capitalised word read with its case turned round).
        int changes = 0;
        for (size_t i = 1; i < word.size(); ++i)
          if (word[i].upper && word[i - 1].lower) ++changes;
        oddity += changes > 1 ? changes : 0;
        if (changes == 1 && (word.size() <= 3 || word.front().lower)) oddity += 2;
      },
      [&](char32_t, char32_t) { oddity += 2; });
  return oddity;
}

}  // namespace tagscope
