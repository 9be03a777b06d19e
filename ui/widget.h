#pragma once

#include <functional>
#include <string>

#include "ui/component.h"
#include "ui/types.h"

namespace tagscope {

// A window control. A backend derives one class per kind and keeps the control's state
// (native or in memory); portable code sees only these operations.
class TWidget : public TComponent {
 public:
  using TComponent::TComponent;

  virtual TBounds Bounds() const = 0;
  // Moves and sizes the control. A form whose size changes fires OnResize; children with
  // TAlign::alClient follow their parent's new size.
  virtual void SetBounds(const TBounds& bounds) = 0;
  virtual bool Visible() const = 0;
  virtual void SetVisible(bool visible) = 0;
  // The control's native window; unique and nonzero for every window control of a backend.
  virtual TNativeHandle Handle() const = 0;
  // Makes the control a child of a foreign window (the host's), keeping its bounds, which are
  // then relative to that window. Freeing the control destroys it also there.
  virtual void SetParentWindow(TNativeHandle parent) = 0;

  int Left() const { return Bounds().Left; }
  int Top() const { return Bounds().Top; }
  int Width() const { return Bounds().Width; }
  int Height() const { return Bounds().Height; }
  void SetWidth(int width) {
    TBounds b = Bounds();
    b.Width = width;
    SetBounds(b);
  }
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
};

// The form: a borderless child window of a foreign parent window, created hidden at (0, 0)
// with its client size. It has no menu bar of its own.
//
// Event order: the owner builds all controls and then calls DoCreate (OnCreate); before the
// owner frees the controls it calls DoDestroy (OnDestroy). Each fires at most once.
// The backend fires OnResize whenever the form's size changes (not on creation) and passes
// every WM_COMMAND the form's window receives to Perform, which hands it to OnCommand and
// does nothing else. Notifications of controls placed on pages or panels go to those parents
// and are the backend's own business; of the form's direct children only the toolbar and the
// page control send there, and OnCommand ignores the toolbar's. Exceptions escaping a handler that
// a backend fires for a window message are shown to the user as an error message
// (TWidgetFactory::ShowErrorMessage).
class TForm : public TWidget {
 public:
  using TWidget::TWidget;

  std::function<void(TForm& sender)> OnCreate;
  std::function<void(TForm& sender)> OnDestroy;
  std::function<void(TForm& sender)> OnResize;
  std::function<void(const TCommandMessage& message)> OnCommand;

  // A free value for the owner; the viewer keeps its host window here.
  TNativeHandle Tag() const { return FTag; }
  void SetTag(TNativeHandle tag) { FTag = tag; }

  virtual std::string Caption() const = 0;
  // The control that has the focus when the form is shown.
  virtual void SetActiveControl(TWidget* control) = 0;

  void DoCreate();
  void DoDestroy();
  // A command message reaching the form's window.
  void Perform(const TCommandMessage& message) {
    if (OnCommand) OnCommand(message);
  }

 protected:
  void DoResize() {
    if (OnResize) OnResize(*this);
  }

 private:
  TNativeHandle FTag = 0;
  bool FCreated = false;
  bool FDestroyed = false;
};

inline void TForm::DoCreate() {
  if (FCreated) return;
  FCreated = true;
  if (OnCreate) OnCreate(*this);
}

inline void TForm::DoDestroy() {
  if (FDestroyed) return;
  FDestroyed = true;
  if (OnDestroy) OnDestroy(*this);
}

class TTabSheet;

// Tab pages. Pages are added by creating TTabSheets with the page control as parent, in
// tab order; the first page added is the active one.
class TPageControl : public TWidget {
 public:
  using TWidget::TWidget;

  virtual int PageCount() const = 0;
  virtual TTabSheet* Page(int index) const = 0;
  virtual int ActivePageIndex() const = 0;
  // Switches to another page (as the user's click on its tab does); fires OnChange when the
  // page changes. An index out of range is ignored.
  virtual void SetActivePageIndex(int index) = 0;
  // The next page, or the one before, round the end: what Ctrl+Tab and Ctrl+Shift+Tab do.
  void SelectNextPage(bool forward) {
    const int count = PageCount();
    if (count > 0) SetActivePageIndex((ActivePageIndex() + (forward ? 1 : count - 1)) % count);
  }

  std::function<void(TPageControl& sender)> OnChange;
};

// One page of a page control; parent of the page's controls.
class TTabSheet : public TWidget {
 public:
  using TWidget::TWidget;
  virtual std::string Caption() const = 0;
};

}  // namespace tagscope
