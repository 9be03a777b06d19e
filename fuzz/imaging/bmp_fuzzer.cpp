// The Windows bitmap reader on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/bmp_reader.h"
#include "tagscope/imaging/graphic.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    tagscope::TBitmapData bitmap =
        tagscope::ReadBitmapFile(std::string(reinterpret_cast<const char*>(data), size));
    uint8_t r, g, b;
    if (!bitmap.Empty()) bitmap.PixelRGB(bitmap.Width - 1, 0, r, g, b);
  } catch (const tagscope::Exception&) {
  }
  return 0;
}
