// Frame 0 through our GIF reader and through giflib: for every input that giflib decodes
// without an error, both must give the same colour indexes. The first three bytes choose the
// frame's width, height, colour table bits and interlacing; the rest is the frame's code
// stream (code size byte and data sub-blocks), put into a GIF file with a global colour table.
#include <gif_lib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/gif_picture.h"
#include "tagscope/rtl/exception.h"

namespace {

struct TMemory {
  const std::string& Data;
  size_t Pos = 0;
};

int ReadMemory(GifFileType* gif, GifByteType* buffer, int count) {
  auto* in = static_cast<TMemory*>(gif->UserData);
  const size_t n = std::min(static_cast<size_t>(count), in->Data.size() - in->Pos);
  std::memcpy(buffer, in->Data.data() + in->Pos, n);
  in->Pos += n;
  return static_cast<int>(n);
}

// Frame 0's indexes as giflib decodes them; false when giflib reports an error.
bool GiflibFrame(const std::string& file, std::vector<uint8_t>& indexes) {
  TMemory input{file};
  int error = 0;
  GifFileType* gif = DGifOpen(&input, ReadMemory, &error);
  if (!gif) return false;
  const bool ok = DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0;
  if (ok) {
    const SavedImage& image = gif->SavedImages[0];
    const size_t count = size_t(image.ImageDesc.Width) * size_t(image.ImageDesc.Height);
    indexes.assign(image.RasterBits, image.RasterBits + count);
  }
  DGifCloseFile(gif, &error);
  return ok;
}

// Whether the codes up to the frame's last pixel include one above the next free code. No
// writer makes such data and decoders differ on it: ours repeats the previous code's string, as
// for the next free code itself; giflib makes up a pixel.
bool HasCodeAboveNextFree(const uint8_t* stream, size_t size, size_t pixels) {
  std::vector<uint8_t> data;
  for (size_t pos = 1; pos < size && stream[pos] != 0 && stream[pos] < size - pos;
       pos += 1 + stream[pos])
    data.insert(data.end(), stream + pos + 1, stream + pos + 1 + stream[pos]);
  const int codeSize = stream[0];
  const uint32_t clear = 1u << codeSize;
  std::vector<uint32_t> length(4096, 1);
  uint32_t next = clear + 2, prev = 0;
  int width = codeSize + 1;
  bool first = true;
  size_t count = 0;
  for (size_t bit = 0; bit + static_cast<size_t>(width) <= data.size() * 8 && count < pixels;) {
    uint32_t code = 0;
    for (int i = 0; i < width; ++i, ++bit) code |= ((data[bit / 8] >> (bit % 8)) & 1u) << i;
    if (code == clear) {
      next = clear + 2;
      width = codeSize + 1;
      first = true;
      continue;
    }
    if (code == clear + 1 || (first && code > clear)) return false;
    if (first) {
      first = false;
      ++count;
    } else {
      if (code > next) return true;
      count += code == next ? length[prev] + 1 : length[code];
      if (next < 4096) {
        length[next] = length[prev] + 1;
        if (++next == (1u << width) && width < 12) ++width;
      }
    }
    prev = code;
  }
  return false;
}

void PutWord(std::string& s, int v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>(v >> 8));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const int width = 1 + data[0];
  const int height = 1 + data[1] % 64;
  const int bits = 1 + (data[2] & 7);
  const bool interlaced = (data[2] & 8) != 0;
  const int codeSize = data[3];
  // Code sizes outside 2 to 8 are damage to us and refused or read differently by giflib.
  if (codeSize < 2 || codeSize > 8) return 0;

  std::string file = "GIF89a";
  PutWord(file, width);
  PutWord(file, height);
  file.push_back(static_cast<char>(0x80 | (bits - 1)));
  file.append(2, '\0');
  for (int i = 0; i < (1 << bits) * 3; ++i) file.push_back(static_cast<char>(i * 37));
  file.push_back(',');
  PutWord(file, 0);
  PutWord(file, 0);
  PutWord(file, width);
  PutWord(file, height);
  file.push_back(interlaced ? '\x40' : '\0');
  // The code stream ends with its zero block: bytes after it would be blocks of the container,
  // where the two readers differ on purpose (labels that ours refuses).
  size_t end = 4;
  while (end < size && data[end] != 0) end += 1 + data[end];
  file.append(reinterpret_cast<const char*>(data) + 3, std::min(end + 1, size) - 3);
  file.push_back(';');

  std::vector<uint8_t> expected;
  if (!GiflibFrame(file, expected)) return 0;
  if (HasCodeAboveNextFree(data + 3, size - 3, size_t(width) * height)) return 0;

  tagscope::TGifPicture picture;
  try {
    picture.LoadFromBytes(file);
  } catch (const tagscope::Exception&) {
    std::abort();  // giflib read it
  }
  if (picture.FrameCount() == 0) std::abort();
  const tagscope::TBitmapData& bitmap = picture.FrameBitmap(0);
  if (bitmap.Width != width || bitmap.Height != height) std::abort();
  // Our bitmap holds 1, 4 or 8 bits per pixel: an index beyond that keeps its low bits.
  const unsigned mask = (1u << bitmap.BitCount) - 1;
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = bitmap.TopDownRow(y);
    for (int x = 0; x < width; ++x) {
      unsigned index = row[x * bitmap.BitCount / 8];
      if (bitmap.BitCount == 1) index = (index >> (7 - (x & 7))) & 1;
      if (bitmap.BitCount == 4) index = (x & 1) ? (index & 15) : (index >> 4);
      const unsigned theirs = expected[static_cast<size_t>(y) * width + x];
      if (index != (theirs & mask)) {
        std::fprintf(stderr, "%dx%d, %d bits: pixel (%d, %d) is %u, giflib %u\n", width, height,
                     bits, x, y, index, theirs);
        std::abort();
      }
    }
  }
  return 0;
}
