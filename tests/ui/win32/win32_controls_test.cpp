// Labels, edits, static text, panel and image as native controls.
#include "ui/win32/win32_controls.h"
#include "tests/ui/win32/win32_fixture.h"
#include "ui/win32/win32_node.h"

namespace tagscope::test {
namespace {

class Win32ControlsTest : public Win32Test {
 protected:
  Win32ControlsTest() : page(MakePage()) {}

  TLabel* Label(const char* caption, TBounds bounds, bool wordWrap = false) {
    TLabelProps props;
    props.Name = caption;
    props.Caption = caption;
    props.Bounds = bounds;
    props.WordWrap = wordWrap;
    props.AutoSize = !wordWrap;
    return Own(factory.CreateLabel(*page, props));
  }
  TEdit* Edit(TBounds bounds, int tabOrder, bool multiLine = false) {
    TEditProps props;
    props.Name = "edit" + std::to_string(tabOrder);
    props.Bounds = bounds;
    props.TabOrder = tabOrder;
    props.ReadOnly = true;
    props.MultiLine = multiLine;
    props.ScrollBars = multiLine ? TScrollStyle::ssVertical : TScrollStyle::ssNone;
    return Own(factory.CreateEdit(*page, props));
  }
  TPanel* Panel() {
    TPanelProps props;
    props.Name = "pnlPicture";
    props.Bounds = {207, 8, 148, 148};
    props.TabOrder = 3;
    props.BevelInner = TBevelCut::bvRaised;
    props.Font = TFontProps{"MS Sans Serif", -11, clMaroon, 0};
    return Own(factory.CreatePanel(*page, props));
  }
  TImage* Image(TPanel& panel) {
    TImageProps props;
    props.Name = "imgPicture";
    props.Bounds = {2, 2, 144, 144};
    props.Stretch = true;
    return Own(factory.CreateImage(panel, props));
  }
  static LONG_PTR Style(const TWidget* widget) {
    return GetWindowLongPtrA(WindowOf(*widget), GWL_STYLE);
  }

  TTabSheet* page;
};

LOGFONTA FontOf(HWND window) {
  LOGFONTA lf{};
  GetObjectA(reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0)), sizeof(lf), &lf);
  return lf;
}

TEST_F(Win32ControlsTest, LabelsTakeTheSizeOfTheirCaptionInTheFormsFont) {
  TLabel* title = Label("Title", {8, 15, 10, 10});
  HWND window = WindowOf(*title);
  EXPECT_EQ(TextOf(window), "Title");
  const LOGFONTA lf = FontOf(window);
  EXPECT_STREQ(lf.lfFaceName, "MS Shell Dlg");  // the TrueType stand-in of the form's font
  EXPECT_EQ(lf.lfHeight, -11);
  SIZE text{};
  HDC dc = GetDC(window);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0)));
  GetTextExtentPoint32A(dc, "Title", 5, &text);
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  EXPECT_EQ(title->Bounds(), (TBounds{8, 15, text.cx, text.cy}));

  title->SetCaption("A longer title");
  EXPECT_GT(title->Width(), text.cx);
  EXPECT_EQ(title->Caption(), "A longer title");
}

TEST_F(Win32ControlsTest, AWordWrappedLabelKeepsItsBoundsAndBreaksItsCaption) {
  TLabel* band = Label("Band/ Orchestra", {8, 120, 46, 26}, true);
  EXPECT_EQ(band->Bounds(), (TBounds{8, 120, 46, 26}));
  EXPECT_EQ(Style(band) & SS_TYPEMASK, SS_LEFT);
  EXPECT_EQ(Style(Label("Title", {8, 15, 0, 0})) & SS_TYPEMASK, SS_LEFTNOWORDWRAP);
}

