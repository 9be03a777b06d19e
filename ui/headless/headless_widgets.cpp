#include "ui/headless/headless_widgets.h"

#include "ui/headless/headless_factory.h"

namespace tagscope {

// ---- THeadlessNode

THeadlessNode::THeadlessNode(THeadlessFactory& factory, THeadlessNode* parent,
                             TNativeHandle parentWindow, const TControlProps& props)
    : FFactory(factory),
      FParent(parent),
      FParentWindow(parentWindow),
      FProps(props),
      FBounds(props.Bounds),
      FVisible(props.Visible),
      FHandle(factory.NewHandle()) {
  if (FParent) {
    FParent->FChildren.push_back(this);
    if (FProps.Align == TAlign::alClient) FBounds = FParent->ClientArea();
  }
}

THeadlessNode::~THeadlessNode() {
  Detach();
  for (THeadlessNode* child : FChildren) child->FParent = nullptr;
}

void THeadlessNode::Detach() {
  if (!FParent) return;
  auto& siblings = FParent->FChildren;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  FParent = nullptr;
}

bool THeadlessNode::Showing() const {
  for (const THeadlessNode* node = this; node; node = node->FParent)
    if (!node->FVisible) return false;
  return true;
}

void THeadlessNode::SetNodeBounds(const TBounds& bounds) {
  const bool resized = bounds.Width != FBounds.Width || bounds.Height != FBounds.Height;
  FBounds = bounds;
  if (!resized) return;
  LayoutChildren();
  SizeChanged();
}

void THeadlessNode::LayoutChildren() {
  for (THeadlessNode* child : FChildren)
    if (child->FProps.Align == TAlign::alClient) child->SetNodeBounds(ClientArea());
}

void THeadlessNode::MoveToWindow(TNativeHandle parent) {
  Detach();
  FParentWindow = parent;
}

// ---- THeadlessForm

THeadlessForm::THeadlessForm(THeadlessFactory& factory, TNativeHandle parent,
                             const TFormProps& props)
    : THeadless(factory, parent, FormControlProps(props)), FFormProps(props) {}

void THeadlessForm::UserResize(int width, int height) {
  Factory().Dispatch([&] {
    TBounds b = Bounds();
    b.Width = width;
    b.Height = height;
    SetBounds(b);
  });
}

void THeadlessForm::UserCommand(TCommandId command, TNativeHandle source) {
  TCommandMessage message;
  message.Command = command;
  message.Source = source;
  Factory().Dispatch([&] { Perform(message); });
}

// ---- THeadlessPageControl, THeadlessTabSheet

TTabSheet* THeadlessPageControl::Page(int index) const {
  if (index < 0 || index >= PageCount()) return nullptr;
  return FPages[static_cast<size_t>(index)];
}

void THeadlessPageControl::SetActivePageIndex(int index) {
  if (index < 0 || index >= PageCount() || index == FActive) return;
  FActive = index;
  ShowActivePage();
  if (OnChange) OnChange(*this);
}

void THeadlessPageControl::AddPage(TTabSheet* page) {
  FPages.push_back(page);
  if (FActive < 0) FActive = 0;
  ShowActivePage();
}

void THeadlessPageControl::RemovePage(TTabSheet* page) {
  std::erase(FPages, page);
  if (FActive >= PageCount()) FActive = PageCount() - 1;
  ShowActivePage();
}

TBounds THeadlessPageControl::ClientArea() const {
  const TBounds b = Bounds();
  return {4, 24, std::max(0, b.Width - 8), std::max(0, b.Height - 28)};
}

void THeadlessPageControl::ShowActivePage() {
  for (int i = 0; i < PageCount(); ++i) FPages[static_cast<size_t>(i)]->SetVisible(i == FActive);
}

namespace {

TTabSheetProps PageProps(TTabSheetProps props) {
  props.Align = TAlign::alClient;
  return props;
}

}  // namespace

THeadlessTabSheet::THeadlessTabSheet(THeadlessFactory& factory, THeadlessPageControl& parent,
                                     const TTabSheetProps& props)
    : THeadless(factory, &parent, PageProps(props)), FPageControl(parent) {
  FPageControl.AddPage(this);
}

THeadlessTabSheet::~THeadlessTabSheet() {
  if (ParentNode()) FPageControl.RemovePage(this);
}

// ---- THeadlessToolBar

int THeadlessToolBar::AddButton(const TToolButtonProps& button) {
  FButtons.push_back(button);
  return ButtonCount() - 1;
}

void THeadlessToolBar::UserClickButton(int index) {
  Factory().Dispatch([&] { ClickButton(index); });
}

}  // namespace tagscope
