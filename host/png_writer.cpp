#include "host/png_writer.h"

#include <zlib.h>

#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/file_stream.h"

namespace tagscope {

namespace {

void PutUInt32(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(value >> shift));
}

// A chunk: length, type, data and the CRC of type and data.
void PutChunk(std::string& out, const char* type, const std::string& data) {
  PutUInt32(out, static_cast<std::uint32_t>(data.size()));
  const std::string body = std::string(type, 4) + data;
  out += body;
  PutUInt32(out,
            crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size())));
}

std::string Header(const TRgbImage& image) {
  std::string data;
  PutUInt32(data, static_cast<std::uint32_t>(image.Width));
  PutUInt32(data, static_cast<std::uint32_t>(image.Height));
  data += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter, no interlace
  return data;
}

std::string ImageData(const TRgbImage& image) {
  const size_t rowBytes = static_cast<size_t>(image.Width) * 3;
  std::string raw;
  raw.reserve((rowBytes + 1) * image.Height);
  for (int y = 0; y < image.Height; ++y) {
    raw.push_back('\0');  // filter type: none
    raw.append(reinterpret_cast<const char*>(image.Pixels.data()) + y * rowBytes, rowBytes);
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
                reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()),
                Z_BEST_COMPRESSION) != Z_OK)
    throw Exception("The picture could not be compressed.");
  packed.resize(size);
  return packed;
}

}  // namespace

std::string EncodePng(const TRgbImage& image) {
  if (image.Width <= 0 || image.Height <= 0) throw Exception("The picture is empty.");
  if (image.Pixels.size() != static_cast<size_t>(image.Width) * image.Height * 3)
    throw Exception("The picture's pixels do not match its size.");
  std::string out("\x89PNG\r\n\x1a\n", 8);
  PutChunk(out, "IHDR", Header(image));
  PutChunk(out, "IDAT", ImageData(image));
  PutChunk(out, "IEND", {});
  return out;
}

void WritePng(const std::string& fileName, const TRgbImage& image) {
  const std::string bytes = EncodePng(image);
  TFileStream file(fileName, TFileMode::fmCreate);
  file.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

}  // namespace tagscope
