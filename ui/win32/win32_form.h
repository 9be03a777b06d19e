#pragma once

#include <vector>

#include "ui/win32/win32_node.h"

namespace tagscope {

// The form: a borderless child window of a foreign parent (a popup without one), created
// hidden. Every WM_COMMAND reaching it goes to Perform, after a control of ours that sent it
// had its say (a toolbar button runs its action).
class TWin32Form : public TWin32Widget<TForm> {
 public:
  TWin32Form(TWin32Factory& factory, TNativeHandle parent, const TFormProps& props);

  std::string Caption() const override { return WindowText(Window()); }
  void SetActiveControl(TWidget* control) override { FActiveControl = control; }

 protected:
  bool WindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  void SizeChanged() override { DoResize(); }

 private:
  void PaintBackground(HDC dc);

  TFormProps FFormProps;
  TWidget* FActiveControl = nullptr;
};

// Tab pages: the common tab control, with each page a child window inside it.
class TWin32PageControl : public TWin32Widget<TPageControl> {
 public:
  TWin32PageControl(TWin32Factory& factory, TWidget& parent, const TPageControlProps& props);

  int PageCount() const override { return static_cast<int>(FPages.size()); }
  TTabSheet* Page(int index) const override;
  int ActivePageIndex() const override;
  void SetActivePageIndex(int index) override;
  bool OnNotify(NMHDR& header, LRESULT& result) override;
  // Ctrl+Tab turns the page and puts the focus on the new page's first control.
  bool OnPageKey(bool forward) override;

  void AddPage(TTabSheet* page);
  void RemovePage(TTabSheet* page);

 protected:
  // The area below the tabs, inside the control's border.
  TBounds ClientArea() const override;

 private:
  void ShowActivePage();

  std::vector<TTabSheet*> FPages;
};

class TWin32TabSheet : public TWin32Widget<TTabSheet> {
 public:
  TWin32TabSheet(TWin32Factory& factory, TWin32PageControl& parent, const TTabSheetProps& props);
  ~TWin32TabSheet() override;
  std::string Caption() const override { return Props().Caption; }

 private:
  TWin32PageControl& FPageControl;
};

}  // namespace tagscope
