#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tagscope {

// A window of the platform, as an opaque value. Portable code only stores, compares and passes
// it on; the Win32 backend and the plug-in convert it to and from HWND. 0 means "no window".
using TNativeHandle = std::uintptr_t;

// A position and size in pixels, relative to the parent's client area.
struct TBounds {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  bool operator==(const TBounds&) const = default;
};

// A colour: red + 256 * green + 65536 * blue, or one of the special values below. The same
// type as the picture decoders' colour (imaging/graphic.h, which also defines clNone).
using TColor = std::uint32_t;
inline constexpr TColor clDefault = 0x20000000;  // whatever the control draws by default
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clWhite = 0xFFFFFF;
// System colours: the high byte 0x80 marks them, the low byte is the system colour index
// (the Win32 backend passes it to GetSysColor; the headless backend keeps the value).
inline constexpr TColor clSystemColor = 0x80000000;
inline constexpr TColor clWindowText = clSystemColor | 8;
inline constexpr TColor clBtnFace = clSystemColor | 15;

// A set of font styles.
using TFontStyles = std::uint8_t;
inline constexpr TFontStyles fsBold = 1;
inline constexpr TFontStyles fsItalic = 2;
inline constexpr TFontStyles fsUnderline = 4;
inline constexpr TFontStyles fsStrikeOut = 8;

// A font: face name, height in pixels (negative: character height without internal leading,
// as in a Win32 LOGFONT), colour and style.
struct TFontProps {
  std::string Name = "MS Sans Serif";
  int Height = -11;
  TColor Color = clWindowText;
  TFontStyles Style = 0;
  bool operator==(const TFontProps&) const = default;
};

// A keyboard shortcut: a virtual-key code in the low byte plus the modifier bits.
using TShortCut = std::uint16_t;
inline constexpr TShortCut scNone = 0;
inline constexpr TShortCut scShift = 0x2000;
inline constexpr TShortCut scCtrl = 0x4000;
inline constexpr TShortCut scAlt = 0x8000;
// Virtual-key codes used by shortcuts (the values of the Windows key codes).
inline constexpr std::uint8_t vkEscape = 27;
inline constexpr std::uint8_t vkF3 = 114;

inline std::uint8_t ShortCutKey(TShortCut shortCut) {
  return shortCut & 0xFF;
}

// A command identifier carried by menu items and command messages (16 bits, as in WM_COMMAND).
using TCommandId = std::uint16_t;

// A command message as the form's window receives it: the command identifier (low word of
// wParam), the notification code (high word) and the window of the control that sent it
// (lParam; 0 for menus and accelerators).
struct TCommandMessage {
  TCommandId Command = 0;
  std::uint16_t NotifyCode = 0;
  TNativeHandle Source = 0;
};

// How a control places itself in its parent.
enum class TAlign { alNone, alClient };
// Horizontal alignment of a control's text.
enum class TAlignment { taLeftJustify, taCenter, taRightJustify };
// Mouse pointer over a control.
enum class TCursor { crDefault, crHandPoint };
// Scroll bars of a multi-line edit.
enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
// Border of a static text.
enum class TStaticBorderStyle { sbsNone, sbsSingle, sbsSunken };
// Bevels of a panel.
enum class TBevelCut { bvNone, bvLowered, bvRaised };

}  // namespace tagscope
