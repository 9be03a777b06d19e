#include "tests/imaging/gif_builder.h"

#include <algorithm>
#include <map>
#include <stdexcept>

namespace tagscope::test {

void TCodePacker::Put(uint32_t code, int width) {
  FBits |= uint64_t(code & ((1u << width) - 1)) << FCount;
  FCount += width;
  while (FCount >= 8) {
    FBytes.push_back(static_cast<char>(FBits & 0xFF));
    FBits >>= 8;
    FCount -= 8;
  }
}

std::string TCodePacker::Blocks(int blockSize, bool terminator) const {
  std::string data = FBytes;
  if (FCount > 0) data.push_back(static_cast<char>(FBits & 0xFF));
  std::string out;
  for (size_t pos = 0; pos < data.size(); pos += static_cast<size_t>(blockSize)) {
    const size_t n = std::min(data.size() - pos, static_cast<size_t>(blockSize));
    out.push_back(static_cast<char>(n));
    out += data.substr(pos, n);
  }
  if (terminator) out.push_back('\0');
  return out;
}

std::string PackCodes(int codeSize, const std::vector<uint32_t>& codes, int blockSize,
                      bool terminator) {
  const uint32_t clear = 1u << codeSize;
  int width = codeSize + 1;
  uint32_t next = clear + 2;
  bool first = true;  // the first code, of the data or after a clear code, adds no entry
  bool full = false;
  TCodePacker packer;
  for (uint32_t code : codes) {
    packer.Put(code, width);
    if (code == clear) {
      width = codeSize + 1;
      next = clear + 2;
      first = true;
      full = false;
      continue;
    }
    if (first) {
      first = false;
      continue;
    }
    if (full) continue;
    if (++next == (1u << width)) {
      if (width == 12) {
        full = true;
      } else {
        ++width;
      }
    }
  }
  return packer.Blocks(blockSize, terminator);
}

std::string CodeStream(int codeSize, const std::vector<uint32_t>& codes, int blockSize,
                       bool terminator) {
  return std::string(1, static_cast<char>(codeSize)) +
         PackCodes(codeSize, codes, blockSize, terminator);
}

std::vector<uint32_t> LzwCodes(int codeSize, const std::vector<uint8_t>& pixels,
                               const TLzwOptions& options) {
  const uint32_t clear = 1u << codeSize;
  std::vector<uint32_t> codes;
  if (options.LeadingClear)
    codes.insert(codes.end(), static_cast<size_t>(options.ClearRepeats), clear);
  std::map<std::pair<uint32_t, uint8_t>, uint32_t> table;
  uint32_t next = clear + 2;
  int deferred = 0;  // codes written since the table became full
  size_t i = 0;
  if (pixels.empty()) {
    codes.push_back(clear + 1);
    return codes;
  }
  uint32_t current = pixels[i++];
  for (; i < pixels.size(); ++i) {
    auto it = table.find({current, pixels[i]});
    if (it != table.end()) {
      current = it->second;
      continue;
    }
    codes.push_back(current);
    if (next < 4096) {
      table[{current, pixels[i]}] = next++;
    } else {
      ++deferred;
    }
    if (next == 4096 && options.DeferredCodes >= 0 && deferred >= options.DeferredCodes) {
      codes.insert(codes.end(), static_cast<size_t>(options.ClearRepeats), clear);
      table.clear();
      next = clear + 2;
      deferred = 0;
    }
    current = pixels[i];
  }
  codes.push_back(current);
  codes.push_back(clear + 1);
  return codes;
}

std::vector<uint8_t> InterlaceRows(const std::vector<uint8_t>& pixels, int width, int height) {
  std::vector<uint8_t> out;
  static const int kStart[4] = {0, 4, 2, 1};
  static const int kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (int y = kStart[pass]; y < height; y += kStep[pass])
      out.insert(out.end(), pixels.begin() + y * width, pixels.begin() + (y + 1) * width);
  return out;
}

static void PutWord(std::string& s, int v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}

int TableBits(int count) {
  int bits = 1;
  while ((1 << bits) < count) ++bits;
  return bits;
}

TGifBuilder& TGifBuilder::Header(const std::string& signature) {
  FBytes += signature;
  return *this;
}

TGifBuilder& TGifBuilder::Screen(int width, int height, const std::vector<uint8_t>& globalColors,
                                 int backgroundIndex) {
  PutWord(FBytes, width);
  PutWord(FBytes, height);
  const int count = static_cast<int>(globalColors.size() / 3);
  const int bits = count ? TableBits(count) : 1;
  FBytes.push_back(static_cast<char>((count ? 0x80 : 0) | 0x70 | (bits - 1)));
  FBytes.push_back(static_cast<char>(backgroundIndex));
  FBytes.push_back('\0');
  if (count) {
    std::vector<uint8_t> table = globalColors;
    table.resize(size_t(3) << bits, 0);
    FBytes.append(table.begin(), table.end());
  }
  return *this;
}

TGifBuilder& TGifBuilder::GraphicControl(int flags, int delay, int transparentIndex) {
  FBytes += "\x21\xF9\x04";
  FBytes.push_back(static_cast<char>(flags));
  PutWord(FBytes, delay);
  FBytes.push_back(static_cast<char>(transparentIndex));
  FBytes.push_back('\0');
  return *this;
}

TGifBuilder& TGifBuilder::Frame(const TGifFrameInput& f) {
  if (f.TransparentIndex >= 0 || f.Delay > 0 || f.Disposal > 0)
    GraphicControl((f.Disposal << 2) | (f.TransparentIndex >= 0 ? 1 : 0), f.Delay,
                   std::max(f.TransparentIndex, 0));
  FBytes.push_back(',');
  PutWord(FBytes, f.Left);
  PutWord(FBytes, f.Top);
  PutWord(FBytes, f.Width);
  PutWord(FBytes, f.Height);
  const int count = static_cast<int>(f.LocalColors.size() / 3);
  const int bits = count ? TableBits(count) : 1;
  FBytes.push_back(static_cast<char>((count ? 0x80 | (bits - 1) : 0) | (f.Interlaced ? 0x40 : 0)));
  if (count) {
    std::vector<uint8_t> table = f.LocalColors;
    table.resize(size_t(3) << bits, 0);
    FBytes.append(table.begin(), table.end());
  }
  int maxIndex = 1;
  for (uint8_t p : f.Pixels) maxIndex = std::max<int>(maxIndex, p);
  const int codeSize = f.CodeSize ? f.CodeSize : std::max(2, TableBits(maxIndex + 1));
  const auto& rows = f.Interlaced ? InterlaceRows(f.Pixels, f.Width, f.Height) : f.Pixels;
  FBytes += CodeStream(codeSize, LzwCodes(codeSize, rows, f.Lzw), f.BlockSize);
  return *this;
}

TGifBuilder& TGifBuilder::Comment(const std::vector<std::string>& lines) {
  FBytes += "\x21\xFE";
  for (const auto& line : lines) {
    FBytes.push_back(static_cast<char>(line.size()));
    FBytes += line;
  }
  FBytes.push_back('\0');
  return *this;
}

TGifBuilder& TGifBuilder::Application(const std::string& identifier,
                                      const std::vector<std::string>& blocks, int blockSize) {
  FBytes += "\x21\xFF";
  FBytes.push_back(static_cast<char>(blockSize));
  std::string id = identifier;
  id.resize(11, ' ');
  FBytes += id;
  for (const auto& block : blocks) {
    FBytes.push_back(static_cast<char>(block.size()));
    FBytes += block;
  }
  FBytes.push_back('\0');
  return *this;
}

TGifBuilder& TGifBuilder::PlainText() {
  FBytes += "\x21\x01\x0C";
  FBytes += std::string(12, '\0');
  FBytes += std::string(
      "\x03"
      "abc\x00",
      5);
  return *this;
}

TGifBuilder& TGifBuilder::Raw(const std::string& bytes) {
  FBytes += bytes;
  return *this;
}

TGifBuilder& TGifBuilder::Trailer() {
  FBytes.push_back(';');
  return *this;
}

std::vector<uint8_t> TestColors(int count) {
  std::vector<uint8_t> colors;
  for (int i = 0; i < count; ++i) {
    colors.push_back(static_cast<uint8_t>(i * 37 + 11));
    colors.push_back(static_cast<uint8_t>(255 - i * 13));
    colors.push_back(static_cast<uint8_t>(i * 101 + 7));
  }
  return colors;
}

std::vector<uint8_t> Indexes(const TBitmapData& bitmap) {
  std::vector<uint8_t> out;
  out.reserve(static_cast<size_t>(bitmap.Width) * static_cast<size_t>(bitmap.Height));
  for (int y = 0; y < bitmap.Height; ++y) {
    const uint8_t* row = bitmap.TopDownRow(y);
    for (int x = 0; x < bitmap.Width; ++x) {
      switch (bitmap.BitCount) {
        case 1:
          out.push_back((row[x >> 3] >> (7 - (x & 7))) & 1);
          break;
        case 4:
          out.push_back((x & 1) ? row[x >> 1] & 15 : row[x >> 1] >> 4);
          break;
        default:
          out.push_back(row[x]);
      }
    }
  }
  return out;
}

std::vector<uint8_t> TestPicture(int width, int height, int colorCount, uint64_t variant) {
  TRandom random(variant * 7919 + 1);
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      int v = ((x / 7) + (y / 5) * 3 + (x * y) / 97) % colorCount;     // bands and blocks
      if (((x * 13 + y * 7) / 50) % 5 == 0) v = (x ^ y) % colorCount;  // textured patches
      if (random.Below(16) == 0) v = random.Below(colorCount);         // noise
      pixels[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(v);
    }
  }
  return pixels;
}

std::vector<uint8_t> RGBRows(const TBitmapData& bitmap) {
  std::vector<uint8_t> out(size_t(bitmap.Width) * size_t(bitmap.Height) * 3 + 1);
  const TRGBRows rows(bitmap);
  for (int y = 0; y < bitmap.Height; ++y) rows.Get(y, out.data() + size_t(y) * bitmap.Width * 3);
  out.pop_back();
  return out;
}

void TRowCollector::Start(int width, int height) {
  Width = width;
  Height = height;
  // Filled with a pattern: a pixel the decoder leaves out shows.
  FBytes.assign(size_t(width) * size_t(height) * 3 + 1, 0xA5);
}

uint8_t* TRowCollector::NextRow() {
  const size_t rowBytes = size_t(Width) * 3;
  if (FUsed + rowBytes + 1 > FBytes.size()) throw std::logic_error("more rows than the height");
  uint8_t* row = FBytes.data() + FUsed;
  FUsed += rowBytes;
  return row;
}

std::vector<uint8_t> TRowCollector::Rows() const {
  if (FUsed + 1 != FBytes.size()) throw std::logic_error("fewer rows than the height");
  return std::vector<uint8_t>(FBytes.begin(), FBytes.end() - 1);
}

}  // namespace tagscope::test
