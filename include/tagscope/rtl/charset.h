#pragma once

#include <string>
#include <string_view>

namespace tagscope {

// Converts bytes in the named character set to UTF-8, through the platform's converter (iconv
// on POSIX systems, the code pages on Windows). False, `utf8` undefined, when the platform does
// not know the set or the bytes do not convert cleanly: an invalid or incomplete sequence, or a
// byte the set leaves undefined. Names are matched without case and take the usual forms:
// "WINDOWS-1251" (or "CP1251"), "WINDOWS-1250", "WINDOWS-1252", "ISO-8859-1", "ISO-8859-2",
// "KOI8-R", "SHIFT_JIS", "GBK", "GB18030", "BIG5", "EUC-KR", "UTF-8".
bool CharsetToUtf8(std::string_view bytes, std::string_view charset, std::string& utf8);

// Whether the platform's converter knows the character set.
bool KnownCharset(std::string_view charset);

}  // namespace tagscope
