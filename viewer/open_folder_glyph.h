#pragma once

#include "tagscope/imaging/bitmap.h"
#include "ui/types.h"

namespace tagscope {

// The 16 x 16 open-folder image of the Open command, 24 bits per pixel; its background has
// the colour OpenFolderGlyphTransparentColor, which is drawn transparently.
TBitmapData OpenFolderGlyph();
inline constexpr TColor OpenFolderGlyphTransparentColor = clFuchsia;

}  // namespace tagscope
