// The toolbar with its image list, and the menu bar.
#include "tagscope/rtl/exception.h"
#include "tests/ui/win32/win32_fixture.h"
#include "ui/win32/win32_menu.h"
#include "ui/win32/win32_node.h"

namespace tagscope::test {
namespace {

// 16 x 16, 24 bits: a black square on a fuchsia background.
TBitmapData Glyph() {
  TBitmapData bitmap;
  bitmap.Width = 16;
  bitmap.Height = 16;
  bitmap.BitCount = 24;
  bitmap.Pixels.resize(static_cast<size_t>(bitmap.Stride()) * 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      uint8_t* pixel = bitmap.TopDownRow(y) + x * 3;
      const bool inside = x >= 4 && x < 12 && y >= 4 && y < 12;
      pixel[0] = inside ? 0 : 255;
      pixel[1] = 0;
      pixel[2] = inside ? 0 : 255;
    }
  return bitmap;
}

class Win32ToolBarTest : public Win32Test {
 protected:
  Win32ToolBarTest() {
    images = Own(factory.CreateImageList({"ImageList1", 16, 16}));
    images->Add(Glyph(), clFuchsia);
    open.Hint = "Open";
    open.OnExecute = [this](TAction&) { ++opened; };
    TToolBarProps props;
    props.Name = "ToolBar1";
    props.Caption = "ToolBar1";
    props.Bounds = {0, 0, 69, 24};
    props.TabOrder = 0;
    props.Visible = false;
    props.Flat = true;
    props.ShowHint = true;
    props.ParentShowHint = false;
    props.Images = images;
    toolBar = Own(factory.CreateToolBar(*form, props));
    toolBar->AddButton({"ToolButton1", 0, "Open", &open});
    window = WindowOf(*toolBar);
    form->OnCommand = [this](const TCommandMessage& message) { commands.push_back(message); };
  }
  void ClickButton() {
    RECT r{};
    SendMessageA(window, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r));
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(window, WM_LBUTTONUP, 0, at);
    PumpMessages();
  }

  TImageList* images = nullptr;
  TAction open{"actFileOpen"};
  int opened = 0;
  TToolBar* toolBar = nullptr;
  HWND window = nullptr;
  std::vector<TCommandMessage> commands;
};

TEST_F(Win32ToolBarTest, AHiddenFlatToolBarWithOneImageButtonAndItsHint) {
  EXPECT_EQ(toolBar->Bounds(), (TBounds{0, 0, 69, 24}));
  EXPECT_FALSE(toolBar->Visible());
  const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
  EXPECT_TRUE(style & TBSTYLE_FLAT);
  EXPECT_TRUE(style & TBSTYLE_TOOLTIPS);
  EXPECT_TRUE(style & CCS_NORESIZE);
  EXPECT_EQ(SendMessageA(window, TB_BUTTONCOUNT, 0, 0), 1);
  EXPECT_EQ(SendMessageA(window, TB_GETIMAGELIST, 0, 0), static_cast<LRESULT>(images->Handle()));
  TBBUTTON button{};
  SendMessageA(window, TB_GETBUTTON, 0, reinterpret_cast<LPARAM>(&button));
  EXPECT_EQ(button.iBitmap, 0);

  HWND tips = reinterpret_cast<HWND>(SendMessageA(window, TB_GETTOOLTIPS, 0, 0));
  ASSERT_NE(tips, nullptr);
  char text[80] = {};
  TOOLINFOA info{};
  info.cbSize = TTTOOLINFOA_V2_SIZE;
  info.hwnd = window;
  info.uId = static_cast<UINT_PTR>(button.idCommand);
  info.lpszText = text;
  SendMessageA(tips, TTM_GETTEXTA, sizeof(text), reinterpret_cast<LPARAM>(&info));
  EXPECT_STREQ(text, "Open");
}

TEST_F(Win32ToolBarTest, ImageListKeepsTheGlyphWithItsTransparentColourMasked) {
  HIMAGELIST list = reinterpret_cast<HIMAGELIST>(images->Handle());
  EXPECT_EQ(ImageList_GetImageCount(list), 1);
  int width = 0, height = 0;
  ImageList_GetIconSize(list, &width, &height);
  EXPECT_EQ(width, 16);
  EXPECT_EQ(height, 16);

  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 16, 16);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, bitmap);
  HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
  RECT all{0, 0, 16, 16};
  FillRect(dc, &all, green);
  ImageList_Draw(list, 0, dc, 0, 0, ILD_TRANSPARENT);
  EXPECT_EQ(GetPixel(dc, 1, 1), RGB(0, 255, 0));  // background shows through
  EXPECT_EQ(GetPixel(dc, 8, 8), RGB(0, 0, 0));
  SelectObject(dc, old);
  DeleteObject(green);
  DeleteObject(bitmap);
  DeleteDC(dc);

  EXPECT_THROW(images->Add(TBitmapData{}, std::nullopt), Exception);
  TBitmapData wide = Glyph();
  wide.Width = 32;
  EXPECT_THROW(images->Add(wide, std::nullopt), Exception);
  EXPECT_EQ(images->Count(), 1);
}

