// The list view and the list box as native controls: rows read back, notifications, drawing.
#include <utility>

#include "tests/ui/win32/win32_fixture.h"
#include "ui/win32/win32_node.h"

namespace tagscope::test {
namespace {

class Win32ListViewTest : public Win32Test {
 protected:
  Win32ListViewTest() : page(MakePage()) {
    TListViewProps props;
    props.Name = "lvUrls";
    props.Bounds = {8, 8, 348, 97};
    props.TabOrder = 0;
    props.Columns = {{"Description", 100}, {"URL", ColumnAutoFill}};
    props.RowSelect = true;
    props.HideSelection = false;
    props.ReadOnly = true;
    props.Cursor = TCursor::crHandPoint;
    list = Own(factory.CreateListView(*page, props));
    window = WindowOf(*list);
    list->OnSelectItem = [this](TListView&, int row, bool selected) {
      events.push_back({row, selected});
    };
  }
  void AddRows() {
    for (auto [caption, url] : {std::pair{"Home", "http://www.example.com/"},
                                {"Mail", "mailto:someone@example.com"},
                                {"Shop", "https://shop.example.com/"}})
      list->AddSubItem(list->AddItem(caption), url);
  }
  LPARAM RowPoint(int row) {
    RECT r{};
    r.left = LVIR_BOUNDS;
    SendMessageA(window, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
    return MAKELPARAM(r.left + 150, (r.top + r.bottom) / 2);
  }
  void Click(LPARAM at) {
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(window, WM_LBUTTONUP, 0, at);
    PumpMessages();
  }
  int ColumnWidth(int column) {
    return static_cast<int>(SendMessageA(window, LVM_GETCOLUMNWIDTH, column, 0));
  }

  TTabSheet* page;
  TListView* list = nullptr;
  HWND window = nullptr;
  std::vector<std::pair<int, bool>> events;
};

TEST_F(Win32ListViewTest, ReportViewWithWholeRowSelectionAndNoEditing) {
  const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
  EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
  EXPECT_TRUE(style & LVS_SHOWSELALWAYS);
  EXPECT_TRUE(style & LVS_SINGLESEL);
  EXPECT_FALSE(style & LVS_EDITLABELS);
  EXPECT_TRUE(SendMessageA(window, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_FULLROWSELECT);
  EXPECT_EQ(list->Bounds(), (TBounds{8, 8, 348, 97}));
}

TEST_F(Win32ListViewTest, ColumnsHaveTheirCaptionsAndTheLastFillsTheRow) {
  char text[32] = {};
  LVCOLUMNA column{};
  column.mask = LVCF_TEXT;
  column.pszText = text;
  column.cchTextMax = sizeof(text);
  SendMessageA(window, LVM_GETCOLUMNA, 1, reinterpret_cast<LPARAM>(&column));
  EXPECT_STREQ(text, "URL");
  EXPECT_EQ(ColumnWidth(0), 100);
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(ColumnWidth(0) + ColumnWidth(1), client.right);

  list->SetBounds({8, 8, 500, 97});
  GetClientRect(window, &client);
  EXPECT_EQ(ColumnWidth(0) + ColumnWidth(1), client.right);
}

TEST_F(Win32ListViewTest, RowsAndSubItemsAreInTheControl) {
  list->BeginUpdate();
  AddRows();
  list->AddSubItem(0, "beyond the columns");
  list->EndUpdate();
  EXPECT_EQ(SendMessageA(window, LVM_GETITEMCOUNT, 0, 0), 3);
  EXPECT_EQ(CellText(window, 0, 0), "Home");
  EXPECT_EQ(CellText(window, 0, 1), "http://www.example.com/");
  EXPECT_EQ(CellText(window, 2, 1), "https://shop.example.com/");
  EXPECT_EQ(list->SubItemCount(0), 2);
  EXPECT_EQ(list->SubItem(0, 1), "beyond the columns");
  EXPECT_EQ(list->SubItem(0, 2), "");
  EXPECT_EQ(list->ItemCaption(5), "");

  list->SetSelected(1);
  events.clear();
  list->Clear();
  EXPECT_EQ(SendMessageA(window, LVM_GETITEMCOUNT, 0, 0), 0);
  EXPECT_EQ(list->Selected(), -1);
  EXPECT_TRUE(events.empty());  // removing rows fires nothing
}

TEST_F(Win32ListViewTest, MovingTheSelectionReportsTheLossBeforeTheGain) {
  AddRows();
  list->SetSelected(0);
  list->SetSelected(2);
  list->SetSelected(2);
  list->SetSelected(-1);
  list->SetSelected(9);
  EXPECT_EQ(events,
            (std::vector<std::pair<int, bool>>{{0, true}, {0, false}, {2, true}, {2, false}}));
  EXPECT_EQ(SendMessageA(window, LVM_GETSELECTEDCOUNT, 0, 0), 0);
}

TEST_F(Win32ListViewTest, TheUsersClickSelectsTheRowBeforeOnClickRuns) {
  AddRows();
  std::vector<int> selectedAtClick;
  list->OnClick = [&](TListView& sender) { selectedAtClick.push_back(sender.Selected()); };
  Click(RowPoint(1));  // on the URL column: the whole row is clickable
  Click(RowPoint(2));
  Click(MAKELPARAM(150, 90));  // below the rows
  EXPECT_EQ(selectedAtClick, (std::vector<int>{1, 2, -1}));
  EXPECT_EQ(events,
            (std::vector<std::pair<int, bool>>{{1, true}, {1, false}, {2, true}, {2, false}}));
}

TEST_F(Win32ListViewTest, TheKeyboardMovesTheSelectionWithoutAClick) {
  AddRows();
  int clicks = 0;
  list->OnClick = [&](TListView&) { ++clicks; };
  list->SetSelected(0);
  SetFocus(window);
  SendMessageA(window, WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(list->Selected(), 1);
  EXPECT_EQ(events.back(), (std::pair<int, bool>{1, true}));
  EXPECT_EQ(clicks, 0);
}

TEST_F(Win32ListViewTest, TheHandPointerShowsOverTheList) {
  const LPARAM client = MAKELPARAM(HTCLIENT, WM_MOUSEMOVE);
  EXPECT_TRUE(
      SendMessageA(WindowOf(*page), WM_SETCURSOR, reinterpret_cast<WPARAM>(window), client));
  EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_HAND));
  EXPECT_FALSE(SendMessageA(WindowOf(*page), WM_SETCURSOR,
                            reinterpret_cast<WPARAM>(WindowOf(*page)), client));
}

// One stage of custom drawing as the list view sends it to its parent.
struct TDrawCall {
  LRESULT Result;
  COLORREF TextColor;
  LOGFONTA Font;
};

class Win32CustomDrawTest : public Win32ListViewTest {
 protected:
  Win32CustomDrawTest() : dc(CreateCompatibleDC(nullptr)) {
    AddRows();
    list->OnCustomDrawSubItem = [this](TListView&, int row, int subItem, TCustomDrawState,
                                       TDrawFont& font, bool& defaultDraw) {
      if (subItem == 1) font = {clBlue, fsUnderline};
      if (row == 2) defaultDraw = false;
    };
  }
  ~Win32CustomDrawTest() override { DeleteDC(dc); }

