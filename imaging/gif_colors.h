#pragma once

#include <array>
#include <cstdint>

#include "tagscope/imaging/graphic.h"

namespace tagscope {

// A GIF colour table: Count valid entries (0 = no table) of red, green, blue.
struct TGIFColors {
  int32_t Count = 0;
  std::array<std::array<uint8_t, 3>, 256> Colors{};

  TColor Color(int index) const {
    const auto& c = Colors[static_cast<size_t>(index)];
    return RGBColor(c[0], c[1], c[2]);
  }
};

// The number of bits per entry of a table of count entries: the smallest n with 2^n >= count.
inline int BitsForColorCount(int count) {
  int bits = 1;
  while (bits < 8 && (1 << bits) < count) ++bits;
  return bits;
}

}  // namespace tagscope
