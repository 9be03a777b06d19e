#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "tests/viewer/mp3_builder.h"
#include "ui/headless/headless_factory.h"
#include "ui/headless/headless_lists.h"
#include "ui/headless/headless_widgets.h"
#include "viewer/viewer_frame.h"

namespace tagscope::test {

inline constexpr TNativeHandle kParentWindow = 0x1000;
inline constexpr TNativeHandle kHostWindow = 0x2000;

// A viewer on the headless backend, inside a parent window, reporting to a host window.
class ViewerTest : public ::testing::Test {
 protected:
  THeadlessFactory factory;
  std::unique_ptr<TViewerFrame> frame = MakeFrame();

  std::unique_ptr<TViewerFrame> MakeFrame() {
    auto result = std::make_unique<TViewerFrame>(factory, kParentWindow);
    result->SetTag(kHostWindow);
    return result;
  }

  THeadlessListView& Comments() { return AsHeadless<THeadlessListView>(frame->lvComments); }
  THeadlessListView& Urls() { return AsHeadless<THeadlessListView>(frame->lvUrls); }
  THeadlessListBox& Pictures() { return AsHeadless<THeadlessListBox>(frame->lbPictures); }
  THeadlessForm& Form() { return AsHeadless<THeadlessForm>(&frame->Form()); }
  THeadlessOpenDialog& Dialog() { return AsHeadless<THeadlessOpenDialog>(frame->OpenDialog); }

  // Every text the form shows on its four pages, in one string, for comparing displays.
  std::string Display() {
    std::string out;
    for (TEdit* edit :
         {frame->edTitle, frame->edArtist, frame->edAlbum, frame->edComposer, frame->edBand,
          frame->edConductor, frame->edLyricist, frame->edGenre, frame->edMood, frame->edPublisher,
          frame->edYear, frame->edTrack, frame->edTracks, frame->edDisk, frame->edDisks,
          frame->edCommDesc, frame->edComments, frame->edPictureDesc})
      out += edit->Text() + "|";
    for (TListView* list : {frame->lvComments, frame->lvUrls})
      for (int i = 0; i < list->ItemCount(); ++i)
        out += list->ItemCaption(i) + "=" + list->SubItem(i, 0) + "|";
    for (int i = 0; i < frame->lbPictures->Count(); ++i) out += frame->lbPictures->Item(i) + "|";
    out += frame->txtImageSize->Caption() + "|" + frame->pnlPicture->Caption() + "|" +
           (frame->imgPicture->Visible() ? "image" : "no image");
    return out;
  }
};

}  // namespace tagscope::test
