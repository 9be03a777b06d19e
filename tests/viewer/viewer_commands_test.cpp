#include "tagscope/engine/id3_engine.h"
#include "tagscope/rtl/exception.h"

#include "tests/viewer/viewer_fixture.h"

namespace tagscope::test {
namespace {

TEST_F(ViewerTest, TheFormIsBuiltHiddenAsTheLayoutSays) {
  EXPECT_FALSE(frame->Form().Visible());
  EXPECT_EQ(Form().ParentWindow(), kParentWindow);
  EXPECT_EQ(frame->Form().Bounds(), (TBounds{0, 0, 404, 389}));
  EXPECT_EQ(frame->Form().Caption(), "ViewerFrame");
  EXPECT_EQ(frame->Tag(), kHostWindow);
  EXPECT_FALSE(frame->ToolBar1->Visible());
  EXPECT_EQ(frame->ToolBar1->Bounds(), (TBounds{0, 0, 69, 24}));
  EXPECT_EQ(frame->PageControl1->Width(), 404);
  EXPECT_EQ(frame->PageControl1->PageCount(), 5);
  EXPECT_EQ(frame->PageControl1->ActivePageIndex(), 0);
  EXPECT_EQ(frame->TabSheet4->Caption(), "Urls");
  EXPECT_EQ(frame->PageControl1->Page(4), frame->TabSheet5);
  EXPECT_EQ(frame->TabSheet5->Caption(), "Details");
  EXPECT_EQ(Form().ActiveControl(), frame->PageControl1);
  EXPECT_EQ(frame->edYear->Bounds(), (TBounds{90, 286, 45, 21}));
  EXPECT_EQ(frame->Label9->Caption(), "Band/ Orchestra");
  EXPECT_EQ(frame->imgPicture->Bounds(), (TBounds{2, 2, 144, 144}));
  EXPECT_EQ(AsHeadless<THeadlessEdit>(frame->edDisks).EditProps().TabOrder, 14);
  EXPECT_TRUE(AsHeadless<THeadlessEdit>(frame->edComments).EditProps().MultiLine);
  const auto& urls = Urls().ListProps();
  ASSERT_EQ(urls.Columns.size(), 2u);
  EXPECT_EQ(urls.Columns[1].Caption, "URL");
  EXPECT_EQ(urls.Columns[1].Width, ColumnAutoFill);
  EXPECT_EQ(urls.Cursor, TCursor::crHandPoint);
  EXPECT_EQ(AsHeadless<THeadlessPanel>(frame->pnlPicture).PanelProps().Font->Color, clMaroon);
  EXPECT_EQ(Dialog().Props().Filter, "MP3 Files (*.mp3)|*.mp3");
}

TEST_F(ViewerTest, TheMenuAndItsAcceleratorsReachTheActions) {
  EXPECT_EQ(frame->File1->Caption(), "&File");
  EXPECT_EQ(frame->Open1->Caption(), "&Open...");
  EXPECT_EQ(frame->Exit1->Caption(), "E&xit");
  EXPECT_TRUE(frame->N2->IsSeparator());
  const auto table = MenuAccelerators(*frame->MainMenu1);
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table[0].Key, 114);
  EXPECT_EQ(table[0].Command, frame->Open1->Command());
  EXPECT_EQ(table[1].Key, 27);
  EXPECT_EQ(table[1].Command, frame->Exit1->Command());
  auto& glyphs = *frame->ImageList1;
  ASSERT_EQ(glyphs.Count(), 1);
  EXPECT_EQ(glyphs.Image(0).Width, 16);
  EXPECT_EQ(glyphs.Image(0).Height, 16);
  EXPECT_EQ(frame->ToolBar1->Button(0).Action, frame->actFileOpen);
}

TEST_F(ViewerTest, ExitPostsToTheHostAndNeverCloses) {
  frame->Show();
  Form().UserCommand(frame->Exit1->Command());
  ASSERT_EQ(factory.PostedMessages().size(), 1u);
  const auto& posted = factory.PostedMessages()[0];
  EXPECT_EQ(posted.Window, kHostWindow);
  EXPECT_EQ(posted.Message, 0x8066u);
  EXPECT_EQ(posted.WParam, 0u);
  EXPECT_EQ(posted.LParam, 0);
  EXPECT_TRUE(frame->Form().Visible());
  EXPECT_TRUE(factory.SentMessages().empty());
}

TEST_F(ViewerTest, CommandsFromTheToolBarOrUnknownIdentifiersDoNothing) {
  Form().UserCommand(frame->Exit1->Command(), frame->ToolBar1->Handle());
  Form().UserCommand(frame->Open1->Command(), frame->ToolBar1->Handle());
  Form().UserCommand(0xFFFF);
  Form().UserCommand(frame->File1->Command() + 1000);
  EXPECT_TRUE(factory.PostedMessages().empty());
  EXPECT_EQ(Dialog().ExecuteCount(), 0);
  // A command naming the menu's own root or a separator does nothing either.
  Form().UserCommand(frame->MainMenu1->Items().Command());
  Form().UserCommand(frame->N2->Command());
  EXPECT_TRUE(factory.PostedMessages().empty());
  EXPECT_TRUE(factory.ErrorMessages().empty());
}

TEST_F(ViewerTest, CancellingOpenChangesNothing) {
  TempFile file(Tag({TextFrame("TIT2", "Song")}));
  frame->LoadFile(file.Name());
  Form().UserCommand(frame->Open1->Command());
  EXPECT_EQ(Dialog().ExecuteCount(), 1);
  EXPECT_EQ(frame->edTitle->Text(), "Song");
  EXPECT_TRUE(factory.SentMessages().empty());
}

TEST_F(ViewerTest, OpenShowsTheChosenFileThenTellsTheHost) {
  TempFile file(Tag({TextFrame("TIT2", "Chosen")}));
  std::string seenName, seenType, titleWhenSent;
  factory.OnSendMessage = [&](const THeadlessMessage& m) -> std::intptr_t {
    const auto* info = reinterpret_cast<const TViewerFileInfo*>(m.LParam);
    seenName = info->FileName;
    seenType = info->FileType;
    titleWhenSent = frame->edTitle->Text();
    return 0;
  };
  factory.SetDialogOwner(kHostWindow);
  Dialog().AnswerNext(file.Name());
  AsHeadless<THeadlessToolBar>(frame->ToolBar1).UserClickButton(0);
  ASSERT_EQ(factory.SentMessages().size(), 1u);
  EXPECT_EQ(factory.SentMessages()[0].Window, kHostWindow);
  EXPECT_EQ(factory.SentMessages()[0].Message, 0x8065u);
  EXPECT_EQ(factory.SentMessages()[0].WParam, 0u);
  EXPECT_EQ(seenName, file.Name());
  EXPECT_EQ(seenType, "MP3 File");
  EXPECT_EQ(titleWhenSent, "Chosen");
  EXPECT_EQ(Dialog().LastOwner(), kHostWindow);
  // The next Open offers the last choice again.
  Form().UserCommand(frame->Open1->Command());
  EXPECT_EQ(Dialog().OfferedFileNames().back(), file.Name());
}

TEST_F(ViewerTest, OpenSendsNothingWhenShowingTheFileFails) {
  TempFile file(Tag({TextFrame("TIT2", "Chosen")}));
  frame->TagEngine().OnFileOpen = [](TID3Engine&) { throw Exception("cannot read"); };
  Dialog().AnswerNext(file.Name());
  Form().UserCommand(frame->Open1->Command());
  EXPECT_TRUE(factory.SentMessages().empty());
  EXPECT_EQ(factory.ErrorMessages(), std::vector<std::string>{"cannot read"});
}

TEST_F(ViewerTest, TheToolBarFollowsTheFormWidthAlsoInTheHostWindow) {
  Form().UserResize(600, 389);
  EXPECT_EQ(frame->ToolBar1->Width(), 600);
  frame->ToolBar1->SetParentWindow(kHostWindow);
  Form().UserResize(300, 200);
  EXPECT_EQ(frame->ToolBar1->Width(), 300);
  EXPECT_EQ(frame->ToolBar1->Height(), 24);
  EXPECT_EQ(frame->PageControl1->Width(), 300);
}

}  // namespace
}  // namespace tagscope::test
