#include <gtest/gtest.h>

#include "ui/headless/headless_factory.h"
#include "ui/menu.h"

namespace tagscope {
namespace {

// A "&File" menu with Open (F3), a separator and Exit (Esc), the items bound to actions.
struct FileMenu {
  TActionList actions{"ActionList1"};
  TAction* open = actions.Add("actFileOpen");
  TAction* exit = actions.Add("actFileExit");
  THeadlessFactory factory;
  std::unique_ptr<TMainMenu> menu;
  TMenuItem* openItem = nullptr;
  TMenuItem* separator = nullptr;
  TMenuItem* exitItem = nullptr;
  int opened = 0, exited = 0;

  FileMenu() {
    open->Caption = "&Open...";
    open->ShortCut = vkF3;
    open->OnExecute = [this](TAction&) { ++opened; };
    exit->Caption = "E&xit";
    exit->ShortCut = vkEscape;
    exit->OnExecute = [this](TAction&) { ++exited; };
    auto root = std::make_unique<TMenuItem>("MainMenu1");
    TMenuItem* file = root->Add(std::make_unique<TMenuItem>("File1", "&File"));
    openItem = file->Add(std::make_unique<TMenuItem>("Open1", "", open));
    separator = file->Add(std::make_unique<TMenuItem>("N2", "-"));
    exitItem = file->Add(std::make_unique<TMenuItem>("Exit1", "", exit));
    menu = factory.CreateMainMenu("MainMenu1", std::move(root));
  }
};

TEST(MenuTest, ItemsTakeCaptionAndShortcutFromTheirAction) {
  FileMenu m;
  EXPECT_EQ(m.openItem->Caption(), "&Open...");
  EXPECT_EQ(m.openItem->ShortCut(), 114);
  EXPECT_EQ(m.exitItem->ShortCut(), 27);
  EXPECT_TRUE(m.separator->IsSeparator());
}

TEST(MenuTest, CommandIdentifiersAreDistinctAndFindTheirItem) {
  FileMenu m;
  FileMenu other;
  EXPECT_NE(m.openItem->Command(), m.exitItem->Command());
  EXPECT_NE(m.openItem->Command(), other.openItem->Command());
  EXPECT_EQ(m.menu->FindItem(m.openItem->Command()), m.openItem);
  EXPECT_EQ(m.menu->FindItem(m.exitItem->Command()), m.exitItem);
  EXPECT_EQ(m.menu->FindItem(other.openItem->Command()), nullptr);
  // The invisible root is not an item of the menu bar.
  EXPECT_EQ(m.menu->FindItem(m.menu->Items().Command()), nullptr);
}

TEST(MenuTest, ClickRunsTheActionOnce) {
  FileMenu m;
  m.openItem->Click();
  m.exitItem->Click();
  m.separator->Click();
  EXPECT_EQ(m.opened, 1);
  EXPECT_EQ(m.exited, 1);
}

TEST(MenuTest, AcceleratorsListShortcutsInMenuOrder) {
  FileMenu m;
  const auto table = MenuAccelerators(*m.menu);
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table[0], (TAcceleratorEntry{afVirtKey | afNoInvert, 114, m.openItem->Command()}));
  EXPECT_EQ(table[1], (TAcceleratorEntry{afVirtKey | afNoInvert, 27, m.exitItem->Command()}));
}

TEST(MenuTest, AcceleratorsCarryModifiersAndStopBelowAShortcut) {
  THeadlessFactory factory;
  auto root = std::make_unique<TMenuItem>("root");
  TMenuItem* parent = root->Add(std::make_unique<TMenuItem>("parent", "Parent"));
  parent->SetShortCut(scCtrl | scShift | scAlt | 'P');
  parent->Add(std::make_unique<TMenuItem>("child", "Child"))->SetShortCut('C');
  auto menu = factory.CreateMainMenu("menu", std::move(root));
  const auto table = MenuAccelerators(*menu);
  ASSERT_EQ(table.size(), 1u);
  EXPECT_EQ(table[0].Flags, afVirtKey | afNoInvert | afShift | afControl | afAlt);
  EXPECT_EQ(table[0].Key, 'P');
}

TEST(MenuTest, NoShortcutsGiveAnEmptyTable) {
  THeadlessFactory factory;
  auto root = std::make_unique<TMenuItem>("root");
  root->Add(std::make_unique<TMenuItem>("item", "Item"));
  EXPECT_TRUE(MenuAccelerators(*factory.CreateMainMenu("menu", std::move(root))).empty());
}

}  // namespace
}  // namespace tagscope
