#include "ui/headless/headless_factory.h"

#include <exception>

#include "ui/headless/headless_lists.h"
#include "ui/headless/headless_widgets.h"

namespace tagscope {

std::unique_ptr<TForm> THeadlessFactory::CreateForm(TNativeHandle parent, const TFormProps& props) {
  return std::make_unique<THeadlessForm>(*this, parent, props);
}

std::unique_ptr<TPageControl> THeadlessFactory::CreatePageControl(TWidget& parent,
                                                                  const TPageControlProps& props) {
  return std::make_unique<THeadlessPageControl>(*this, parent, props);
}

std::unique_ptr<TTabSheet> THeadlessFactory::CreateTabSheet(TPageControl& parent,
                                                            const TTabSheetProps& props) {
  return std::make_unique<THeadlessTabSheet>(*this, dynamic_cast<THeadlessPageControl&>(parent),
                                             props);
}

std::unique_ptr<TLabel> THeadlessFactory::CreateLabel(TWidget& parent, const TLabelProps& props) {
  return std::make_unique<THeadlessLabel>(*this, parent, props);
}

std::unique_ptr<TEdit> THeadlessFactory::CreateEdit(TWidget& parent, const TEditProps& props) {
  return std::make_unique<THeadlessEdit>(*this, parent, props);
}

std::unique_ptr<TListView> THeadlessFactory::CreateListView(TWidget& parent,
                                                            const TListViewProps& props) {
  return std::make_unique<THeadlessListView>(*this, parent, props);
}

std::unique_ptr<TListBox> THeadlessFactory::CreateListBox(TWidget& parent,
                                                          const TListBoxProps& props) {
  return std::make_unique<THeadlessListBox>(*this, parent, props);
}

std::unique_ptr<TStaticText> THeadlessFactory::CreateStaticText(TWidget& parent,
                                                                const TStaticTextProps& props) {
  return std::make_unique<THeadlessStaticText>(*this, parent, props);
}

std::unique_ptr<TPanel> THeadlessFactory::CreatePanel(TWidget& parent, const TPanelProps& props) {
  return std::make_unique<THeadlessPanel>(*this, parent, props);
}

std::unique_ptr<TImage> THeadlessFactory::CreateImage(TWidget& parent, const TImageProps& props) {
  return std::make_unique<THeadlessImage>(*this, parent, props);
}

std::unique_ptr<TToolBar> THeadlessFactory::CreateToolBar(TWidget& parent,
                                                          const TToolBarProps& props) {
  return std::make_unique<THeadlessToolBar>(*this, parent, props);
}

std::unique_ptr<TImageList> THeadlessFactory::CreateImageList(const TImageListProps& props) {
  return std::make_unique<THeadlessImageList>(*this, props);
}

std::unique_ptr<TMainMenu> THeadlessFactory::CreateMainMenu(const std::string& name,
                                                            std::unique_ptr<TMenuItem> items) {
  return std::make_unique<THeadlessMainMenu>(*this, name, std::move(items));
}

std::unique_ptr<TOpenDialog> THeadlessFactory::CreateOpenDialog(const TOpenDialogProps& props) {
  return std::make_unique<THeadlessOpenDialog>(*this, props);
}

void THeadlessFactory::ShellOpen(TNativeHandle owner, const std::string& target) {
  FShellCalls.push_back({owner, target});
}

void THeadlessFactory::PostToWindow(TNativeHandle window, std::uint32_t message,
                                    std::uintptr_t wParam, std::intptr_t lParam) {
  FPosted.push_back({window, message, wParam, lParam});
}

std::intptr_t THeadlessFactory::SendToWindow(TNativeHandle window, std::uint32_t message,
                                             std::uintptr_t wParam, std::intptr_t lParam) {
  const THeadlessMessage sent{window, message, wParam, lParam};
  FSent.push_back(sent);
  return OnSendMessage ? OnSendMessage(sent) : 0;
}

void THeadlessFactory::ClearRecords() {
  FShellCalls.clear();
  FPosted.clear();
  FSent.clear();
  FErrorMessages.clear();
}

bool THeadlessFactory::Dispatch(const std::function<void()>& handler) {
  try {
    handler();
    return true;
  } catch (const std::exception& e) {
    ShowErrorMessage(e.what());
  }
  return false;
}

// ---- THeadlessImageList

THeadlessImageList::THeadlessImageList(THeadlessFactory& factory, const TImageListProps& props)
    : TImageList(props.Name), FProps(props), FHandle(factory.NewHandle()) {}

int THeadlessImageList::Add(const TBitmapData& image, std::optional<TColor> transparent) {
  FImages.push_back(image);
  FTransparent.push_back(transparent);
  return Count() - 1;
}

// ---- THeadlessOpenDialog

bool THeadlessOpenDialog::Execute() {
  FOffered.push_back(FFileName);
  FLastOwner = FFactory.DialogOwner();
  std::optional<std::string> answer;
  if (!FAnswers.empty()) {
    answer = std::move(FAnswers.front());
    FAnswers.pop_front();
  }
  if (!answer) return false;
  FFileName = *answer;
  return true;
}

}  // namespace tagscope
