#include "viewer/open_folder_glyph.h"

#include <array>

namespace tagscope {

namespace {

// '.' background, '#' outline, 'b' back of the folder, 'f' its opened front flap.
constexpr std::array<const char*, 16> kPicture = {
    "................",  //
    "................",  //
    "................",  //
    ".####...........",  //
    "#bbbb#..........",  //
    "#bbbbb#######...",  //
    "#bbbbbbbbbbbb#..",  //
    "#bbb###########.",  //
    "#bb#fffffffffff#",  //
    "#bb#ffffffffff#.",  //
    "#b#ffffffffff#..",  //
    "#b#fffffffff#...",  //
    "##fffffffff#....",  //
    "############....",  //
    "................",  //
    "................",  //
};

void PutPixel(TBitmapData& bitmap, int x, int y, TColor color) {
  uint8_t* pixel = bitmap.TopDownRow(y) + x * 3;
  pixel[0] = static_cast<uint8_t>(color >> 16);  // blue
  pixel[1] = static_cast<uint8_t>(color >> 8);   // green
  pixel[2] = static_cast<uint8_t>(color);        // red
}

TColor ColorOf(char c) {
  switch (c) {
    case '#':
      return 0x000000;
    case 'b':
      return 0x00C0C0;  // dark yellow
    case 'f':
      return 0x80FFFF;  // light yellow
    default:
      return OpenFolderGlyphTransparentColor;
  }
}

}  // namespace

TBitmapData OpenFolderGlyph() {
  TBitmapData bitmap;
  bitmap.Width = 16;
  bitmap.Height = 16;
  bitmap.BitCount = 24;
  bitmap.Pixels.assign(static_cast<size_t>(bitmap.Stride()) * 16, 0);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) PutPixel(bitmap, x, y, ColorOf(kPicture[y][x]));
  return bitmap;
}

}  // namespace tagscope
