#pragma once

#include <string>
#include <vector>

#include "ui/controls.h"
#include "ui/headless/headless_widget.h"
#include "ui/toolbar.h"

namespace tagscope {

class THeadlessForm : public THeadless<TForm> {
 public:
  THeadlessForm(THeadlessFactory& factory, TNativeHandle parent, const TFormProps& props);

  std::string Caption() const override { return FFormProps.Caption; }
  void SetActiveControl(TWidget* control) override { FActiveControl = control; }
  TWidget* ActiveControl() const { return FActiveControl; }
  const TFormProps& FormProps() const { return FFormProps; }

  // The user (or the host) changes the window's size.
  void UserResize(int width, int height);
  // A WM_COMMAND reaching the window; an exception from the handler is shown as an error.
  void UserCommand(TCommandId command, TNativeHandle source = 0);

 protected:
  void SizeChanged() override { DoResize(); }

 private:
  TFormProps FFormProps;
  TWidget* FActiveControl = nullptr;
};

class THeadlessTabSheet;

class THeadlessPageControl : public THeadless<TPageControl> {
 public:
  THeadlessPageControl(THeadlessFactory& factory, TWidget& parent, const TPageControlProps& props)
      : THeadless(factory, &parent, props) {}

  int PageCount() const override { return static_cast<int>(FPages.size()); }
  TTabSheet* Page(int index) const override;
  int ActivePageIndex() const override { return FActive; }
  void SetActivePageIndex(int index) override;

  void AddPage(TTabSheet* page);
  void RemovePage(TTabSheet* page);

 protected:
  // Pages fill the control below a row of tabs.
  TBounds ClientArea() const override;

 private:
  void ShowActivePage();

  std::vector<TTabSheet*> FPages;
  int FActive = -1;
};

class THeadlessTabSheet : public THeadless<TTabSheet> {
 public:
  THeadlessTabSheet(THeadlessFactory& factory, THeadlessPageControl& parent,
                    const TTabSheetProps& props);
  ~THeadlessTabSheet() override;
  std::string Caption() const override { return Props().Caption; }

 private:
  THeadlessPageControl& FPageControl;
};

// A control whose only state besides the node's is one text.
template <class TBase>
class THeadlessText : public THeadless<TBase> {
 public:
  THeadlessText(THeadlessFactory& factory, TWidget& parent, const TControlProps& props)
      : THeadless<TBase>(factory, &parent, props), FText(props.Caption) {}

 protected:
  std::string FText;
};

class THeadlessLabel : public THeadlessText<TLabel> {
 public:
  using THeadlessText::THeadlessText;
  std::string Caption() const override { return FText; }
  void SetCaption(const std::string& caption) override { FText = caption; }
};

class THeadlessEdit : public THeadlessText<TEdit> {
 public:
  THeadlessEdit(THeadlessFactory& factory, TWidget& parent, const TEditProps& props)
      : THeadlessText(factory, parent, props), FEditProps(props) {}
  std::string Text() const override { return FText; }
  void SetText(const std::string& text) override { FText = text; }
  const TEditProps& EditProps() const { return FEditProps; }

 private:
  TEditProps FEditProps;
};

class THeadlessStaticText : public THeadlessText<TStaticText> {
 public:
  THeadlessStaticText(THeadlessFactory& factory, TWidget& parent, const TStaticTextProps& props)
      : THeadlessText(factory, parent, props), FStaticProps(props) {}
  std::string Caption() const override { return FText; }
  void SetCaption(const std::string& caption) override { FText = caption; }
  const TStaticTextProps& StaticProps() const { return FStaticProps; }

 private:
  TStaticTextProps FStaticProps;
};

class THeadlessPanel : public THeadlessText<TPanel> {
 public:
  THeadlessPanel(THeadlessFactory& factory, TWidget& parent, const TPanelProps& props)
      : THeadlessText(factory, parent, props), FPanelProps(props) {}
  std::string Caption() const override { return FText; }
  void SetCaption(const std::string& caption) override { FText = caption; }
  const TPanelProps& PanelProps() const { return FPanelProps; }

 private:
  TPanelProps FPanelProps;
};

class THeadlessImage : public THeadless<TImage> {
 public:
  THeadlessImage(THeadlessFactory& factory, TWidget& parent, const TImageProps& props)
      : THeadless(factory, &parent, props), FImageProps(props) {}
  void SetPicture(const TBitmapData& picture) override { FPicture = picture; }
  void ClearPicture() override { FPicture = TBitmapData(); }
  bool HasPicture() const override { return !FPicture.Empty(); }
  const TBitmapData& Picture() const override { return FPicture; }
  const TImageProps& ImageProps() const { return FImageProps; }

 private:
  TImageProps FImageProps;
  TBitmapData FPicture;
};

class THeadlessToolBar : public THeadless<TToolBar> {
 public:
  THeadlessToolBar(THeadlessFactory& factory, TWidget& parent, const TToolBarProps& props)
      : THeadless(factory, &parent, props), FToolBarProps(props) {}
  int AddButton(const TToolButtonProps& button) override;
  int ButtonCount() const override { return static_cast<int>(FButtons.size()); }
  const TToolButtonProps& Button(int index) const override { return FButtons.at(index); }
  const TToolBarProps& ToolBarProps() const { return FToolBarProps; }

  // The user clicks a button; an exception from the action is shown as an error.
  void UserClickButton(int index);

 private:
  TToolBarProps FToolBarProps;
  std::vector<TToolButtonProps> FButtons;
};

}  // namespace tagscope
