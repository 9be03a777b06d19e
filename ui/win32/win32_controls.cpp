#include "ui/win32/win32_controls.h"

#include "ui/win32/win32_factory.h"
#include "ui/win32/win32_fonts.h"

namespace tagscope {

namespace {

// Text on the parent's button-face background in the control's font colour.
HBRUSH FaceColors(HDC dc, const TFontProps& font) {
  SetTextColor(dc, ColorRef(font.Color));
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  return GetSysColorBrush(COLOR_BTNFACE);
}

}  // namespace

std::string ToCrLf(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      result += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      result += "\r\n";
    } else {
      result += c;
    }
  }
  return result;
}

// ---- TWin32Label

TWin32Label::TWin32Label(TWin32Factory& factory, TWidget& parent, const TLabelProps& props)
    : TWin32Widget(factory, &parent, props), FAutoSize(props.AutoSize) {
  CreateNative("STATIC", props.WordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP, 0);
  FitToCaption();
}

void TWin32Label::SetCaption(const std::string& caption) {
  SetWindowTextW(Window(), WideText(caption).c_str());
  FitToCaption();
}

void TWin32Label::FitToCaption() {
  if (!FAutoSize) return;
  const std::string caption = Caption();
  TWindowDc dc(Window());
  TSelectScope font(dc.Get(), Factory().Fonts().Get(Font()));
  RECT r{0, 0, 0, 0};
  DrawTextW(dc.Get(), caption.empty() ? L" " : WideText(caption).c_str(), -1, &r,
            DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS);
  TBounds bounds = Bounds();
  bounds.Width = caption.empty() ? 0 : r.right;
  bounds.Height = r.bottom;
  SetBounds(bounds);
}

HBRUSH TWin32Label::OnCtlColor(HDC dc) {
  return FaceColors(dc, Font());
}

// ---- TWin32Edit

namespace {

DWORD EditStyle(const TEditProps& props) {
  DWORD style = ES_LEFT;
  if (props.TabOrder >= 0) style |= WS_TABSTOP;
  if (props.ReadOnly) style |= ES_READONLY;
  const bool vertical =
      props.ScrollBars == TScrollStyle::ssVertical || props.ScrollBars == TScrollStyle::ssBoth;
  const bool horizontal =
      props.ScrollBars == TScrollStyle::ssHorizontal || props.ScrollBars == TScrollStyle::ssBoth;
  if (!props.MultiLine) return style | ES_AUTOHSCROLL;
  // Lines wrap at the edge unless there is a horizontal scroll bar.
  style |= ES_MULTILINE | ES_AUTOVSCROLL;
  if (vertical) style |= WS_VSCROLL;
  if (horizontal) style |= WS_HSCROLL | ES_AUTOHSCROLL;
  return style;
}

}  // namespace

TWin32Edit::TWin32Edit(TWin32Factory& factory, TWidget& parent, const TEditProps& props)
    : TWin32Widget(factory, &parent, props), FMultiLine(props.MultiLine), FText(props.Caption) {
  CreateNative("EDIT", EditStyle(props), WS_EX_CLIENTEDGE);
  SetText(FText);
}

void TWin32Edit::SetText(const std::string& text) {
  FText = text;
  SetWindowTextW(Window(), WideText(FMultiLine ? ToCrLf(text) : text).c_str());
}

// Read-only edits keep the window colour of an editable one.
HBRUSH TWin32Edit::OnCtlColor(HDC dc) {
  SetTextColor(dc, ColorRef(Font().Color));
  SetBkColor(dc, GetSysColor(COLOR_WINDOW));
  return GetSysColorBrush(COLOR_WINDOW);
}

// ---- TWin32StaticText

namespace {

DWORD StaticStyle(const TStaticTextProps& props) {
  DWORD style = props.Alignment == TAlignment::taCenter         ? SS_CENTER
                : props.Alignment == TAlignment::taRightJustify ? SS_RIGHT
                                                                : SS_LEFT;
  if (props.BorderStyle == TStaticBorderStyle::sbsSunken) style |= SS_SUNKEN;
  if (props.BorderStyle == TStaticBorderStyle::sbsSingle) style |= WS_BORDER;
  return style;
}

}  // namespace

TWin32StaticText::TWin32StaticText(TWin32Factory& factory, TWidget& parent,
                                   const TStaticTextProps& props)
    : TWin32Widget(factory, &parent, props) {
  CreateNative("STATIC", StaticStyle(props), 0);
}

void TWin32StaticText::SetCaption(const std::string& caption) {
  SetWindowTextW(Window(), WideText(caption).c_str());
}

HBRUSH TWin32StaticText::OnCtlColor(HDC dc) {
  return FaceColors(dc, Font());
}

// ---- TWin32Panel

TWin32Panel::TWin32Panel(TWin32Factory& factory, TWidget& parent, const TPanelProps& props)
    : TWin32PaintedWidget(factory, &parent, props), FPanelProps(props), FCaption(props.Caption) {
  CreateNative(kPanelClass, WS_CLIPCHILDREN | WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT);
}

void TWin32Panel::SetCaption(const std::string& caption) {
  FCaption = caption;
  SetWindowTextW(Window(), WideText(caption).c_str());
  InvalidateRect(Window(), nullptr, TRUE);
}

void TWin32Panel::Paint(HDC dc) {
  RECT r = DrawBevels(dc);
  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  if (FCaption.empty()) return;
  TSelectScope font(dc, Factory().Fonts().Get(Font()));
  SetTextColor(dc, ColorRef(Font().Color));
  SetBkMode(dc, TRANSPARENT);
  // Centred on both axes; a long caption (an error message) wraps instead of being cut off.
  const UINT flags = DT_CENTER | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS;
  RECT measured = r;
  const std::wstring caption = WideText(FCaption);
  DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &measured, flags | DT_CALCRECT);
  const LONG height = measured.bottom - measured.top;
  if (height < r.bottom - r.top) r.top += (r.bottom - r.top - height) / 2;
  DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &r, flags);
}

// Each bevel is one pixel of highlight at the top and left and shadow at the bottom and right
// (the other way round when lowered); the outer one first. Returns the area inside them.
RECT TWin32Panel::DrawBevels(HDC dc) {
  RECT r{};
  GetClientRect(Window(), &r);
  for (TBevelCut cut : {FPanelProps.BevelOuter, FPanelProps.BevelInner}) {
    if (cut == TBevelCut::bvNone) continue;
    DrawEdge(dc, &r, cut == TBevelCut::bvRaised ? BDR_RAISEDINNER : BDR_SUNKENOUTER,
             BF_RECT | BF_ADJUST);
  }
  return r;
}

}  // namespace tagscope