TEST_F(Win32ToolBarTest, AClickOnTheButtonRunsItsActionAndTheFormSeesTheToolBarAsSource) {
  toolBar->Show();
  ClickButton();
  EXPECT_EQ(opened, 1);
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].Source, toolBar->Handle());
}

TEST_F(Win32ToolBarTest, MovedIntoAForeignWindowItKeepsItsBoundsAndItsButtonStillWorks) {
  TTestWindow other(300, 100);
  toolBar->SetParentWindow(other.Native());
  toolBar->Show();
  EXPECT_EQ(GetParent(window), other.Handle());
  EXPECT_EQ(toolBar->Bounds(), (TBounds{0, 0, 69, 24}));
  toolBar->SetWidth(404);
  EXPECT_EQ(toolBar->Bounds(), (TBounds{0, 0, 404, 24}));
  ClickButton();
  EXPECT_EQ(opened, 1);

  // Freed while it lives in the foreign window: it goes from there too.
  components.Clear();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_TRUE(IsWindow(other.Handle()));
}

TEST_F(Win32ToolBarTest, AnActionThatFailsIsShownAsAnError) {
  open.OnExecute = [](TAction&) { throw Exception("Cannot open file \"a.mp3\"."); };
  toolBar->Show();
  ClickButton();
  EXPECT_EQ(errors, std::vector<std::string>{"Cannot open file \"a.mp3\"."});
}

std::string MenuText(HMENU menu, int position) {
  char text[64] = {};
  GetMenuStringA(menu, static_cast<UINT>(position), text, sizeof(text), MF_BYPOSITION);
  return text;
}

TEST(Win32MenuTest, AMenuBarWithAPopUpItsShortcutsAndCommandIdentifiers) {
  TAction open("actFileOpen"), exit("actFileExit");
  open.Caption = "&Open...";
  open.ShortCut = vkF3;
  exit.Caption = "E&xit";
  exit.ShortCut = vkEscape;
  auto root = std::make_unique<TMenuItem>("MainMenu1");
  TMenuItem* file = root->Add(std::make_unique<TMenuItem>("File1", "&File"));
  TMenuItem* open1 = file->Add(std::make_unique<TMenuItem>("Open1", "", &open));
  file->Add(std::make_unique<TMenuItem>("N2", "-"));
  TMenuItem* exit1 = file->Add(std::make_unique<TMenuItem>("Exit1", "", &exit));
  TWin32MainMenu menu("MainMenu1", std::move(root));

  HMENU bar = reinterpret_cast<HMENU>(menu.Handle());
  ASSERT_TRUE(IsMenu(bar));
  ASSERT_EQ(GetMenuItemCount(bar), 1);
  EXPECT_EQ(MenuText(bar, 0), "&File");
  HMENU popup = GetSubMenu(bar, 0);
  ASSERT_EQ(GetMenuItemCount(popup), 3);
  EXPECT_EQ(MenuText(popup, 0), "&Open...\tF3");
  EXPECT_EQ(GetMenuItemID(popup, 0), open1->Command());
  EXPECT_TRUE(GetMenuState(popup, 1, MF_BYPOSITION) & MF_SEPARATOR);
  EXPECT_EQ(MenuText(popup, 2), "E&xit\tEsc");
  EXPECT_EQ(GetMenuItemID(popup, 2), exit1->Command());
}

TEST(Win32MenuTest, ShortcutTexts) {
  EXPECT_EQ(ShortCutText(scNone), "");
  EXPECT_EQ(ShortCutText(vkF3), "F3");
  EXPECT_EQ(ShortCutText(vkEscape), "Esc");
  EXPECT_EQ(ShortCutText(scCtrl | 'O'), "Ctrl+O");
  EXPECT_EQ(ShortCutText(scShift | scCtrl | scAlt | VK_F12), "Shift+Ctrl+Alt+F12");
  EXPECT_EQ(ShortCutText(0xFF), "");
}

}  // namespace
}  // namespace tagscope::test
