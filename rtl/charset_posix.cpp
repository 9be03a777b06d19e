// Character set conversion through iconv.
#include <errno.h>
#include <iconv.h>

#include <memory>
#include <string>

#include "tagscope/rtl/charset.h"

namespace tagscope {

namespace {

struct TIconvCloser {
  void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};
using TIconv = std::unique_ptr<void, TIconvCloser>;

TIconv OpenToUtf8(std::string_view charset) {
  const iconv_t cd = iconv_open("UTF-8", std::string(charset).c_str());
  return TIconv(cd == reinterpret_cast<iconv_t>(-1) ? nullptr : cd);
}

}  // namespace

bool KnownCharset(std::string_view charset) {
  return OpenToUtf8(charset) != nullptr;
}

bool CharsetToUtf8(std::string_view bytes, std::string_view charset, std::string& utf8) {
  const TIconv cd = OpenToUtf8(charset);
  if (!cd) return false;
  std::string in(bytes);
  // No character takes more than four bytes of UTF-8, whatever it took before.
  utf8.assign(in.size() * 4 + 4, '\0');
  char* from = in.data();
  size_t left = in.size();
  char* to = utf8.data();
  size_t room = utf8.size();
  // An invalid (EILSEQ) or incomplete (EINVAL) sequence fails the conversion; so does a
  // character converted approximately, which iconv counts in its result.
  const size_t approximate = iconv(static_cast<iconv_t>(cd.get()), &from, &left, &to, &room);
  if (approximate != 0 || left != 0) return false;
  utf8.resize(utf8.size() - room);
  return true;
}

}  // namespace tagscope
