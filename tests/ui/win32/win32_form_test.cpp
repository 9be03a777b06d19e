// The form and the page control as native windows.
#include "tagscope/rtl/exception.h"
#include "tests/ui/win32/win32_fixture.h"
#include "ui/win32/win32_node.h"

namespace tagscope::test {
namespace {

TFormProps ViewerFormProps() {
  TFormProps props;
  props.Name = "ViewerFrame";
  props.Caption = "ViewerFrame";
  props.ClientWidth = 404;
  props.ClientHeight = 389;
  return props;
}

TEST_F(Win32Test, FormIsAHiddenBorderlessChildAtTheParentsOriginWithItsClientSize) {
  auto created = factory.CreateForm(host.Native(), ViewerFormProps());
  HWND window = WindowOf(*created);
  ASSERT_TRUE(IsWindow(window));
  EXPECT_EQ(GetParent(window), host.Handle());
  const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
  EXPECT_TRUE(style & WS_CHILD);
  EXPECT_FALSE(style & (WS_VISIBLE | WS_BORDER | WS_DLGFRAME | WS_THICKFRAME));
  EXPECT_FALSE(GetWindowLongPtrA(window, GWL_EXSTYLE) & (WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE));
  EXPECT_EQ(GetMenu(window), nullptr);
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 404);
  EXPECT_EQ(client.bottom, 389);
  EXPECT_EQ(created->Bounds(), (TBounds{0, 0, 404, 389}));
  EXPECT_EQ(TextOf(window), "ViewerFrame");
  EXPECT_EQ(created->Caption(), "ViewerFrame");
  // The user-data slot stays free for whoever binds an object to the form's window.
  EXPECT_EQ(GetWindowLongPtrA(window, GWLP_USERDATA), 0);

  EXPECT_FALSE(created->Visible());
  created->Show();
  EXPECT_TRUE(IsWindowVisible(window));
  created.reset();
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(Win32Test, ResizingTheWindowFromOutsideFiresOnResizeAndFillingChildrenFollow) {
  TTabSheet* page = MakePage();
  HWND tabs = GetParent(WindowOf(*page));
  std::vector<int> widths;
  form->OnResize = [&](TForm& sender) { widths.push_back(sender.Width()); };

  MoveWindow(WindowOf(*form), 0, 0, 600, 300, TRUE);
  ASSERT_EQ(widths, std::vector<int>{600});
  RECT r{};
  GetWindowRect(tabs, &r);
  EXPECT_EQ(r.right - r.left, 600);
  EXPECT_EQ(r.bottom - r.top, 300);
  // The page fills the tab control's display area.
  GetClientRect(tabs, &r);
  SendMessageA(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
  EXPECT_EQ(page->Bounds(), (TBounds{r.left, r.top, r.right - r.left, r.bottom - r.top}));

  MoveWindow(WindowOf(*form), 5, 5, 600, 300, TRUE);  // moved, not resized
  form->SetWidth(404);
  EXPECT_EQ(widths, (std::vector<int>{600, 404}));
}

TEST_F(Win32Test, EveryCommandMessageReachesOnCommandWithItsParts) {
  std::vector<TCommandMessage> got;
  form->OnCommand = [&](const TCommandMessage& message) { got.push_back(message); };
  HWND window = WindowOf(*form);
  SendMessageA(window, WM_COMMAND, MAKEWPARAM(1234, 1), 0);
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(7, 0), reinterpret_cast<LPARAM>(host.Handle()));
  PumpMessages();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].Command, 1234);
  EXPECT_EQ(got[0].NotifyCode, 1);
  EXPECT_EQ(got[0].Source, 0u);
  EXPECT_EQ(got[1].Command, 7);
  EXPECT_EQ(got[1].Source, host.Native());
}

