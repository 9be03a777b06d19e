#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <tuple>

#include "ui/types.h"
#include "ui/win32/win32_handles.h"

namespace tagscope {

// The LOGFONT of a font description (face, height, style; the colour is not part of a font).
LOGFONTA LogFontOf(const TFontProps& font);
// A font created from a LOGFONT with the given styles instead of its own.
TFontOwner CreateStyledFont(const LOGFONTA& base, TFontStyles style);

// The fonts of one factory's controls, created once per face, height and style and freed with
// the factory.
class TWin32Fonts {
 public:
  HFONT Get(const TFontProps& font);

 private:
  using TKey = std::tuple<std::string, int, TFontStyles>;
  std::map<TKey, TFontOwner> FFonts;
};

}  // namespace tagscope
