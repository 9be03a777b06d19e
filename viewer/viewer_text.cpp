#include "viewer/viewer_text.h"

#include "tagscope/rtl/ascii_case.h"

namespace tagscope {

void SplitPair(const std::string& s, std::string& first, std::string& second) {
  const size_t slash = s.find('/');
  if (slash == std::string::npos) {
    first = s;
    second.clear();
    return;
  }
  first = s.substr(0, slash);
  second = s.substr(slash + 1);
}

bool IsPrintableText(const std::string& s) {
  for (const char c : s)
    if (static_cast<unsigned char>(c) < 32) return false;
  return true;
}

bool IsOpenableLink(const std::string& url) {
  const size_t colon = url.find(':');
  if (colon == std::string::npos) return false;
  const std::string scheme = url.substr(0, colon);
  for (const char* allowed : {"http", "https", "ftp", "mailto"})
    if (SameTextAscii(scheme, allowed)) return true;
  return false;
}

}  // namespace tagscope
