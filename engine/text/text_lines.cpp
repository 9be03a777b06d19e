#include "engine/text/text_lines.h"

#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope {

std::vector<TTextLine> SplitTextLines(std::string_view text, const char* what) {
  std::vector<TTextLine> lines;
  for (size_t at = 0, number = 1; at < text.size(); ++number) {
    size_t end = text.find_first_of("\r\n", at);
    if (end == text.npos) end = text.size();
    const std::string_view line = text.substr(at, end - at);
    if (!IsValidUtf8(line))
      throw EConvertError(Format("Line %zu of the %s is not UTF-8", number, what));
    // A zero byte would end a text in the frames the lines go into, cutting what follows.
    if (line.find('\0') != line.npos)
      throw EConvertError(Format("Line %zu of the %s holds a zero byte", number, what));
    // A byte-order mark inside a line (files joined together) carries no character, as the
    // frames' text decoders read it.
    std::string clean(line);
    for (size_t mark; (mark = clean.find("\xEF\xBB\xBF")) != clean.npos;) clean.erase(mark, 3);
    lines.push_back({number, std::move(clean)});
    at = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
  }
  return lines;
}

std::string_view TrimBlanks(std::string_view text) {
  const size_t begin = text.find_first_not_of(" \t");
  if (begin == text.npos) return {};
  return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

}  // namespace tagscope
