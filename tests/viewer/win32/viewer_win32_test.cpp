// The viewer form on the Win32 backend: a file shown in real controls, read back natively, with
// screenshots of the pages as PNG files.
#include "host/screenshot.h"
#include "tests/ui/win32/win32_fixture.h"
#include "tests/viewer/mp3_builder.h"
#include "ui/win32/win32_node.h"
#include "viewer/viewer_frame.h"

namespace tagscope::test {
namespace {

std::string FullTagFile() {
  return Tag({TextFrame("TIT2", "Song"), TextFrame("TPE1", "Singer"), TextFrame("TALB", "Record"),
              TextFrame("TCOM", "Writer"), TextFrame("TPE2", "Band"), TextFrame("TPE3", "Leader"),
              TextFrame("TEXT", "Poet"), TextFrame("TIT1", "Group"), TextFrame("TMOO", "Calm"),
              TextFrame("TPUB", "Label"), TextFrame("TYER", "1999"), TextFrame("TRCK", "3/12"),
              TextFrame("TPOS", "1/2"), CommentFrame("ENG", "first", "one"),
              CommentFrame("DEU", "second", "two\nlines"),
              PictureFrame("image/bmp", 3, "front", Bitmap16x16()),
              PictureFrame("image/gif", 4, "back", Gif1x1()),
              UrlFrame("home", "http://example.org/"),
              UrlFrame("mail", "mailto:someone@example.org")}) +
         Audio();
}

// UTF-16 payload bytes of a text, little-endian after a byte-order mark.
std::string Utf16(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (const char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

// What a control holds, read through the wide-character API.
std::wstring WideTextOf(HWND window) {
  wchar_t buffer[256] = {};
  GetWindowTextW(window, buffer, 256);
  return buffer;
}

std::wstring WideCell(HWND list, int row, int column) {
  wchar_t buffer[256] = {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = 256;
  SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return buffer;
}

const char* const kPageNames[] = {"standard", "comments", "pictures", "urls", "details"};

std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

// A control's rectangle in the form's client coordinates.
RECT InForm(HWND control, HWND form) {
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(HWND_DESKTOP, form, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

class ViewerWin32Test : public ::testing::Test {
 protected:
  ViewerWin32Test() {
    factory.OnErrorMessage = [this](const std::string& text) { errors.push_back(text); };
    factory.SetDialogOwner(host.Native());
    host.ClearReceived();
    host.OnReceive = nullptr;
    frame = std::make_unique<TViewerFrame>(factory, host.Native());
    frame->SetTag(host.Native());
    frame->Show();
    PumpMessages();
  }
  ~ViewerWin32Test() override {
    frame.reset();
    PumpMessages();
  }

  static std::string Text(const TWidget* widget) { return TextOf(WindowOf(*widget)); }
  static int Rows(const TListView* list) {
    return static_cast<int>(SendMessageA(WindowOf(*list), LVM_GETITEMCOUNT, 0, 0));
  }
  static std::string Entry(const TListBox* list, int index) {
    char text[256] = {};
    SendMessageA(WindowOf(*list), LB_GETTEXT, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(text));
    return text;
  }
  // Shows a page and saves what the screen shows of the test window.
  void Screenshot(int page, const std::string& prefix) {
    frame->PageControl1->SetActivePageIndex(page);
    RedrawWindow(host.Handle(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpMessages();
    CreateDirectoryA(TAGSCOPE_SCREENSHOTS, nullptr);
    const std::string name =
        std::string(TAGSCOPE_SCREENSHOTS) + "/" + prefix + "_" + kPageNames[page] + ".png";
    WritePng(name, CaptureWindow(host.Handle()));
    EXPECT_TRUE(GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES) << name;
  }
  void ClickToolButton() {
    HWND bar = WindowOf(*frame->ToolBar1);
    RECT r{};
    SendMessageA(bar, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r));
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageA(bar, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(bar, WM_LBUTTONUP, 0, at);
  }

  TWin32Factory factory;
  std::vector<std::string> errors;
  TTestWindow& host = SharedTestWindow();
  std::unique_ptr<TViewerFrame> frame;
};

TEST_F(ViewerWin32Test, AFullTagShowsInTheRealControls) {
  TempFile file(FullTagFile());
  frame->LoadFile(file.Name());

  EXPECT_EQ(Text(frame->edTitle), "Song");
  EXPECT_EQ(Text(frame->edArtist), "Singer");
  EXPECT_EQ(Text(frame->edAlbum), "Record");
  EXPECT_EQ(Text(frame->edComposer), "Writer");
  EXPECT_EQ(Text(frame->edBand), "Band");
  EXPECT_EQ(Text(frame->edConductor), "Leader");
  EXPECT_EQ(Text(frame->edLyricist), "Poet");
  EXPECT_EQ(Text(frame->edGenre), "Group");
  EXPECT_EQ(Text(frame->edMood), "Calm");
  EXPECT_EQ(Text(frame->edPublisher), "Label");
  EXPECT_EQ(Text(frame->edYear), "1999");
  EXPECT_EQ(Text(frame->edTrack), "3");
  EXPECT_EQ(Text(frame->edTracks), "12");
  EXPECT_EQ(Text(frame->edDisk), "1");
  EXPECT_EQ(Text(frame->edDisks), "2");

  HWND comments = WindowOf(*frame->lvComments);
  ASSERT_EQ(Rows(frame->lvComments), 2);
  EXPECT_EQ(CellText(comments, 0, 0), "first");
  EXPECT_EQ(CellText(comments, 1, 1), "two\nlines");
  frame->lvComments->SetSelected(1);
  EXPECT_EQ(Text(frame->edCommDesc), "second");
  EXPECT_EQ(Text(frame->edComments), "two\r\nlines");

  ASSERT_EQ(SendMessageA(WindowOf(*frame->lbPictures), LB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(Entry(frame->lbPictures, 0), "Cover (front)");
  EXPECT_EQ(Entry(frame->lbPictures, 1), "Cover (back)");
  EXPECT_EQ(SendMessageA(WindowOf(*frame->lbPictures), LB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(Text(frame->txtImageSize), "16x16 [822 bytes]");
  EXPECT_EQ(Text(frame->edPictureDesc), "front");
  EXPECT_EQ(Text(frame->pnlPicture), "");

  HWND urls = WindowOf(*frame->lvUrls);
  ASSERT_EQ(Rows(frame->lvUrls), 2);
  EXPECT_EQ(CellText(urls, 0, 0), "home");
  EXPECT_EQ(CellText(urls, 0, 1), "http://example.org/");
  EXPECT_EQ(CellText(urls, 1, 1), "mailto:someone@example.org");
  EXPECT_TRUE(errors.empty());

  for (int page = 0; page < 4; ++page) Screenshot(page, "full_tag");
}

TEST_F(ViewerWin32Test, TextsInEveryScriptShowInFull) {
  const std::u16string title = u"七人の侍", artist = u"Кино", greek = u"Οδύσσεια",
                       emoji = u"Live 🎵";
  TempFile file(
      Tag({Frame("TIT2", "\x01" + Utf16(title)), Frame("TPE1", "\x01" + Utf16(artist)),
           Frame("TALB", std::string(1, '\0') + "Caf\xE9"),
           Frame("COMM",
                 "\x01"
                 "eng" +
                     Utf16(greek) + std::string(2, '\0') + Utf16(emoji)),
           Frame("APIC", "\x01image/bmp" + std::string(1, '\0') + "\x03" + Utf16(title) +
                             std::string(2, '\0') + Bitmap16x16()),
           Frame("WXXX", "\x01" + Utf16(emoji) + std::string(2, '\0') + "http://example.org/")}) +
      Audio());
  frame->LoadFile(file.Name());
  auto wide = [](std::u16string_view s) { return std::wstring(s.begin(), s.end()); };
  EXPECT_EQ(WideTextOf(WindowOf(*frame->edTitle)), wide(title));
  EXPECT_EQ(WideTextOf(WindowOf(*frame->edArtist)), wide(artist));
  EXPECT_EQ(WideTextOf(WindowOf(*frame->edAlbum)), L"Caf\u00E9");
  EXPECT_EQ(WideCell(WindowOf(*frame->lvComments), 0, 0), wide(greek));
  EXPECT_EQ(WideCell(WindowOf(*frame->lvComments), 0, 1), wide(emoji));
  frame->lvComments->SetSelected(0);
  EXPECT_EQ(WideTextOf(WindowOf(*frame->edComments)), wide(emoji));
  EXPECT_EQ(WideTextOf(WindowOf(*frame->edPictureDesc)), wide(title));
  EXPECT_EQ(WideCell(WindowOf(*frame->lvUrls), 0, 0), wide(emoji));
  EXPECT_EQ(frame->edTitle->Text(), "\xE4\xB8\x83\xE4\xBA\xBA\xE3\x81\xAE\xE4\xBE\x8D");
  EXPECT_TRUE(errors.empty());
  Screenshot(0, "unicode");
}

TEST_F(ViewerWin32Test, ThePreviewDrawsTheDecodedPictureOverTheWholeImage) {
  TempFile file(FullTagFile());
  frame->LoadFile(file.Name());
  frame->PageControl1->SetActivePageIndex(2);
  HWND image = WindowOf(*frame->imgPicture);
  ASSERT_TRUE(IsWindowVisible(image));
  // Each of the 16 x 16 pixels covers 9 x 9 of the 144 x 144 image; the file's rows go
  // bottom-up and its bytes count up by 7.
  for (auto [x, y] : {std::pair{0, 0}, {15, 0}, {7, 9}, {15, 15}}) {
    const int offset = (15 - y) * 48 + x * 3;
    const COLORREF expected =
        RGB((offset + 2) * 7 & 0xFF, (offset + 1) * 7 & 0xFF, offset * 7 & 0xFF);
    EXPECT_EQ(PixelAt(image, 9 * x + 4, 9 * y + 4), expected) << x << "," << y;
  }

  // The second picture, chosen with the keyboard.
  SetFocus(WindowOf(*frame->lbPictures));
  SendMessageA(WindowOf(*frame->lbPictures), WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(Text(frame->txtImageSize), "1x1 [35 bytes]");
  EXPECT_EQ(Text(frame->edPictureDesc), "back");
}

TEST_F(ViewerWin32Test, APictureThatCannotBeDecodedShowsItsMessageInThePanel) {
  TempFile file(Tag({PictureFrame("image/png", 3, "not a picture", "\x89PNG broken")}) + Audio());
  frame->LoadFile(file.Name());
  EXPECT_EQ(Entry(frame->lbPictures, 0), "Cover (front)");
  EXPECT_FALSE(Text(frame->pnlPicture).empty());
  EXPECT_FALSE(IsWindowVisible(WindowOf(*frame->imgPicture)));
  EXPECT_EQ(Text(frame->txtImageSize), "");
  EXPECT_EQ(Text(frame->edPictureDesc), "not a picture");
  Screenshot(2, "bad_picture");

  TempFile empty(Audio());
  frame->LoadFile(empty.Name());
  EXPECT_EQ(Text(frame->pnlPicture), "");
  EXPECT_EQ(SendMessageA(WindowOf(*frame->lbPictures), LB_GETCOUNT, 0, 0), 0);
}

TEST_F(ViewerWin32Test, TheExampleFileOnEveryPage) {
  frame->LoadFile(std::string(TAGSCOPE_EXAMPLES) + "/example.mp3");
  EXPECT_EQ(Text(frame->edTitle), "Example Song");
  EXPECT_EQ(Text(frame->edArtist), "The Example Artist");
  EXPECT_EQ(Text(frame->edTrack), "3");
  EXPECT_EQ(Text(frame->edTracks), "12");
  EXPECT_EQ(Rows(frame->lvComments), 2);
  EXPECT_EQ(CellText(WindowOf(*frame->lvUrls), 0, 1), "http://www.example.com/");
  EXPECT_EQ(Text(frame->pnlPicture), "");
  EXPECT_NE(Text(frame->txtImageSize), "");
  for (int page = 0; page < 4; ++page) Screenshot(page, "example");
  // And the whole screen once, as the user would see it.
  WritePng(std::string(TAGSCOPE_SCREENSHOTS) + "/screen.png", CaptureWindow(GetDesktopWindow()));
  // The URL column is drawn as a link, the description column is not.
  HWND urls = WindowOf(*frame->lvUrls);
  const int split = static_cast<int>(SendMessageA(urls, LVM_GETCOLUMNWIDTH, 0, 0));
  EXPECT_GT(CountPixels(urls, {split, 0, split + 150, 40}, RGB(0, 0, 255)), 50);
  EXPECT_EQ(CountPixels(urls, {0, 0, split, 40}, RGB(0, 0, 255)), 0);
}

TEST_F(ViewerWin32Test, TheDetailsPageHoldsAReportListAndAValueBoxInsideTheForm) {
  TempFile file(DetailedMp3("Song"));
  frame->LoadFile(file.Name());
  frame->PageControl1->SetActivePageIndex(4);
  PumpMessages();
  HWND form = WindowOf(frame->Form()), list = WindowOf(*frame->lvDetails),
       box = WindowOf(*frame->edDetail);
  EXPECT_EQ(ClassOf(list), "SysListView32");
  EXPECT_EQ(ClassOf(box), "Edit");
  const LONG_PTR listStyle = GetWindowLongPtrA(list, GWL_STYLE);
  EXPECT_EQ(listStyle & LVS_TYPEMASK, LVS_REPORT);
  EXPECT_TRUE(listStyle & LVS_SHOWSELALWAYS);
  EXPECT_FALSE(listStyle & LVS_EDITLABELS);
  EXPECT_TRUE(SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_FULLROWSELECT);
  EXPECT_EQ(SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0), 100);
  const LONG_PTR boxStyle = GetWindowLongPtrA(box, GWL_STYLE);
  EXPECT_EQ(boxStyle & (ES_MULTILINE | ES_READONLY | WS_VSCROLL),
            ES_MULTILINE | ES_READONLY | WS_VSCROLL);

  // Both inside the 404 x 389 client area, the box below the list, with the same margins.
  RECT client{};
  GetClientRect(form, &client);
  EXPECT_EQ(client.right, 404);
  EXPECT_EQ(client.bottom, 389);
  const RECT l = InForm(list, form), b = InForm(box, form);
  for (const RECT& r : {l, b}) {
    EXPECT_GE(r.left, 0);
    EXPECT_GE(r.top, 0);
    EXPECT_LE(r.right, 404);
    EXPECT_LE(r.bottom, 389);
  }
  EXPECT_LT(l.bottom, b.top);
  EXPECT_EQ(l.left, b.left);
  EXPECT_EQ(l.right, b.right);

  // A row selected natively shows its whole value in the box, line ends as the edit wants them.
  int lyrics = -1;
  for (int row = 0; row < Rows(frame->lvDetails); ++row)
    if (CellText(list, row, 1) == "First line ...") lyrics = row;
  ASSERT_GE(lyrics, 0);
  LVITEMA state{};
  state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(lyrics),
               reinterpret_cast<LPARAM>(&state));
  EXPECT_EQ(Text(frame->edDetail), "First line\r\nSecond line");
  EXPECT_TRUE(errors.empty());
  Screenshot(4, "details");
}

TEST_F(ViewerWin32Test, CommandMessagesRunTheMenuItemsUnlessTheToolBarSentThem) {
  HWND form = WindowOf(frame->Form());
  const WPARAM exit = frame->Exit1->Command();
  SendMessageA(form, WM_COMMAND, exit, reinterpret_cast<LPARAM>(WindowOf(*frame->ToolBar1)));
  SendMessageA(form, WM_COMMAND, 0xFFF0, 0);
  PumpMessages();
  EXPECT_TRUE(host.Received().empty());

  SendMessageA(form, WM_COMMAND, exit, 0);
  EXPECT_TRUE(host.Received().empty());  // posted, not sent
  PumpMessages();
  ASSERT_EQ(host.Received().size(), 1u);
  EXPECT_EQ(host.Received()[0].message, WM_VIEWER_EXIT);
  EXPECT_TRUE(IsWindowVisible(form));
}

TEST_F(ViewerWin32Test, TheToolBarInTheHostOpensAFileAndTellsTheHost) {
  TempFile file(FullTagFile());
  frame->ToolBar1->SetParentWindow(host.Native());
  frame->ToolBar1->SetBounds({0, 0, frame->Form().Width(), 24});
  frame->ToolBar1->Show();
  std::string fileName, fileType;
  host.OnReceive = [&](const MSG& msg) {
    if (msg.message != WM_VIEWER_FILEOPENED) return;
    const auto* info = reinterpret_cast<const TViewerFileInfo*>(msg.lParam);
    fileName = info->FileName;
    fileType = info->FileType;
  };

  {
    TDialogAnswer cancel([](HWND dialog) { PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0); });
    ClickToolButton();
    ASSERT_TRUE(cancel.Answered());
  }
  EXPECT_TRUE(host.Received().empty());

  {
    TDialogAnswer choose([&](HWND dialog) {
      HWND box = GetDlgItem(dialog, 0x47C);
      SetWindowTextA(box ? box : GetDlgItem(dialog, 0x480), file.Name().c_str());
      PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    ClickToolButton();
    ASSERT_TRUE(choose.Answered());
  }
  EXPECT_EQ(Text(frame->edTitle), "Song");
  EXPECT_EQ(_stricmp(fileName.c_str(), file.Name().c_str()), 0);
  EXPECT_EQ(fileType, "MP3 File");
  EXPECT_TRUE(errors.empty());

  // The viewer's width still decides the toolbar's.
  MoveWindow(WindowOf(frame->Form()), 0, 0, 460, 389, TRUE);
  EXPECT_EQ(frame->ToolBar1->Bounds(), (TBounds{0, 0, 460, 24}));
}

}  // namespace
}  // namespace tagscope::test
