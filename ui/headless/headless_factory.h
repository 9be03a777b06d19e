#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/factory.h"

namespace tagscope {

// A message that a headless window was sent or posted.
struct THeadlessMessage {
  TNativeHandle Window = 0;
  std::uint32_t Message = 0;
  std::uintptr_t WParam = 0;
  std::intptr_t LParam = 0;
};

// A target handed to the shell.
struct THeadlessShellCall {
  TNativeHandle Owner = 0;
  std::string Target;
};

// The backend without windows. Everything the system would show or do is recorded here for
// tests to read: messages sent and posted, shell calls, error messages.
class THeadlessFactory : public TWidgetFactory {
 public:
  std::unique_ptr<TForm> CreateForm(TNativeHandle parent, const TFormProps& props) override;
  std::unique_ptr<TPageControl> CreatePageControl(TWidget& parent,
                                                  const TPageControlProps& props) override;
  std::unique_ptr<TTabSheet> CreateTabSheet(TPageControl& parent,
                                            const TTabSheetProps& props) override;
  std::unique_ptr<TLabel> CreateLabel(TWidget& parent, const TLabelProps& props) override;
  std::unique_ptr<TEdit> CreateEdit(TWidget& parent, const TEditProps& props) override;
  std::unique_ptr<TListView> CreateListView(TWidget& parent, const TListViewProps& props) override;
  std::unique_ptr<TListBox> CreateListBox(TWidget& parent, const TListBoxProps& props) override;
  std::unique_ptr<TStaticText> CreateStaticText(TWidget& parent,
                                                const TStaticTextProps& props) override;
  std::unique_ptr<TPanel> CreatePanel(TWidget& parent, const TPanelProps& props) override;
  std::unique_ptr<TImage> CreateImage(TWidget& parent, const TImageProps& props) override;
  std::unique_ptr<TToolBar> CreateToolBar(TWidget& parent, const TToolBarProps& props) override;
  std::unique_ptr<TImageList> CreateImageList(const TImageListProps& props) override;
  std::unique_ptr<TMainMenu> CreateMainMenu(const std::string& name,
                                            std::unique_ptr<TMenuItem> items) override;
  std::unique_ptr<TOpenDialog> CreateOpenDialog(const TOpenDialogProps& props) override;

  void SetDialogOwner(TNativeHandle owner) override { FDialogOwner = owner; }
  TNativeHandle DialogOwner() const override { return FDialogOwner; }
  void ShellOpen(TNativeHandle owner, const std::string& target) override;
  void PostToWindow(TNativeHandle window, std::uint32_t message, std::uintptr_t wParam,
                    std::intptr_t lParam) override;
  std::intptr_t SendToWindow(TNativeHandle window, std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam) override;
  void ShowErrorMessage(const std::string& text) override { FErrorMessages.push_back(text); }

  // Records, oldest first.
  const std::vector<THeadlessShellCall>& ShellCalls() const { return FShellCalls; }
  const std::vector<THeadlessMessage>& PostedMessages() const { return FPosted; }
  const std::vector<THeadlessMessage>& SentMessages() const { return FSent; }
  const std::vector<std::string>& ErrorMessages() const { return FErrorMessages; }
  void ClearRecords();

  // Handles sent messages while they are being sent (data behind lParam is valid only then);
  // its result is SendToWindow's. Without it, sending returns 0.
  std::function<std::intptr_t(const THeadlessMessage&)> OnSendMessage;

  // Runs a handler the way a window's message dispatch does: an exception is shown as an
  // error message instead of passing on. Returns false when one was caught.
  bool Dispatch(const std::function<void()>& handler);

  // A new window handle, unique within this factory.
  TNativeHandle NewHandle() { return FNextHandle += 4; }

 private:
  TNativeHandle FDialogOwner = 0;
  TNativeHandle FNextHandle = 0x10000;
  std::vector<THeadlessShellCall> FShellCalls;
  std::vector<THeadlessMessage> FPosted;
  std::vector<THeadlessMessage> FSent;
  std::vector<std::string> FErrorMessages;
};

// The image list, main menu and open dialog of the headless backend.
class THeadlessImageList : public TImageList {
 public:
  THeadlessImageList(THeadlessFactory& factory, const TImageListProps& props);
  int ImageWidth() const override { return FProps.Width; }
  int ImageHeight() const override { return FProps.Height; }
  int Add(const TBitmapData& image, std::optional<TColor> transparent) override;
  int Count() const override { return static_cast<int>(FImages.size()); }
  const TBitmapData& Image(int index) const override { return FImages.at(index); }
  std::optional<TColor> TransparentColor(int index) const { return FTransparent.at(index); }
  TNativeHandle Handle() const override { return FHandle; }

 private:
  TImageListProps FProps;
  TNativeHandle FHandle;
  std::vector<TBitmapData> FImages;
  std::vector<std::optional<TColor>> FTransparent;
};

class THeadlessMainMenu : public TMainMenu {
 public:
  THeadlessMainMenu(THeadlessFactory& factory, const std::string& name,
                    std::unique_ptr<TMenuItem> items)
      : TMainMenu(name, std::move(items)), FHandle(factory.NewHandle()) {}
  TNativeHandle Handle() const override { return FHandle; }

 private:
  TNativeHandle FHandle;
};

class THeadlessOpenDialog : public TOpenDialog {
 public:
  THeadlessOpenDialog(THeadlessFactory& factory, const TOpenDialogProps& props)
      : TOpenDialog(props.Name), FFactory(factory), FProps(props) {}

  std::string FileName() const override { return FFileName; }
  void SetFileName(const std::string& fileName) override { FFileName = fileName; }
  // Takes the next prepared answer; without one the user cancels.
  bool Execute() override;

  // Prepares what the user does at the next Execute: choose a file, or cancel (nullopt).
  void AnswerNext(std::optional<std::string> fileName) { FAnswers.push_back(std::move(fileName)); }
  // How often the dialog was shown, the file name offered each time, and its owner window.
  int ExecuteCount() const { return static_cast<int>(FOffered.size()); }
  const std::vector<std::string>& OfferedFileNames() const { return FOffered; }
  TNativeHandle LastOwner() const { return FLastOwner; }
  const TOpenDialogProps& Props() const { return FProps; }

 private:
  THeadlessFactory& FFactory;
  TOpenDialogProps FProps;
  std::string FFileName;
  std::deque<std::optional<std::string>> FAnswers;
  std::vector<std::string> FOffered;
  TNativeHandle FLastOwner = 0;
};

}  // namespace tagscope
