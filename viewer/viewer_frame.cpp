#include "viewer/viewer_frame.h"

#include "tagscope/engine/id3_engine.h"

namespace tagscope {

TViewerFrame::TViewerFrame(TWidgetFactory& factory, TNativeHandle parent) : FFactory(factory) {
  CreateComponents(parent);
  BindEvents();
  FForm->DoCreate();
}

TViewerFrame::~TViewerFrame() {
  FForm->DoDestroy();
  // The controls go before the engine is freed, the form last of them.
  FComponents.Clear();
}

void TViewerFrame::BindEvents() {
  using namespace std::placeholders;
  FForm->OnCreate = [this](TForm& sender) { FormCreate(sender); };
  FForm->OnDestroy = [this](TForm& sender) { FormDestroy(sender); };
  FForm->OnResize = [this](TForm& sender) { FormResize(sender); };
  FForm->OnCommand = [this](const TCommandMessage& message) { WMCommand(message); };
  actFileOpen->OnExecute = [this](TAction& sender) { actFileOpenExecute(sender); };
  actFileExit->OnExecute = [this](TAction& sender) { actFileExitExecute(sender); };
  lvComments->OnSelectItem = std::bind(&TViewerFrame::lvCommentsSelectItem, this, _1, _2, _3);
  lbPictures->OnClick = [this](TListBox& sender) { lbPicturesClick(sender); };
  lvUrls->OnCustomDrawSubItem =
      std::bind(&TViewerFrame::lvUrlsCustomDrawSubItem, this, _1, _2, _3, _4, _5, _6);
  lvUrls->OnClick = [this](TListView& sender) { lvUrlsClick(sender); };
  lvDetails->OnSelectItem = std::bind(&TViewerFrame::lvDetailsSelectItem, this, _1, _2, _3);
  lvDetails->OnCustomDrawSubItem =
      std::bind(&TViewerFrame::lvDetailsCustomDrawSubItem, this, _1, _2, _3, _4, _5, _6);
}

void TViewerFrame::FormCreate(TForm& sender) {
  FTagEngine = std::make_unique<TID3Engine>();
  FTagEngine->SetReadOnly(true);
}

void TViewerFrame::FormDestroy(TForm& sender) {
  ClearPictures();
  if (FTagEngine) FTagEngine->SetActive(false);
}

void TViewerFrame::FormResize(TForm& sender) {
  ToolBar1->SetWidth(FForm->Width());
}

void TViewerFrame::WMCommand(const TCommandMessage& message) {
  if (message.Source == ToolBar1->Handle()) return;
  if (TMenuItem* item = MainMenu1->FindItem(message.Command)) item->Click();
}

void TViewerFrame::actFileOpenExecute(TAction& sender) {
  if (!OpenDialog->Execute()) return;
  const std::string fileName = OpenDialog->FileName();
  LoadFile(fileName);
  const std::string fileType = GetFileType();
  TViewerFileInfo info;
  info.FileName = fileName.c_str();
  info.FileType = fileType.c_str();
  FFactory.SendToWindow(Tag(), WM_VIEWER_FILEOPENED, 0, reinterpret_cast<std::intptr_t>(&info));
}

void TViewerFrame::actFileExitExecute(TAction& sender) {
  FFactory.PostToWindow(Tag(), WM_VIEWER_EXIT, 0, 0);
}

}  // namespace tagscope
