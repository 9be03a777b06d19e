// Character set conversion through the system's code pages.
#include <windows.h>

#include <string>

#include "tagscope/rtl/ascii_case.h"
#include "tagscope/rtl/charset.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope {

namespace {

// The code page of a character set name; 0 for one the table does not hold.
UINT CodePage(std::string_view charset) {
  static const std::pair<const char*, UINT> pages[] = {
      {"WINDOWS-1250", 1250}, {"CP1250", 1250},      {"WINDOWS-1251", 1251}, {"CP1251", 1251},
      {"WINDOWS-1252", 1252}, {"CP1252", 1252},      {"WINDOWS-1253", 1253}, {"CP1253", 1253},
      {"WINDOWS-1254", 1254}, {"CP1254", 1254},      {"WINDOWS-1255", 1255}, {"WINDOWS-1256", 1256},
      {"WINDOWS-1257", 1257}, {"ISO-8859-1", 28591}, {"LATIN1", 28591},      {"ISO-8859-2", 28592},
      {"ISO-8859-5", 28595},  {"ISO-8859-7", 28597}, {"KOI8-R", 20866},      {"KOI8-U", 21866},
      {"SHIFT_JIS", 932},     {"SJIS", 932},         {"CP932", 932},         {"GBK", 936},
      {"CP936", 936},         {"GB2312", 936},       {"GB18030", 54936},     {"BIG5", 950},
      {"CP950", 950},         {"EUC-KR", 949},       {"CP949", 949},         {"UHC", 949},
      {"EUC-JP", 20932},      {"IBM866", 866},       {"CP866", 866},         {"UTF-8", CP_UTF8}};
  for (const auto& [name, page] : pages)
    if (SameTextAscii(name, charset))
      // Where the system lacks GB18030, its two-byte part is GBK.
      return page == 54936 && !IsValidCodePage(page) ? 936 : page;
  return 0;
}

}  // namespace

bool KnownCharset(std::string_view charset) {
  const UINT page = CodePage(charset);
  return page != 0 && IsValidCodePage(page);
}

bool CharsetToUtf8(std::string_view bytes, std::string_view charset, std::string& utf8) {
  const UINT page = CodePage(charset);
  if (page == 0 || !IsValidCodePage(page)) return false;
  utf8.clear();
  if (bytes.empty()) return true;
  if (bytes.size() > 0x3FFFFFFF) return false;
  const int size = static_cast<int>(bytes.size());
  // Latin-1 has no invalid byte; the others refuse what they do not define.
  const DWORD flags = page == 28591 ? 0 : MB_ERR_INVALID_CHARS;
  const int n = MultiByteToWideChar(page, flags, bytes.data(), size, nullptr, 0);
  if (n <= 0) return false;
  std::u16string units(static_cast<size_t>(n), u'\0');
  if (MultiByteToWideChar(page, flags, bytes.data(), size, reinterpret_cast<wchar_t*>(units.data()),
                          n) != n)
    return false;
  utf8 = Utf16ToUtf8(units);
  return true;
}

}  // namespace tagscope