  TDrawCall Send(DWORD stage, int row = 0, int subItem = 0, COLORREF text = RGB(1, 2, 3)) {
    NMLVCUSTOMDRAW draw{};
    draw.nmcd.hdr.hwndFrom = window;
    draw.nmcd.hdr.code = NM_CUSTOMDRAW;
    draw.nmcd.dwDrawStage = stage;
    draw.nmcd.hdc = dc;
    draw.nmcd.dwItemSpec = static_cast<DWORD_PTR>(row);
    draw.iSubItem = subItem;
    draw.clrText = text;
    TDrawCall call{};
    call.Result = SendMessageA(WindowOf(*page), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&draw));
    call.TextColor = draw.clrText;
    GetObjectA(GetCurrentObject(dc, OBJ_FONT), sizeof(call.Font), &call.Font);
    return call;
  }

  HDC dc;
};

TEST_F(Win32CustomDrawTest, OnlyTheUrlColumnIsBlueAndUnderlinedAndNothingCarriesOver) {
  EXPECT_EQ(Send(CDDS_PREPAINT).Result, CDRF_NOTIFYITEMDRAW);
  EXPECT_EQ(Send(CDDS_ITEMPREPAINT, 0, 0, RGB(10, 20, 30)).Result, CDRF_NOTIFYSUBITEMDRAW);
  const TDrawCall url = Send(CDDS_ITEMPREPAINT | CDDS_SUBITEM, 0, 1, RGB(10, 20, 30));
  EXPECT_EQ(url.Result, CDRF_NEWFONT);
  EXPECT_EQ(url.TextColor, RGB(0, 0, 255));
  EXPECT_TRUE(url.Font.lfUnderline);
  EXPECT_EQ(url.Font.lfWeight, FW_NORMAL);
  EXPECT_FALSE(url.Font.lfItalic);
  EXPECT_STREQ(url.Font.lfFaceName, "MS Shell Dlg");

  Send(CDDS_ITEMPREPAINT, 1, 0, RGB(10, 20, 30));
  const TDrawCall description = Send(CDDS_ITEMPREPAINT | CDDS_SUBITEM, 1, 0, RGB(0, 0, 255));
  EXPECT_EQ(description.TextColor, RGB(10, 20, 30));
  EXPECT_FALSE(description.Font.lfUnderline);

  EXPECT_EQ(Send(CDDS_ITEMPREPAINT | CDDS_SUBITEM, 2, 0).Result, CDRF_NEWFONT | CDRF_SKIPDEFAULT);
}

TEST_F(Win32CustomDrawTest, WithoutAHookTheListDrawsOnItsOwn) {
  list->OnCustomDrawSubItem = nullptr;
  EXPECT_EQ(Send(CDDS_PREPAINT).Result, CDRF_DODEFAULT);
}

TEST_F(Win32CustomDrawTest, OnTheScreenTheUrlsAreBlueAndTheDescriptionsAreNot) {
  list->OnCustomDrawSubItem = [](TListView&, int, int subItem, TCustomDrawState, TDrawFont& font,
                                 bool&) {
    if (subItem == 1) font = {clBlue, fsUnderline};
  };
  InvalidateRect(window, nullptr, TRUE);
  const int split = ColumnWidth(0);
  RECT rows{};
  rows.left = LVIR_BOUNDS;
  SendMessageA(window, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&rows));
  const RECT descriptions{0, rows.top, split, rows.top + 3 * (rows.bottom - rows.top)};
  const RECT urls{split, descriptions.top, split + 200, descriptions.bottom};
  EXPECT_EQ(CountPixels(window, descriptions, RGB(0, 0, 255)), 0);
  EXPECT_GT(CountPixels(window, urls, RGB(0, 0, 255)), 100);
}

class Win32ListBoxTest : public Win32Test {
 protected:
  // Counts how many of its kind were freed.
  struct TCounted : TObject {
    explicit TCounted(int& freed) : Freed(freed) {}
    ~TCounted() override { ++Freed; }
    int& Freed;
  };