TEST_F(Win32ControlsTest, ReadOnlyEditsWithTheirBoundsAndStyles) {
  TEdit* single = Edit({68, 12, 288, 21}, 0);
  TEdit* memo = Edit({74, 139, 282, 89}, 1, true);
  EXPECT_EQ(single->Bounds(), (TBounds{68, 12, 288, 21}));
  EXPECT_EQ(memo->Bounds(), (TBounds{74, 139, 282, 89}));
  const LONG_PTR s = Style(single), m = Style(memo);
  EXPECT_TRUE(s & ES_READONLY);
  EXPECT_TRUE(s & ES_AUTOHSCROLL);
  EXPECT_TRUE(s & WS_TABSTOP);
  EXPECT_FALSE(s & ES_MULTILINE);
  EXPECT_TRUE(m & ES_READONLY);
  EXPECT_TRUE(m & ES_MULTILINE);
  EXPECT_TRUE(m & WS_VSCROLL);
  EXPECT_FALSE(m & (WS_HSCROLL | ES_AUTOHSCROLL));  // long lines wrap
  EXPECT_TRUE(GetWindowLongPtrA(WindowOf(*single), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
}

TEST_F(Win32ControlsTest, EditTextsRoundTripAndMultiLineEditsShowLineBreaks) {
  TEdit* single = Edit({68, 12, 288, 21}, 0);
  TEdit* memo = Edit({74, 139, 282, 89}, 1, true);
  single->SetText("Caf\xE9 \x80 \xFF");
  EXPECT_EQ(TextOf(WindowOf(*single)), "Caf\xE9 \x80 \xFF");
  EXPECT_EQ(single->Text(), "Caf\xE9 \x80 \xFF");  // not UTF-8: taken in the ANSI code page
  single->SetText("\xE6\x97\xA5 \xCE\xA9 \xF0\x9F\x8E\xB5");
  wchar_t wide[16] = {};
  GetWindowTextW(WindowOf(*single), wide, 16);
  EXPECT_STREQ(wide, L"\u65E5 \u03A9 \U0001F3B5");

  memo->SetText("one\ntwo\r\nthree\rfour");
  EXPECT_EQ(TextOf(WindowOf(*memo)), "one\r\ntwo\r\nthree\r\nfour");
  EXPECT_EQ(SendMessageA(WindowOf(*memo), EM_GETLINECOUNT, 0, 0), 4);
  EXPECT_EQ(memo->Text(), "one\ntwo\r\nthree\rfour");
  memo->Clear();
  EXPECT_EQ(TextOf(WindowOf(*memo)), "");
}

TEST_F(Win32ControlsTest, TheTabOrderDecidesWhichControlFollowsWhichWhateverTheCreationOrder) {
  TEdit* third = Edit({8, 70, 50, 21}, 2);
  TEdit* first = Edit({8, 10, 50, 21}, 0);
  Label("between", {80, 10, 0, 0});
  TEdit* second = Edit({8, 40, 50, 21}, 1);
  HWND pageWindow = WindowOf(*page);
  EXPECT_EQ(GetNextDlgTabItem(pageWindow, WindowOf(*first), FALSE), WindowOf(*second));
  EXPECT_EQ(GetNextDlgTabItem(pageWindow, WindowOf(*second), FALSE), WindowOf(*third));
  EXPECT_EQ(GetNextDlgTabItem(pageWindow, WindowOf(*third), FALSE), WindowOf(*first));
}

TEST_F(Win32ControlsTest, StaticTextIsCentredAndSunkenInItsFixedBounds) {
  TStaticTextProps props;
  props.Name = "txtImageSize";
  props.Bounds = {8, 161, 193, 18};
  props.TabOrder = 1;
  props.Alignment = TAlignment::taCenter;
  props.AutoSize = false;
  props.BorderStyle = TStaticBorderStyle::sbsSunken;
  TStaticText* size = Own(factory.CreateStaticText(*page, props));
  EXPECT_EQ(size->Bounds(), (TBounds{8, 161, 193, 18}));
  EXPECT_EQ(Style(size) & SS_TYPEMASK, SS_CENTER);
  EXPECT_TRUE(Style(size) & SS_SUNKEN);
  EXPECT_EQ(TextOf(WindowOf(*size)), "");
  size->SetCaption("16x16 [822 bytes]");
  EXPECT_EQ(TextOf(WindowOf(*size)), "16x16 [822 bytes]");
  EXPECT_EQ(size->Bounds(), (TBounds{8, 161, 193, 18}));
}

TEST_F(Win32ControlsTest, PanelDrawsTwoRaisedBevelsAndItsCaptionInItsOwnColour) {
  TPanel* panel = Panel();
  HWND window = WindowOf(*panel);
  EXPECT_EQ(panel->Bounds(), (TBounds{207, 8, 148, 148}));
  EXPECT_EQ(PixelAt(window, 0, 0), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(PixelAt(window, 1, 1), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(PixelAt(window, 147, 147), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(PixelAt(window, 146, 146), GetSysColor(COLOR_BTNSHADOW));
  const RECT inside{2, 2, 146, 146};
  EXPECT_EQ(CountPixels(window, inside, RGB(128, 0, 0)), 0);

  panel->SetCaption("A picture that cannot be shown & a long message");
  EXPECT_EQ(TextOf(window), "A picture that cannot be shown & a long message");
  EXPECT_EQ(panel->Caption(), "A picture that cannot be shown & a long message");
  // Wrapped over several lines, all inside the panel: rows that are not all background (the
  // glyphs' edges may be smoothed into other shades).
  int rowsWithText = 0;
  for (int y = 2; y < 146; ++y)
    if (CountPixels(window, {2, y, 146, y + 1}, GetSysColor(COLOR_BTNFACE)) < 144) ++rowsWithText;
  EXPECT_GT(rowsWithText, 13);
  EXPECT_GT(CountPixels(window, inside, RGB(128, 0, 0)), 0);
}

TBitmapData FourColours() {
  // 2 x 2 pixels, 24 bits, rows bottom-up: bottom row blue, white; top row red, fuchsia.
  TBitmapData bitmap;
  bitmap.Width = 2;
  bitmap.Height = 2;
  bitmap.BitCount = 24;
  bitmap.Pixels = {255, 0, 0,   255, 255, 255, 0, 0,  //
                   0,   0, 255, 255, 0,   255, 0, 0};
  return bitmap;
}

TEST_F(Win32ControlsTest, ImageStretchesItsPictureOverTheWholeControl) {
  TPanel* panel = Panel();
  panel->SetCaption("hidden behind the image");
  TImage* image = Own(factory.CreateImage(*panel, [] {
    TImageProps props;
    props.Name = "imgPicture";
    props.Bounds = {2, 2, 144, 144};
    props.Stretch = true;
    return props;
  }()));
  HWND window = WindowOf(*image);
  EXPECT_EQ(image->Bounds(), (TBounds{2, 2, 144, 144}));
  EXPECT_EQ(PixelAt(window, 36, 36), GetSysColor(COLOR_BTNFACE));  // no picture yet

  image->SetPicture(FourColours());
  EXPECT_TRUE(image->HasPicture());
  EXPECT_EQ(PixelAt(window, 36, 36), RGB(255, 0, 0));
  EXPECT_EQ(PixelAt(window, 108, 36), RGB(255, 0, 255));
  EXPECT_EQ(PixelAt(window, 36, 108), RGB(0, 0, 255));
  EXPECT_EQ(PixelAt(window, 108, 108), RGB(255, 255, 255));
  EXPECT_EQ(CountPixels(WindowOf(*panel), {2, 2, 146, 146}, RGB(128, 0, 0)), 0);

  image->SetTransparentColor(clFuchsia);
  EXPECT_EQ(PixelAt(window, 108, 36), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(image->Picture().Pixels, FourColours().Pixels);  // kept as given

  image->Hide();
  EXPECT_GT(CountPixels(WindowOf(*panel), {2, 2, 146, 146}, RGB(128, 0, 0)), 0);
}

TEST_F(Win32ControlsTest, PalettedPicturesDrawThroughTheirPaletteAndBrokenOnesDrawNothing) {
  TImage* image = Image(*Panel());
  HWND window = WindowOf(*image);
  TBitmapData paletted;
  paletted.Width = 1;
  paletted.Height = 1;
  paletted.BitCount = 8;
  paletted.Palette = {{0, 0, 0, 0}, {0, 128, 0, 0}};
  paletted.Pixels = {1, 0, 0, 0};
  image->SetPicture(paletted);
  EXPECT_EQ(PixelAt(window, 70, 70), RGB(0, 128, 0));

  TBitmapData broken = FourColours();
  broken.Pixels.resize(5);  // rows missing
  image->SetPicture(broken);
  EXPECT_EQ(PixelAt(window, 70, 70), GetSysColor(COLOR_BTNFACE));
  image->ClearPicture();
  EXPECT_FALSE(image->HasPicture());
}

TEST_F(Win32ControlsTest, PicturesWithAlphaAreBlendedOverThePanelFace) {
  TImage* image = Image(*Panel());
  HWND window = WindowOf(*image);
  TBitmapData bitmap;  // transparent red, half-opaque white, opaque blue
  bitmap.Width = 3;
  bitmap.Height = 1;
  bitmap.BitCount = 32;
  bitmap.HasAlpha = true;
  bitmap.Pixels = {0, 0, 255, 0, 255, 255, 255, 128, 255, 0, 0, 255};
  image->SetPicture(bitmap);
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  auto half = [](int back) { return (255 * 128 + back * 127 + 127) / 255; };
  EXPECT_EQ(PixelAt(window, 20, 70), face);
  EXPECT_EQ(PixelAt(window, 72, 70),
            RGB(half(GetRValue(face)), half(GetGValue(face)), half(GetBValue(face))));
  EXPECT_EQ(PixelAt(window, 124, 70), RGB(0, 0, 255));
  EXPECT_EQ(image->Picture().Pixels, bitmap.Pixels);  // kept as given
}

TEST(Win32TextTest, LineEndsBecomeCrLf) {
  EXPECT_EQ(ToCrLf(""), "");
  EXPECT_EQ(ToCrLf("a\nb\n"), "a\r\nb\r\n");
  EXPECT_EQ(ToCrLf("a\r\nb"), "a\r\nb");
  EXPECT_EQ(ToCrLf("\r\r\n\n"), "\r\n\r\n\r\n");
}

}  // namespace
}  // namespace tagscope::test
