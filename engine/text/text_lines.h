#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tagscope {

// One line of a text file people write (chapter lists, lyrics), numbered from 1.
struct TTextLine {
  size_t Number = 0;
  std::string Text;
};

// The lines of a UTF-8 text: byte-order marks dropped, "\n", "\r\n" or "\r" ending each. A text
// that is not UTF-8 or holds a zero byte is refused with EConvertError naming the first bad
// line and `what` the text is.
std::vector<TTextLine> SplitTextLines(std::string_view text, const char* what);

// The text without blanks and tabs at either end.
std::string_view TrimBlanks(std::string_view text);

inline bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace tagscope
