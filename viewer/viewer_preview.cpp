// The picture preview and the links page.
#include "tagscope/imaging/picture_registry.h"
#include "tagscope/rtl/exception.h"
#include "viewer/viewer_frame.h"

namespace tagscope {

void TViewerFrame::lbPicturesClick(TListBox& sender) {
  pnlPicture->SetCaption("");
  const auto* info = dynamic_cast<const TPictureInfo*>(lbPictures->Object(lbPictures->ItemIndex()));
  if (!info) return;
  edPictureDesc->SetText(info->Description());
  try {
    // Decoded from memory by the reader its bytes (else its MIME type) select; no scratch file
    // is involved.
    const std::string& bytes = info->PictureData().Bytes();
    auto picture = TPictureRegistry::LoadPicture(info->MimeType(), bytes);
    const int width = picture->Width();
    const int height = picture->Height();
    const TBitmapData* bitmap = picture->Bitmap();
    if (bitmap)
      imgPicture->SetPicture(*bitmap);
    else
      imgPicture->ClearPicture();
    imgPicture->SetTransparentColor(
        picture->Transparent() ? std::optional<TColor>(picture->TransparentColor()) : std::nullopt);
    imgPicture->Show();
    txtImageSize->SetCaption(
        Format("%dx%d [%lld bytes]", width, height, static_cast<long long>(bytes.size())));
  } catch (const std::exception& e) {
    pnlPicture->SetCaption(e.what());
    imgPicture->Hide();
    imgPicture->ClearPicture();
    txtImageSize->SetCaption("");
  }
}

void TViewerFrame::lvUrlsCustomDrawSubItem(TListView& sender, int row, int subItem,
                                           TCustomDrawState state, TDrawFont& font,
                                           bool& defaultDraw) {
  if (subItem != 1) return;
  font.Color = clBlue;
  font.Style = fsUnderline;
}

void TViewerFrame::lvUrlsClick(TListView& sender) {
  const int row = lvUrls->Selected();
  if (row < 0) return;
  const std::string url = lvUrls->SubItem(row, 0);
  // Only web and mail links are opened; anything else could start a program or a local file.
  if (IsOpenableLink(url)) FFactory.ShellOpen(Handle(), url);
}

}  // namespace tagscope
