// The frame decoder against the plain step-by-step one: the first four bytes choose width,
// height, pixel bits and interlacing, the rest is the code stream. Both must agree on every
// pixel and on the damaged mark.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "imaging/gif_decoder.h"
#include "tests/imaging/gif_reference_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  const int width = data[0] % 97;
  const int height = data[1] % 61;
  const int bits = 1 + (data[2] & 7);
  const bool interlaced = (data[2] & 8) != 0;
  const std::string stream(reinterpret_cast<const char*>(data) + 4, size - 4);
  tagscope::TGIFColors colors;
  colors.Count = data[3];
  const auto fast = tagscope::DecodeFrame(stream, width, height, bits, colors, interlaced);
  const auto plain =
      tagscope::test::ReferenceDecodeFrame(stream, width, height, bits, colors, interlaced);
  if (fast.Bitmap.Pixels != plain.Bitmap.Pixels || fast.Damaged != plain.Damaged ||
      fast.Bitmap.Palette != plain.Bitmap.Palette)
    std::abort();
  return 0;
}
