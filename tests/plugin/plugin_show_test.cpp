// Showing files through ShowFile, and the last-error text of its failures.
#include <algorithm>
#include <iterator>

#include "tests/plugin/plugin_fixture.h"

namespace tagscope::test {
namespace {

class ShowFileTest : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    viewer = CreateViewer();
    ASSERT_NE(viewer, nullptr) << LastError();
  }
  HWND viewer = nullptr;
};

// A file held open by someone else without any sharing, so nobody else can open it.
class TLockedFile {
 public:
  explicit TLockedFile(const std::string& name)
      : FHandle(::CreateFileA(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}
  ~TLockedFile() { ::CloseHandle(FHandle); }
  bool Locked() const { return FHandle != INVALID_HANDLE_VALUE; }

 private:
  HANDLE FHandle;
};

bool AllEditsEmpty(HWND viewer) {
  for (const std::string& text : EditTexts(viewer))
    if (!text.empty()) return false;
  return true;
}

TEST_F(ShowFileTest, StaysHiddenUntilTheFirstFileAndShowsEveryPartOfTheTag) {
  TempFile file(FullyTaggedMp3("Night and Day"));
  EXPECT_FALSE(HasStyle(viewer, WS_VISIBLE));
  ASSERT_EQ(Show(viewer, file.Name().c_str()), -1) << LastError();
  EXPECT_TRUE(HasStyle(viewer, WS_VISIBLE));

  for (const char* text :
       {"Night and Day", "Ella Fitzgerald", "Songbook", "Cole Porter", "Buddy Bregman Orchestra",
        "Buddy Bregman", "Ira Gershwin", "Jazz", "Mellow", "Verve", "1956", "3", "12", "1", "2"})
    EXPECT_TRUE(ShowsText(viewer, text)) << text;
  EXPECT_EQ(ListViewCounts(viewer), (std::vector<int>{1, 1}));
  EXPECT_EQ(ListBoxCount(viewer), 1);
}

TEST_F(ShowFileTest, AMissingFileOrANullPathShowsAnEmptyWindowAndSucceeds) {
  TempFile file(FullyTaggedMp3("Before"));
  ASSERT_EQ(Show(viewer, file.Name().c_str()), -1);
  ASSERT_TRUE(ShowsText(viewer, "Before"));

  EXPECT_EQ(Show(viewer, (file.Name() + ".missing").c_str()), -1);
  EXPECT_TRUE(AllEditsEmpty(viewer));
  EXPECT_EQ(ListViewCounts(viewer), (std::vector<int>{0, 0}));
  EXPECT_EQ(ListBoxCount(viewer), 0);

  ASSERT_EQ(Show(viewer, file.Name().c_str()), -1);
  EXPECT_EQ(Show(viewer, nullptr), -1);
  EXPECT_TRUE(AllEditsEmpty(viewer));
  EXPECT_EQ(ListBoxCount(viewer), 0);

  TempFile untagged(UntaggedMp3());
  EXPECT_EQ(Show(viewer, untagged.Name().c_str()), -1);
  EXPECT_TRUE(AllEditsEmpty(viewer));
  EXPECT_EQ(LastError(), "") << "none of these is a failure";
}

TEST_F(ShowFileTest, AFileThatCannotBeOpenedFailsWithItsMessageWhichLastsUntilTheNextFailure) {
  EXPECT_EQ(LastError(), "") << "no failure yet";
  TempFile file(FullyTaggedMp3("Locked"));
  TLockedFile lock(file.Name());
  ASSERT_TRUE(lock.Locked());

  EXPECT_EQ(Show(viewer, file.Name().c_str()), FALSE);
  const std::string message = LastError();
  EXPECT_NE(message.find(file.Name()), std::string::npos) << message;
  EXPECT_TRUE(HasStyle(viewer, WS_VISIBLE)) << "the window stays visible after a failure";

  // A bounded copy: MaxLen 5 gives the first 4 bytes and a zero.
  char small[8];
  std::fill(std::begin(small), std::end(small), '#');
  EXPECT_EQ(plugin->GetLastErrorText(small, 5), small);
  EXPECT_EQ(std::string(small, 5), message.substr(0, 4) + '\0');
  EXPECT_EQ(std::string(small + 5, 3), "###");

  TempFile other(FullyTaggedMp3("Open"));
  EXPECT_EQ(Show(viewer, other.Name().c_str()), -1);
  EXPECT_EQ(LastError(), message) << "a success leaves the message";
}

TEST_F(ShowFileTest, GetLastErrorTextWritesNothingWithoutRoom) {
  char buffer[4] = {'#', '#', '#', '#'};
  EXPECT_EQ(plugin->GetLastErrorText(buffer, 1), buffer);
  EXPECT_EQ(buffer[0], '\0');
  buffer[0] = '#';
  EXPECT_EQ(plugin->GetLastErrorText(buffer, 0), buffer);
  EXPECT_EQ(plugin->GetLastErrorText(buffer, -1), nullptr);
  EXPECT_EQ(plugin->GetLastErrorText(nullptr, 10), nullptr);
  EXPECT_EQ(std::string(buffer, 4), "####");
}

TEST_F(ShowFileTest, AWindowWithoutViewerOrANullTypeBufferIsRefusedUntouched) {
  TempFile file(FullyTaggedMp3("Refused"));
  EXPECT_EQ(Show(pane, file.Name().c_str()), FALSE);
  EXPECT_EQ(LastError(), "The window is not a viewer window.");
  ::SetWindowLongPtrA(pane, GWLP_USERDATA, 0x1000);  // a foreign window with its own user data
  EXPECT_EQ(Show(pane, file.Name().c_str()), FALSE);
  EXPECT_EQ(Show(reinterpret_cast<HWND>(0x12340), file.Name().c_str()), FALSE);
  EXPECT_EQ(Show(nullptr, file.Name().c_str()), FALSE);

  EXPECT_EQ(plugin->ShowFile(viewer, file.Name().c_str(), nullptr), FALSE);
  EXPECT_EQ(LastError(), "No buffer was given for the file type.");
  EXPECT_FALSE(HasStyle(viewer, WS_VISIBLE)) << "nothing was done";
  EXPECT_FALSE(ShowsText(viewer, "Refused"));

  plugin->DestroyViewerWindow(viewer);
  EXPECT_EQ(Show(viewer, file.Name().c_str()), FALSE) << "a destroyed viewer";
}

TEST_F(ShowFileTest, TheShownFileCanBeRenamedAndDeletedWhileItIsShown) {
  TempFile file(FullyTaggedMp3("Shared"));
  ASSERT_EQ(Show(viewer, file.Name().c_str()), -1) << LastError();
  const std::string moved = file.Name() + ".moved";
  EXPECT_TRUE(::MoveFileA(file.Name().c_str(), moved.c_str())) << ::GetLastError();
  EXPECT_TRUE(::DeleteFileA(moved.c_str())) << ::GetLastError();
  EXPECT_TRUE(ShowsText(viewer, "Shared"));
}

}  // namespace
}  // namespace tagscope::test

