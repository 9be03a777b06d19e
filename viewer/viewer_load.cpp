// Filling the pages from a file's tag.
#include <optional>

#include "tagscope/engine/id3_engine.h"
#include "tagscope/engine/shown_fields.h"
#include "tagscope/engine/trailer_tags.h"
#include "tagscope/rtl/exception.h"
#include "viewer/viewer_frame.h"

namespace tagscope {

// The controls take every text in full, as UTF-8.
void TViewerFrame::LoadFile(const std::string& path) {
  ReopenEngine(path);
  if (!IsPrintableText(FTagEngine->Title())) {
    // A garbled title marks a tag not worth showing: the ID3v1 trailer stands in for it.
    FTagEngine->Frames().Clear();
    FTagEngine->LoadID3V1();
  }
  FillStandardFields();
  FillComments();
  FillPictures();
  FillLinks();
  FillDetails();
}

void TViewerFrame::ReopenEngine(const std::string& path) {
  if (FTagEngine->Active()) FTagEngine->SetActive(false);
  FTagEngine->SetFileName(path);
  FTagEngine->SetActive(true);
}

void TViewerFrame::FillStandardFields() {
  // Empty while no file is open.
  const TID3Tag& tag = FTagEngine->Tag();
  edTitle->SetText(tag.TitleUtf8());
  edArtist->SetText(tag.ArtistUtf8());
  edAlbum->SetText(tag.AlbumUtf8());
  edComposer->SetText(tag.GetFrameTextUtf8("TCOM"));
  edBand->SetText(tag.GetFrameTextUtf8("TPE2"));
  edConductor->SetText(tag.GetFrameTextUtf8("TPE3"));
  edLyricist->SetText(tag.GetFrameTextUtf8("TEXT"));
  edGenre->SetText(ShownGenre(tag));
  edMood->SetText(tag.GetFrameTextUtf8("TMOO"));
  edPublisher->SetText(tag.GetFrameTextUtf8("TPUB"));
  edYear->SetText(ShownYear(tag));
  std::string first, second;
  SplitPair(tag.GetFrameTextUtf8("TRCK"), first, second);
  edTrack->SetText(first);
  edTracks->SetText(second);
  SplitPair(tag.GetFrameTextUtf8("TPOS"), first, second);
  edDisk->SetText(first);
  edDisks->SetText(second);
}

void TViewerFrame::FillComments() {
  const int count = FTagEngine->FrameCount("COMM");
  edCommDesc->Clear();
  edComments->Clear();
  TUpdateScope update(*lvComments);
  lvComments->Clear();
  for (int i = 0; i < count; ++i) {
    TID3Comment comment;
    FTagEngine->GetComment(i, comment);
    const int row = lvComments->AddItem(comment.DescriptionUtf8);
    lvComments->AddSubItem(row, comment.TextUtf8);
  }
}

void TViewerFrame::ResetPreview() {
  edPictureDesc->Clear();
  imgPicture->Hide();
  imgPicture->ClearPicture();
  txtImageSize->SetCaption("");
  pnlPicture->SetCaption("");
}

void TViewerFrame::FillPictures() {
  const int count = FTagEngine->FrameCount("APIC");
  ResetPreview();
  {
    TUpdateScope update(*lbPictures);
    ClearPictures();
    for (int i = 0; i < count; ++i) {
      auto info = std::make_unique<TPictureInfo>();
      TID3Picture picture;
      FTagEngine->GetPicture(i, info->PictureData(), picture);
      info->SetMimeType(picture.MimeType);
      info->SetDescription(picture.DescriptionUtf8);
      lbPictures->AddItem(PictureTypeName(picture.PictureType), std::move(info));
    }
  }
  if (lbPictures->Count() > 0) {
    lbPictures->SetItemIndex(0);
    lbPicturesClick(*lbPictures);
  }
}

void TViewerFrame::FillLinks() {
  const int count = FTagEngine->FrameCount("WXXX");
  TUpdateScope update(*lvUrls);
  lvUrls->Clear();
  for (int i = 0; i < count; ++i) {
    TID3Url url;
    FTagEngine->GetURL(i, url);
    const int row = lvUrls->AddItem(url.DescriptionUtf8);
    lvUrls->AddSubItem(row, url.URLUtf8);
  }
}

void TViewerFrame::ClearPictures() {
  lbPictures->Clear();
}

void TViewerFrame::lvCommentsSelectItem(TListView& sender, int row, bool selected) {
  if (selected) {
    edCommDesc->SetText(sender.ItemCaption(row));
    edComments->SetText(sender.SubItem(row, 0));
  } else {
    edCommDesc->Clear();
    edComments->Clear();
  }
}

}  // namespace tagscope

namespace tagscope {

// The audio facts come through the engine's open file: the file is not opened again.
void TViewerFrame::FillDetails() {
  edDetail->Clear();
  // The blocks behind the audio are shown as far as they can be read; a file that fails under
  // the reader still shows everything else.
  std::optional<TTrailerTags> trailers;
  try {
    trailers = ReadTrailerTags(*FTagEngine);
  } catch (const Exception&) {
  }
  const TMpegAudioProperties audio = FTagEngine->ReadAudio();
  // What the file's start and end tell of damage, without walking the stream.
  std::vector<TStreamFinding> findings;
  try {
    findings = QuickStreamFindings(*FTagEngine, audio, trailers ? *trailers : TTrailerTags());
  } catch (const Exception&) {
  }
  std::optional<TID3v1Trailer> id3v1;
  if (trailers && trailers->ID3v1) id3v1 = trailers->ID3v1Fields;
  FDetailRows = DetailRows(*FTagEngine, audio, id3v1, trailers ? &*trailers : nullptr, findings);
  TUpdateScope update(*lvDetails);
  lvDetails->Clear();
  for (const TDetailRow& row : FDetailRows) {
    const int index = lvDetails->AddItem(row.Property);
    if (!row.Heading) lvDetails->AddSubItem(index, row.Value);
  }
}

void TViewerFrame::lvDetailsSelectItem(TListView& sender, int row, bool selected) {
  const bool known = row >= 0 && row < static_cast<int>(FDetailRows.size());
  edDetail->SetText(selected && known ? FDetailRows[static_cast<size_t>(row)].Whole
                                      : std::string());
}

// Group headings stand out in bold.
void TViewerFrame::lvDetailsCustomDrawSubItem(TListView& sender, int row, int subItem,
                                              TCustomDrawState state, TDrawFont& font,
                                              bool& defaultDraw) {
  if (row >= 0 && row < static_cast<int>(FDetailRows.size()) &&
      FDetailRows[static_cast<size_t>(row)].Heading)
    font.Style = fsBold;
}

}  // namespace tagscope