  Win32ListBoxTest() : page(MakePage()) {
    TListBoxProps props;
    props.Name = "lbPictures";
    props.Bounds = {8, 8, 192, 147};
    props.TabOrder = 0;
    props.ItemHeight = 13;
    list = Own(factory.CreateListBox(*page, props));
    window = WindowOf(*list);
    list->OnClick = [this](TListBox& sender) { clicks.push_back(sender.ItemIndex()); };
  }
  void AddEntries() {
    list->BeginUpdate();
    for (const char* text : {"Cover (front)", "Cover (back)", "Unknown (21)"})
      list->AddItem(text, std::make_unique<TCounted>(freed));
    list->EndUpdate();
  }
  std::string EntryText(int index) {
    char buffer[256] = {};
    SendMessageA(window, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer));
    return buffer;
  }

  TTabSheet* page;
  TListBox* list = nullptr;
  HWND window = nullptr;
  std::vector<int> clicks;
  int freed = 0;
};

TEST_F(Win32ListBoxTest, EntriesStayInTheirOrderWithTheirItemHeight) {
  AddEntries();
  const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
  EXPECT_TRUE(style & LBS_NOTIFY);
  EXPECT_FALSE(style & LBS_SORT);
  EXPECT_TRUE(style & WS_TABSTOP);
  EXPECT_EQ(list->Bounds(), (TBounds{8, 8, 192, 147}));
  EXPECT_EQ(SendMessageA(window, LB_GETITEMHEIGHT, 0, 0), 13);
  EXPECT_EQ(SendMessageA(window, LB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(EntryText(0), "Cover (front)");
  EXPECT_EQ(EntryText(2), "Unknown (21)");
  EXPECT_EQ(list->Item(1), "Cover (back)");
  EXPECT_EQ(list->Item(3), "");
  EXPECT_NE(list->Object(2), nullptr);
  EXPECT_EQ(list->Object(3), nullptr);
  EXPECT_EQ(list->Object(-1), nullptr);
}

TEST_F(Win32ListBoxTest, ClearingFreesEveryObjectAndEmptiesTheControl) {
  AddEntries();
  list->SetItemIndex(1);
  list->Clear();
  EXPECT_EQ(freed, 3);
  EXPECT_EQ(SendMessageA(window, LB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(list->ItemIndex(), -1);
  AddEntries();
  components.Clear();
  EXPECT_EQ(freed, 6);
}

TEST_F(Win32ListBoxTest, MouseAndKeyboardSelectionsAreClicksButSelectingFromCodeIsNot) {
  AddEntries();
  list->SetItemIndex(0);
  list->SetItemIndex(7);
  EXPECT_EQ(list->ItemIndex(), -1);
  EXPECT_TRUE(clicks.empty());

  RECT r{};
  SendMessageA(window, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r));
  const LPARAM at = MAKELPARAM(r.left + 10, (r.top + r.bottom) / 2);
  SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageA(window, WM_LBUTTONUP, 0, at);
  SetFocus(window);
  SendMessageA(window, WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(clicks, (std::vector<int>{1, 2}));
}

}  // namespace
}  // namespace tagscope::test
