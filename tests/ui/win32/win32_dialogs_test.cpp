// The Open dialog, the error message box and the messages to other windows, under Wine.
#include <cstdio>
#include <fstream>

#include "tests/ui/win32/win32_fixture.h"
#include "ui/win32/win32_dialogs.h"

namespace tagscope::test {
namespace {

// Controls of the explorer-style Open dialog: the file name box (a combo box in newer dialogs,
// an edit in older ones) and the file type box.
constexpr int kFileNameCombo = 0x47C;
constexpr int kFileNameEdit = 0x480;
constexpr int kFileTypeCombo = 0x470;

HWND FileNameBox(HWND dialog) {
  HWND box = GetDlgItem(dialog, kFileNameCombo);
  return box ? box : GetDlgItem(dialog, kFileNameEdit);
}

std::string ComboEntry(HWND combo, int index) {
  char text[256] = {};
  SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
  return text;
}

// A file in the temporary folder, as a full Windows path.
class TTempMp3 {
 public:
  TTempMp3() {
    char folder[MAX_PATH] = {}, name[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    GetTempFileNameA(folder, "uiw", 0, name);
    DeleteFileA(name);
    FName = std::string(name) + ".mp3";
    std::ofstream(FName, std::ios::binary) << "ID3";
  }
  ~TTempMp3() { DeleteFileA(FName.c_str()); }
  const std::string& Name() const { return FName; }

 private:
  std::string FName;
};

TEST(Win32FilterTest, FilterPartsEndWithZeroBytesAndTheListWithTwo) {
  using namespace std::string_literals;
  EXPECT_EQ(DoubleZeroFilter("MP3 Files (*.mp3)|*.mp3"), "MP3 Files (*.mp3)\0*.mp3\0\0"s);
  EXPECT_EQ(DoubleZeroFilter("A|*.a|B|*.b;*.c"), "A\0*.a\0B\0*.b;*.c\0\0"s);
  EXPECT_EQ(DoubleZeroFilter(""), "");
}

class Win32OpenDialogTest : public Win32Test {
 protected:
  Win32OpenDialogTest() {
    TOpenDialogProps props;
    props.Name = "OpenDialog";
    props.Filter = "MP3 Files (*.mp3)|*.mp3";
    props.Options = ofHideReadOnly | ofPathMustExist | ofFileMustExist | ofEnableSizing;
    dialog = Own(factory.CreateOpenDialog(props));
    factory.SetDialogOwner(host.Native());
  }
  TOpenDialog* dialog = nullptr;
};

TEST_F(Win32OpenDialogTest, CancellingChangesNothing) {
  dialog->SetFileName("C:\\earlier.mp3");
  HWND owner = nullptr;
  std::string fileType, offered;
  TDialogAnswer answer([&](HWND shown) {
    owner = GetWindow(shown, GW_OWNER);
    fileType = ComboEntry(GetDlgItem(shown, kFileTypeCombo), 0);
    offered = TextOf(FileNameBox(shown));
    PostMessageA(shown, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_FALSE(dialog->Execute());
  ASSERT_TRUE(answer.Answered());
  EXPECT_EQ(owner, host.Handle());
  EXPECT_EQ(fileType, "MP3 Files (*.mp3)");
  EXPECT_EQ(offered, "earlier.mp3");
  EXPECT_EQ(dialog->FileName(), "C:\\earlier.mp3");
}

TEST_F(Win32OpenDialogTest, AFileNameTheDialogRefusesStillLetsItOpen) {
  dialog->SetFileName(std::string(300, 'x') + "|<>\"*?.mp3");
  TDialogAnswer answer([](HWND shown) { PostMessageA(shown, WM_COMMAND, IDCANCEL, 0); });
  EXPECT_FALSE(dialog->Execute());
  EXPECT_TRUE(answer.Answered());
}

TEST_F(Win32OpenDialogTest, ChoosingAFileGivesItsFullName) {
  TTempMp3 file;
  TDialogAnswer answer([&](HWND shown) {
    SetWindowTextA(FileNameBox(shown), file.Name().c_str());
    PostMessageA(shown, WM_COMMAND, IDOK, 0);
  });
  ASSERT_TRUE(dialog->Execute());
  EXPECT_EQ(_stricmp(dialog->FileName().c_str(), file.Name().c_str()), 0);
}

TEST_F(Win32Test, WithoutARecorderErrorsAppearInAMessageBoxOwnedByTheDialogOwner) {
  factory.OnErrorMessage = nullptr;
  factory.SetDialogOwner(host.Native());
  HWND owner = nullptr;
  std::string text;
  TDialogAnswer answer([&](HWND box) {
    owner = GetWindow(box, GW_OWNER);
    text = TextOf(GetDlgItem(box, 0xFFFF));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  });
  factory.ShowErrorMessage("Stream read error");
  ASSERT_TRUE(answer.Answered());
  EXPECT_EQ(owner, host.Handle());
  EXPECT_EQ(text, "Stream read error");
}

TEST_F(Win32Test, MessagesToOtherWindowsAreSentOrPostedButNeverToWindowZero) {
  host.OnReceive = [](const MSG& msg) {
    EXPECT_EQ(reinterpret_cast<const char*>(msg.lParam), std::string("payload"));
  };
  const char payload[] = "payload";
  factory.SendToWindow(host.Native(), WM_APP + 101, 0, reinterpret_cast<std::intptr_t>(payload));
  ASSERT_EQ(host.Received().size(), 1u);
  EXPECT_EQ(host.Received()[0].message, static_cast<UINT>(WM_APP + 101));

  host.OnReceive = nullptr;
  factory.PostToWindow(host.Native(), WM_APP + 102, 0, 0);
  EXPECT_EQ(host.Received().size(), 1u);  // queued, not yet handled
  factory.PostToWindow(0, WM_APP + 102, 0, 0);
  EXPECT_EQ(factory.SendToWindow(0, WM_APP + 101, 0, 0), 0);
  MSG stray;
  EXPECT_FALSE(
      PeekMessageA(&stray, reinterpret_cast<HWND>(-1), WM_APP + 102, WM_APP + 102, PM_NOREMOVE));
  PumpMessages();
  ASSERT_EQ(host.Received().size(), 2u);
  EXPECT_EQ(host.Received()[1].message, static_cast<UINT>(WM_APP + 102));
}

}  // namespace
}  // namespace tagscope::test