namespace tagscope::test {
namespace {

// Keys as the host's message loop delivers them to the focused control, with Ctrl (and Shift)
// held as the keyboard state says.
void PressCtrlTab(bool shift = false) {
  BYTE keys[256] = {};
  ::GetKeyboardState(keys);
  BYTE held[256];
  std::copy(std::begin(keys), std::end(keys), std::begin(held));
  held[VK_CONTROL] = 0x80;
  held[VK_SHIFT] = shift ? 0x80 : 0;
  ::SetKeyboardState(held);
  ::SendMessageA(::GetFocus(), WM_KEYDOWN, VK_TAB, 1);
  ::SendMessageA(::GetFocus(), WM_KEYUP, VK_TAB, 1);
  ::SetKeyboardState(keys);
}

std::string Cell(HWND list, int row, int column) {
  char text[256] = {};
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  ::SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return text;
}

std::string ValueBox(HWND list) {
  // The value box sits on the list's page, below it.
  for (HWND edit : Descendants(::GetParent(list), "Edit"))
    if (HasStyle(edit, ES_MULTILINE)) return WindowText(edit);
  return "<none>";
}

TEST_F(ShowFileTest, CtrlTabReachesTheDetailsPageWhoseListTakesTheFocusAndShowsTheFile) {
  TempFile file(DetailedMp3("Chaptered"));
  ASSERT_EQ(Show(viewer, file.Name().c_str()), -1) << LastError();
  const std::vector<HWND> tabs = Descendants(viewer, WC_TABCONTROLA);
  ASSERT_EQ(tabs.size(), 1u);
  ASSERT_EQ(::SendMessageA(tabs[0], TCM_GETITEMCOUNT, 0, 0), 5);
  char caption[32] = {};
  TCITEMA item{};
  item.mask = TCIF_TEXT;
  item.pszText = caption;
  item.cchTextMax = sizeof caption;
  ::SendMessageA(tabs[0], TCM_GETITEMA, 4, reinterpret_cast<LPARAM>(&item));
  EXPECT_STREQ(caption, "Details");

  HWND list = DetailsList(viewer);
  ASSERT_NE(list, nullptr);
  ::SetFocus(Descendants(viewer, "Edit").front());
  for (int i = 0; i < 4; ++i) PressCtrlTab();
  EXPECT_EQ(::SendMessageA(tabs[0], TCM_GETCURSEL, 0, 0), 4);
  EXPECT_EQ(::GetFocus(), list);
  EXPECT_TRUE(HasStyle(::GetParent(list), WS_VISIBLE)) << "its page shows";

  // The lyrics row by its first line; selecting it shows all of them below.
  int lyrics = -1;
  for (int row = 0; row < ::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0); ++row)
    if (Cell(list, row, 1) == "First line ...") lyrics = row;
  ASSERT_GE(lyrics, 0);
  LVITEMA state{};
  state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
  ::SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(lyrics),
                 reinterpret_cast<LPARAM>(&state));
  EXPECT_EQ(ValueBox(list), "First line\r\nSecond line");

  // Round the end and back.
  PressCtrlTab();
  EXPECT_EQ(::SendMessageA(tabs[0], TCM_GETCURSEL, 0, 0), 0);
  PressCtrlTab(true);
  EXPECT_EQ(::SendMessageA(tabs[0], TCM_GETCURSEL, 0, 0), 4);
  EXPECT_EQ(::GetFocus(), list);
}

}  // namespace
}  // namespace tagscope::test
