#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tagscope {

// A picture as 8-bit red, green, blue triples, rows from the top.
struct TRgbImage {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint8_t> Pixels;  // Width * Height * 3 bytes
};

// The picture as a PNG file's bytes: 8-bit RGB, not interlaced, every row unfiltered, the image
// data deflated by zlib. Raises tagscope::Exception for an empty picture or a pixel buffer of the
// wrong size.
std::string EncodePng(const TRgbImage& image);
// Writes EncodePng's bytes into a new file; raises what the file stream raises.
void WritePng(const std::string& fileName, const TRgbImage& image);

}  // namespace tagscope
