// The host routing commands back to the viewer, the notifications, the toolbar following the
// viewer's width, and several viewers in one host.
#include "tests/plugin/plugin_fixture.h"

namespace tagscope::test {
namespace {

class SharedUITest : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    viewer = CreateViewer(TRUE, &menu, &toolBar, &accel);
    ASSERT_NE(viewer, nullptr) << LastError();
    host->RouteTo = viewer;
    exitCommand = ::GetMenuItemID(::GetSubMenu(menu, 0), 2);
  }
  void TearDown() override {
    ::DestroyAcceleratorTable(accel);
    PluginTest::TearDown();
  }
  bool ExitPosted() {
    MSG msg;
    if (!host->TakePosted(WM_VIEWER_EXIT, msg)) return false;
    EXPECT_EQ(msg.wParam, 0u);
    EXPECT_EQ(msg.lParam, 0);
    return true;
  }

  HWND viewer = nullptr;
  HMENU menu = nullptr;
  HWND toolBar = nullptr;
  HACCEL accel = nullptr;
  UINT exitCommand = 0;
};

TEST_F(SharedUITest, ExitPostsTheExitNotificationAndTheViewerStays) {
  TempFile file(FullyTaggedMp3("Staying"));
  ASSERT_EQ(Show(viewer, file.Name().c_str()), -1);

  ::SendMessageA(viewer, WM_COMMAND, MAKEWPARAM(exitCommand, 0), 0);
  EXPECT_TRUE(ExitPosted());
  EXPECT_FALSE(ExitPosted()) << "posted once";
  EXPECT_TRUE(::IsWindow(viewer));
  EXPECT_TRUE(HasStyle(viewer, WS_VISIBLE));
  EXPECT_TRUE(ShowsText(viewer, "Staying"));
}

TEST_F(SharedUITest, TheEscapeKeyReachesExitThroughTheHostsAcceleratorsAndRouting) {
  MSG key = {};
  key.hwnd = host->Wnd();
  key.message = WM_KEYDOWN;
  key.wParam = VK_ESCAPE;
  EXPECT_NE(::TranslateAcceleratorA(host->Wnd(), accel, &key), 0);
  EXPECT_TRUE(ExitPosted());
}

TEST_F(SharedUITest, CommandsFromTheToolbarOrWithUnknownIdentifiersDoNothing) {
  ::SendMessageA(viewer, WM_COMMAND, MAKEWPARAM(exitCommand, 0), reinterpret_cast<LPARAM>(toolBar));
  ::SendMessageA(viewer, WM_COMMAND, MAKEWPARAM(0xFFF0, 0), 0);
  ::SendMessageA(host->Wnd(), WM_COMMAND, MAKEWPARAM(0, 0), 0);
  EXPECT_FALSE(ExitPosted());
  EXPECT_TRUE(::IsWindow(viewer));
}

TEST_F(SharedUITest, TheToolbarInTheHostFollowsTheViewersWidth) {
  ::SetWindowPos(viewer, nullptr, 0, 0, 600, 389, SWP_NOMOVE | SWP_NOZORDER);
  RECT bar;
  ::GetWindowRect(toolBar, &bar);
  EXPECT_EQ(bar.right - bar.left, 600);
  EXPECT_EQ(bar.bottom - bar.top, 24);
  EXPECT_EQ(::GetParent(toolBar), host->Wnd());
}

TEST_F(PluginTest, SeveralViewersLiveInOneHostEachWithItsOwnFile) {
  TempFile first(FullyTaggedMp3("First"));
  TempFile second(FullyTaggedMp3("Second"));
  TempFile third(FullyTaggedMp3("Third"));
  HWND panes[3] = {pane, host->AddPane(), host->AddPane()};
  HWND viewers[3] = {};
  HMENU menus[3] = {};
  HWND toolBars[3] = {};
  HACCEL accels[3] = {};
  for (int i = 0; i < 3; ++i) {
    viewers[i] = plugin->CreateViewerWindow(host->Wnd(), panes[i], 0, i != 1, &menus[i],
                                            &toolBars[i], &accels[i]);
    ASSERT_NE(viewers[i], nullptr) << LastError();
  }
  ASSERT_EQ(Show(viewers[0], first.Name().c_str()), -1);
  ASSERT_EQ(Show(viewers[1], second.Name().c_str()), -1);
  ASSERT_EQ(Show(viewers[2], third.Name().c_str()), -1);
  EXPECT_TRUE(ShowsText(viewers[0], "First"));
  EXPECT_TRUE(ShowsText(viewers[1], "Second"));
  EXPECT_TRUE(ShowsText(viewers[2], "Third"));
  EXPECT_FALSE(ShowsText(viewers[0], "Third"));
  EXPECT_NE(menus[0], menus[2]);
  EXPECT_NE(toolBars[0], toolBars[2]);

  plugin->DestroyViewerWindow(viewers[1]);
  EXPECT_FALSE(::IsWindow(viewers[1]));
  EXPECT_TRUE(::IsWindow(toolBars[0]) && ::IsWindow(toolBars[2]));
  ASSERT_EQ(Show(viewers[2], first.Name().c_str()), -1);
  EXPECT_TRUE(ShowsText(viewers[2], "First"));
  EXPECT_TRUE(ShowsText(viewers[0], "First"));

  // Each viewer's Exit reports to the host; the last viewer gone frees everything.
  ::SendMessageA(viewers[2], WM_COMMAND,
                 MAKEWPARAM(::GetMenuItemID(::GetSubMenu(menus[2], 0), 2), 0), 0);
  MSG msg;
  EXPECT_TRUE(host->TakePosted(WM_VIEWER_EXIT, msg));
  plugin->DestroyViewerWindow(viewers[0]);
  plugin->DestroyViewerWindow(viewers[2]);
  EXPECT_FALSE(::IsWindow(toolBars[0]) || ::IsWindow(toolBars[2]));
  for (HACCEL accel : accels) ::DestroyAcceleratorTable(accel);

  // A new viewer after the last one went works as the first did.
  HWND again = CreateViewer();
  ASSERT_NE(again, nullptr) << LastError();
  EXPECT_EQ(Show(again, second.Name().c_str()), -1);
  EXPECT_TRUE(ShowsText(again, "Second"));
}

}  // namespace
}  // namespace tagscope::test

