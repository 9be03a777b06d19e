#pragma once

#include <string>

#include "ui/controls.h"
#include "ui/win32/win32_node.h"

namespace tagscope {

// A label: a static control. With AutoSize it takes the size of its caption in its font.
class TWin32Label : public TWin32Widget<TLabel> {
 public:
  TWin32Label(TWin32Factory& factory, TWidget& parent, const TLabelProps& props);
  std::string Caption() const override { return WindowText(Window()); }
  void SetCaption(const std::string& caption) override;
  HBRUSH OnCtlColor(HDC dc) override;

 private:
  void FitToCaption();
  bool FAutoSize;
};

// An edit control. Multi-line edits show lone line feeds as line breaks; Text gives back the
// bytes as they were set.
class TWin32Edit : public TWin32Widget<TEdit> {
 public:
  TWin32Edit(TWin32Factory& factory, TWidget& parent, const TEditProps& props);
  std::string Text() const override { return FText; }
  void SetText(const std::string& text) override;
  HBRUSH OnCtlColor(HDC dc) override;

 private:
  bool FMultiLine;
  std::string FText;
};

class TWin32StaticText : public TWin32Widget<TStaticText> {
 public:
  TWin32StaticText(TWin32Factory& factory, TWidget& parent, const TStaticTextProps& props);
  std::string Caption() const override { return WindowText(Window()); }
  void SetCaption(const std::string& caption) override;
  HBRUSH OnCtlColor(HDC dc) override;
};

// A panel: a container window that draws its bevels and its caption, centred and wrapped, in
// its own font and colour behind its children.
class TWin32Panel : public TWin32PaintedWidget<TPanel> {
 public:
  TWin32Panel(TWin32Factory& factory, TWidget& parent, const TPanelProps& props);
  std::string Caption() const override { return FCaption; }
  void SetCaption(const std::string& caption) override;

 protected:
  void Paint(HDC dc) override;

 private:
  RECT DrawBevels(HDC dc);

  TPanelProps FPanelProps;
  std::string FCaption;
};

// Multi-line text with CR LF line ends, as an edit control shows them.
std::string ToCrLf(const std::string& text);

}  // namespace tagscope
