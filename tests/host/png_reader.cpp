#include "tests/host/png_reader.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <sstream>

namespace tagscope::test {

namespace {

std::uint32_t GetUInt32(const std::string& bytes, size_t at) {
  std::uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<std::uint8_t>(bytes.at(at + i));
  return value;
}

}  // namespace

TRgbImage DecodePng(const std::string& bytes) {
  TRgbImage image;
  if (bytes.compare(0, 8, std::string("\x89PNG\r\n\x1a\n", 8)) != 0) {
    ADD_FAILURE() << "no PNG signature";
    return {};
  }
  std::string packed;
  for (size_t at = 8; at + 12 <= bytes.size();) {
    const std::uint32_t length = GetUInt32(bytes, at);
    const std::string type = bytes.substr(at + 4, 4);
    const std::string body = bytes.substr(at + 4, 4 + length);
    const std::uint32_t crc = GetUInt32(bytes, at + 8 + length);
    if (crc != crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size())) {
      ADD_FAILURE() << "bad CRC in chunk " << type;
      return {};
    }
    const std::string data = body.substr(4);
    if (type == "IHDR") {
      image.Width = static_cast<int>(GetUInt32(data, 0));
      image.Height = static_cast<int>(GetUInt32(data, 4));
      EXPECT_EQ(data.substr(8), std::string("\x08\x02\x00\x00\x00", 5));
    } else if (type == "IDAT") {
      packed += data;
    } else if (type == "IEND") {
      break;
    }
    at += 12 + length;
  }
  const size_t rowBytes = static_cast<size_t>(image.Width) * 3;
  std::string raw((rowBytes + 1) * image.Height, '\0');
  uLongf size = raw.size();
  if (uncompress(reinterpret_cast<Bytef*>(raw.data()), &size,
                 reinterpret_cast<const Bytef*>(packed.data()), packed.size()) != Z_OK ||
      size != raw.size()) {
    ADD_FAILURE() << "image data does not inflate to the picture's size";
    return {};
  }
  for (int y = 0; y < image.Height; ++y) {
    EXPECT_EQ(raw[y * (rowBytes + 1)], '\0') << "row " << y << " is filtered";
    const char* row = raw.data() + y * (rowBytes + 1) + 1;
    image.Pixels.insert(image.Pixels.end(), row, row + rowBytes);
  }
  return image;
}

std::string ReadFileBytes(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

}  // namespace tagscope::test
