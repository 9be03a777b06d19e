#include "ui/win32/win32_fonts.h"

#include <cstring>

namespace tagscope {

namespace {

void ApplyStyle(LOGFONTA& lf, TFontStyles style) {
  lf.lfWeight = (style & fsBold) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = (style & fsItalic) ? TRUE : FALSE;
  lf.lfUnderline = (style & fsUnderline) ? TRUE : FALSE;
  lf.lfStrikeOut = (style & fsStrikeOut) ? TRUE : FALSE;
}

// "MS Sans Serif" is a bitmap font: it has no glyphs beyond the Western scripts and takes no part
// in font linking, so Japanese or Chinese text would show as boxes. The dialog font "MS Shell Dlg"
// is its TrueType stand-in, of the same look, and reaches every script the system has fonts for.
const char* FaceName(const std::string& name) {
  return name == "MS Sans Serif" ? "MS Shell Dlg" : name.c_str();
}

}  // namespace

LOGFONTA LogFontOf(const TFontProps& font) {
  LOGFONTA lf{};
  lf.lfHeight = font.Height;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = DEFAULT_PITCH;
  std::strncpy(lf.lfFaceName, FaceName(font.Name), LF_FACESIZE - 1);
  ApplyStyle(lf, font.Style);
  return lf;
}

TFontOwner CreateStyledFont(const LOGFONTA& base, TFontStyles style) {
  LOGFONTA lf = base;
  ApplyStyle(lf, style);
  return TFontOwner(CreateFontIndirectA(&lf));
}

HFONT TWin32Fonts::Get(const TFontProps& font) {
  TKey key{font.Name, font.Height, font.Style};
  auto found = FFonts.find(key);
  if (found != FFonts.end()) return found->second.Get();
  const LOGFONTA lf = LogFontOf(font);
  TFontOwner created(CreateFontIndirectA(&lf));
  HFONT result = created.Get();
  // Without a font of its own a control keeps the system's; nothing to remember then.
  if (result) FFonts.emplace(key, std::move(created));
  return result;
}

}  // namespace tagscope