namespace tagscope::test {
namespace {

constexpr int kFileNameBox = 0x47C;  // the Open dialog's file name combo box

TEST_F(SharedUITest, OpenAsksInADialogOwnedByTheHostAndReportsTheChosenFile) {
  TempFile file(FullyTaggedMp3("Chosen"));
  const UINT openCommand = ::GetMenuItemID(::GetSubMenu(menu, 0), 0);
  {
    TDialogAnswer cancel([](HWND dialog) { ::PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0); });
    ::SendMessageA(viewer, WM_COMMAND, MAKEWPARAM(openCommand, 0), 0);
    ASSERT_NE(cancel.Dialog(), nullptr) << "no dialog appeared";
    EXPECT_EQ(cancel.Owner(), host->Wnd());
  }
  EXPECT_TRUE(host->FilesOpened.empty()) << "cancelling reports nothing";
  EXPECT_FALSE(ShowsText(viewer, "Chosen"));
  {
    // The toolbar's button, living in the host, notifies the host, which routes it on.
    TBBUTTON button = {};
    ASSERT_TRUE(::SendMessageA(toolBar, TB_GETBUTTON, 0, reinterpret_cast<LPARAM>(&button)));
    TDialogAnswer cancel([](HWND dialog) { ::PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0); });
    ::SendMessageA(host->Wnd(), WM_COMMAND, MAKEWPARAM(button.idCommand, BN_CLICKED),
                   reinterpret_cast<LPARAM>(toolBar));
    EXPECT_NE(cancel.Dialog(), nullptr) << "the toolbar button opened no dialog";
  }

  // F3 through the host's accelerators, then a file chosen.
  TDialogAnswer choose([&](HWND dialog) {
    ::SetWindowTextA(::GetDlgItem(dialog, kFileNameBox), file.Name().c_str());
    ::PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  });
  MSG key = {};
  key.hwnd = host->Wnd();
  key.message = WM_KEYDOWN;
  key.wParam = VK_F3;
  EXPECT_NE(::TranslateAcceleratorA(host->Wnd(), accel, &key), 0);
  ASSERT_NE(choose.Dialog(), nullptr);
  ASSERT_EQ(host->FilesOpened.size(), 1u);
  EXPECT_EQ(::lstrcmpiA(host->FilesOpened[0].first.c_str(), file.Name().c_str()), 0)
      << host->FilesOpened[0].first;
  EXPECT_EQ(host->FilesOpened[0].second, "MP3 File");
  EXPECT_TRUE(ShowsText(viewer, "Chosen"));
}

// A host may close the viewer as soon as it learns of the chosen file, from inside the
// notification that the Open command is still waiting on.
TEST_F(SharedUITest, TheHostMayDestroyTheViewerWhileHandlingTheOpenedFile) {
  TempFile file(FullyTaggedMp3("Closing"));
  host->OnFileOpened = [&] {
    plugin->DestroyViewerWindow(viewer);
    host->RouteTo = nullptr;
  };
  TDialogAnswer choose([&](HWND dialog) {
    ::SetWindowTextA(::GetDlgItem(dialog, kFileNameBox), file.Name().c_str());
    ::PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  });
  ::SendMessageA(host->Wnd(), WM_COMMAND, MAKEWPARAM(::GetMenuItemID(::GetSubMenu(menu, 0), 0), 0),
                 0);
  ASSERT_NE(choose.Dialog(), nullptr);
  EXPECT_EQ(host->FilesOpened.size(), 1u);
  EXPECT_FALSE(::IsWindow(viewer));
  MSG msg;
  while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);

  // The module carries on: the old handle is refused and a new viewer works.
  EXPECT_EQ(Show(viewer, file.Name().c_str()), 0);
  HWND next = CreateViewer();
  ASSERT_NE(next, nullptr) << LastError();
  EXPECT_EQ(Show(next, file.Name().c_str()), -1) << LastError();
  EXPECT_TRUE(ShowsText(next, "Closing"));
  plugin->DestroyViewerWindow(next);
}

TEST_F(SharedUITest, TheDialogOwnerIsTheHostOfTheLatestViewer) {
  TTestHost other;
  HWND second =
      plugin->CreateViewerWindow(other.Wnd(), other.AddPane(), 0, FALSE, nullptr, nullptr, nullptr);
  ASSERT_NE(second, nullptr) << LastError();
  TDialogAnswer cancel([](HWND dialog) { ::PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0); });
  ::SendMessageA(viewer, WM_COMMAND, MAKEWPARAM(::GetMenuItemID(::GetSubMenu(menu, 0), 0), 0), 0);
  ASSERT_NE(cancel.Dialog(), nullptr);
  EXPECT_EQ(cancel.Owner(), other.Wnd());
  plugin->DestroyViewerWindow(second);
}

}  // namespace
}  // namespace tagscope::test
