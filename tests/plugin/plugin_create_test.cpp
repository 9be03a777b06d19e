// Creating and destroying viewers through the exports, with and without the shared UI.
#include "tests/plugin/plugin_fixture.h"

namespace tagscope::test {
namespace {

const auto kUntouchedMenu = reinterpret_cast<HMENU>(0x5151);
const auto kUntouchedWnd = reinterpret_cast<HWND>(0x5252);
const auto kUntouchedAccel = reinterpret_cast<HACCEL>(0x5353);

std::string MenuText(HMENU menu, UINT position) {
  char text[64] = {};
  ::GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
  // A shortcut, if the menu shows one, follows a tab.
  std::string result = text;
  return result.substr(0, result.find('\t'));
}

TEST_F(PluginTest, ExportsTheFourFunctionsByNameAndOrdinal) {
  EXPECT_EQ(plugin->ProcByOrdinal(1), ::GetProcAddress(plugin->Module(), "GetLastErrorText"));
  EXPECT_EQ(plugin->ProcByOrdinal(2), ::GetProcAddress(plugin->Module(), "DestroyViewerWindow"));
  EXPECT_EQ(plugin->ProcByOrdinal(3), ::GetProcAddress(plugin->Module(), "ShowFile"));
  EXPECT_EQ(plugin->ProcByOrdinal(4), ::GetProcAddress(plugin->Module(), "CreateViewerWindow"));
  EXPECT_EQ(plugin->ProcByOrdinal(5), nullptr);
}

TEST_F(PluginTest, CreatesAHiddenChildOfTheParentBoundToItsViewer) {
  HMENU menu = kUntouchedMenu;
  HWND toolBar = kUntouchedWnd;
  HACCEL accel = kUntouchedAccel;
  HWND viewer = CreateViewer(FALSE, &menu, &toolBar, &accel, 0xDEADBEEF);  // any Reserved value
  ASSERT_NE(viewer, nullptr) << LastError();

  EXPECT_EQ(::GetParent(viewer), pane);
  EXPECT_TRUE(HasStyle(viewer, WS_CHILD));
  EXPECT_FALSE(HasStyle(viewer, WS_VISIBLE));
  RECT bounds;
  ::GetWindowRect(viewer, &bounds);
  ::MapWindowPoints(nullptr, pane, reinterpret_cast<POINT*>(&bounds), 2);
  EXPECT_EQ(bounds.left, 0);
  EXPECT_EQ(bounds.top, 0);
  RECT client;
  ::GetClientRect(viewer, &client);
  EXPECT_EQ(client.right, 404);
  EXPECT_EQ(client.bottom, 389);
  EXPECT_NE(::GetWindowLongPtrA(viewer, GWLP_USERDATA), 0);

  // Without a shared UI the out-arguments stay as they were and the host gets no toolbar.
  EXPECT_EQ(menu, kUntouchedMenu);
  EXPECT_EQ(toolBar, kUntouchedWnd);
  EXPECT_EQ(accel, kUntouchedAccel);
  EXPECT_EQ(::FindWindowExA(host->Wnd(), nullptr, TOOLBARCLASSNAMEA, nullptr), nullptr);
  const std::vector<HWND> toolBars = Descendants(viewer, TOOLBARCLASSNAMEA);
  ASSERT_EQ(toolBars.size(), 1u);
  EXPECT_FALSE(HasStyle(toolBars[0], WS_VISIBLE)) << "the toolbar stays hidden on the form";
  EXPECT_EQ(::GetMenu(viewer), nullptr);
}

TEST_F(PluginTest, SharesMenuToolbarAndAcceleratorsWithTheHost) {
  HMENU menu = nullptr;
  HWND toolBar = nullptr;
  HACCEL accel = nullptr;
  HWND viewer = CreateViewer(TRUE, &menu, &toolBar, &accel);
  ASSERT_NE(viewer, nullptr) << LastError();

  ASSERT_TRUE(::IsMenu(menu));
  ASSERT_EQ(::GetMenuItemCount(menu), 1);
  EXPECT_EQ(MenuText(menu, 0), "&File");
  HMENU file = ::GetSubMenu(menu, 0);
  ASSERT_EQ(::GetMenuItemCount(file), 3);
  EXPECT_EQ(MenuText(file, 0), "&Open...");
  EXPECT_EQ(::GetMenuState(file, 1, MF_BYPOSITION) & MF_SEPARATOR, UINT(MF_SEPARATOR));
  EXPECT_EQ(MenuText(file, 2), "E&xit");
  EXPECT_EQ(::GetMenu(viewer), nullptr) << "the viewer shows no menu bar of its own";

  ASSERT_TRUE(::IsWindow(toolBar));
  EXPECT_EQ(::GetParent(toolBar), host->Wnd());
  EXPECT_TRUE(HasStyle(toolBar, WS_VISIBLE));
  RECT bar;
  ::GetWindowRect(toolBar, &bar);
  ::MapWindowPoints(nullptr, host->Wnd(), reinterpret_cast<POINT*>(&bar), 2);
  EXPECT_EQ(bar.left, 0);
  EXPECT_EQ(bar.top, 0);
  EXPECT_EQ(bar.bottom - bar.top, 24);
  EXPECT_EQ(bar.right - bar.left, 404) << "the toolbar is as wide as the viewer";

  ASSERT_NE(accel, nullptr);
  ACCEL entries[4] = {};
  ASSERT_EQ(::CopyAcceleratorTableA(accel, entries, 4), 2);
  EXPECT_EQ(entries[0].fVirt, FVIRTKEY | FNOINVERT);
  EXPECT_EQ(entries[0].key, VK_F3);
  EXPECT_EQ(entries[0].cmd, ::GetMenuItemID(file, 0));
  EXPECT_EQ(entries[1].fVirt, FVIRTKEY | FNOINVERT);
  EXPECT_EQ(entries[1].key, VK_ESCAPE);
  EXPECT_EQ(entries[1].cmd, ::GetMenuItemID(file, 2));
  EXPECT_NE(entries[0].cmd, entries[1].cmd);
  ::DestroyAcceleratorTable(accel);  // the host's to free
}

TEST_F(PluginTest, DestroyingFreesWindowMenuAndToolbarAndIgnoresRepeatsAndStrangers) {
  HMENU menu = nullptr;
  HWND toolBar = nullptr;
  HACCEL accel = nullptr;
  HWND viewer = CreateViewer(TRUE, &menu, &toolBar, &accel);
  ASSERT_NE(viewer, nullptr) << LastError();
  ::DestroyAcceleratorTable(accel);

  plugin->DestroyViewerWindow(viewer);
  EXPECT_FALSE(::IsWindow(viewer));
  EXPECT_FALSE(::IsWindow(toolBar));
  EXPECT_FALSE(::IsMenu(menu));
  plugin->DestroyViewerWindow(viewer);  // twice: nothing happens
  plugin->DestroyViewerWindow(nullptr);
  plugin->DestroyViewerWindow(reinterpret_cast<HWND>(0x12340));

  // A window that is not a viewer stays, whatever its user-data slot holds.
  ::SetWindowLongPtrA(pane, GWLP_USERDATA, 0x1000);
  plugin->DestroyViewerWindow(pane);
  plugin->DestroyViewerWindow(host->Wnd());
  EXPECT_TRUE(::IsWindow(pane));
  EXPECT_TRUE(::IsWindow(host->Wnd()));
  EXPECT_EQ(LastError(), "") << "destroying reports nothing";
}

TEST_F(PluginTest, FailsCleanlyWhenTheParentIsNoWindow) {
  HMENU menu = kUntouchedMenu;
  HWND toolBar = kUntouchedWnd;
  HACCEL accel = kUntouchedAccel;
  HWND viewer = plugin->CreateViewerWindow(host->Wnd(), reinterpret_cast<HWND>(0x12340), 0, TRUE,
                                           &menu, &toolBar, &accel);
  EXPECT_EQ(viewer, nullptr);
  EXPECT_NE(LastError(), "");
  EXPECT_EQ(menu, kUntouchedMenu);
  EXPECT_EQ(toolBar, kUntouchedWnd);
  EXPECT_EQ(accel, kUntouchedAccel);
  // The module still works afterwards.
  EXPECT_NE(CreateViewer(), nullptr) << LastError();
}

TEST_F(PluginTest, SurvivesUnloadingAndLoadingAgain) {
  HWND viewer = CreateViewer(TRUE);
  ASSERT_NE(viewer, nullptr) << LastError();
  plugin->DestroyViewerWindow(viewer);
  plugin.reset();
  EXPECT_EQ(::GetModuleHandleA("tagscope.dll"), nullptr) << "the module stayed loaded";

  plugin = std::make_unique<TPluginLibrary>(PluginPath());
  viewer = CreateViewer();
  ASSERT_NE(viewer, nullptr) << LastError();
  TempFile file(FullyTaggedMp3("Second life"));
  EXPECT_EQ(Show(viewer, file.Name().c_str()), -1) << LastError();
  EXPECT_TRUE(ShowsText(viewer, "Second life"));
  plugin->DestroyViewerWindow(viewer);
}

}  // namespace
}  // namespace tagscope::test