TEST_F(Win32Test, ExceptionsFromHandlersAreShownAndNeverLeaveTheWindowProcedure) {
  form->OnCommand = [](const TCommandMessage& message) {
    if (message.Command == 1) throw Exception("Cannot open file \"x.mp3\".");
    throw 42;
  };
  form->OnResize = [](TForm&) { throw Exception("resize failed"); };
  SendMessageA(WindowOf(*form), WM_COMMAND, 1, 0);
  SendMessageA(WindowOf(*form), WM_COMMAND, 2, 0);
  MoveWindow(WindowOf(*form), 0, 0, 300, 300, TRUE);
  EXPECT_EQ(errors, (std::vector<std::string>{"Cannot open file \"x.mp3\".", "Unexpected error",
                                              "resize failed"}));
  // Not even a failing error display gets out.
  factory.OnErrorMessage = [](const std::string&) { throw Exception("no display"); };
  SendMessageA(WindowOf(*form), WM_COMMAND, 1, 0);
}

TEST_F(Win32Test, FocusGivenToTheFormGoesToItsActiveControl) {
  TTabSheet* page = MakePage();
  TEditProps props;
  props.Name = "edit";
  props.Bounds = {8, 8, 100, 21};
  props.TabOrder = 0;
  TEdit* edit = Own(factory.CreateEdit(*page, props));
  form->SetActiveControl(edit);
  SetFocus(WindowOf(*form));
  EXPECT_EQ(GetFocus(), WindowOf(*edit));
}

class Win32PagesTest : public Win32Test {
 protected:
  Win32PagesTest() {
    TPageControlProps props;
    props.Name = "PageControl1";
    props.Align = TAlign::alClient;
    props.TabOrder = 1;
    pages = Own(factory.CreatePageControl(*form, props));
    for (const char* caption : {"Standard", "Comments", "Pictures", "Urls"}) {
      TTabSheetProps page;
      page.Name = caption;
      page.Caption = caption;
      Own(factory.CreateTabSheet(*pages, page));
    }
    pages->OnChange = [this](TPageControl&) { ++changes; };
    tabs = WindowOf(*pages);
  }

  std::string TabText(int index) {
    char buffer[64] = {};
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = buffer;
    item.cchTextMax = sizeof(buffer);
    SendMessageA(tabs, TCM_GETITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return buffer;
  }
  std::vector<bool> Showing() {
    std::vector<bool> result;
    for (int i = 0; i < pages->PageCount(); ++i)
      result.push_back(IsWindowVisible(WindowOf(*pages->Page(i))) != FALSE);
    return result;
  }
  void ClickTab(int index) {
    RECT r{};
    SendMessageA(tabs, TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageA(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(tabs, WM_LBUTTONUP, 0, at);
  }

  TPageControl* pages = nullptr;
  HWND tabs = nullptr;
  int changes = 0;
};

TEST_F(Win32PagesTest, PagesAreTabsOfATabControlWithOnlyTheActivePageShowing) {
  EXPECT_EQ(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0), 4);
  EXPECT_EQ(TabText(0), "Standard");
  EXPECT_EQ(TabText(3), "Urls");
  EXPECT_EQ(pages->ActivePageIndex(), 0);
  EXPECT_EQ(Showing(), (std::vector<bool>{true, false, false, false}));
  EXPECT_EQ(pages->Bounds(), (TBounds{0, 0, 404, 389}));
  EXPECT_TRUE(GetWindowLongPtrA(tabs, GWL_STYLE) & WS_TABSTOP);
  EXPECT_EQ(GetParent(WindowOf(*pages->Page(2))), tabs);
}

TEST_F(Win32PagesTest, ClickingATabShowsItsPage) {
  ClickTab(2);
  EXPECT_EQ(pages->ActivePageIndex(), 2);
  EXPECT_EQ(Showing(), (std::vector<bool>{false, false, true, false}));
  EXPECT_EQ(changes, 1);
  ClickTab(2);
  EXPECT_EQ(changes, 1);
}

TEST_F(Win32PagesTest, ChoosingAPageFromCodeFollowsTheSameWay) {
  pages->SetActivePageIndex(3);
  EXPECT_EQ(SendMessageA(tabs, TCM_GETCURSEL, 0, 0), 3);
  EXPECT_EQ(Showing(), (std::vector<bool>{false, false, false, true}));
  EXPECT_EQ(changes, 1);
  pages->SetActivePageIndex(4);
  pages->SetActivePageIndex(-1);
  pages->SetActivePageIndex(3);
  EXPECT_EQ(pages->ActivePageIndex(), 3);
  EXPECT_EQ(changes, 1);
}

}  // namespace
}  // namespace tagscope::test
