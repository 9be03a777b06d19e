#include "tests/imaging/gif_reference_decoder.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tagscope::test {
namespace {

constexpr uint32_t kEndOfData = 0xFFFF;

struct TCodeState {
  const std::string& Stream;
  size_t Pos = 1;
  uint32_t I = 0;
  int32_t N = 0;
  uint8_t Buffer[260] = {};
};

uint32_t NextCode(TCodeState& s, int width) {
  while (s.I + width > static_cast<uint32_t>(s.N) && s.Pos < s.Stream.size()) {
    const uint32_t k = s.I / 8;
    const uint8_t carry[3] = {s.Buffer[k], s.Buffer[k + 1], s.Buffer[k + 2]};
    std::memcpy(s.Buffer, carry, 3);
    s.I %= 8;
    s.N -= static_cast<int32_t>(8 * k);
    const size_t length = static_cast<uint8_t>(s.Stream[s.Pos++]);
    if (length > s.Stream.size() - s.Pos) {  // a block cut short ends the data
      s.Pos = s.Stream.size();
      break;
    }
    std::memcpy(s.Buffer + s.N / 8, s.Stream.data() + s.Pos, length);
    s.Pos += length;
    s.N += static_cast<int32_t>(8 * length);
  }
  if (s.I + width > static_cast<uint32_t>(s.N)) return kEndOfData;
  const uint32_t k = s.I / 8;
  uint32_t value = s.Buffer[k] + 256u * s.Buffer[k + 1];
  if (width > 8) value += 65536u * s.Buffer[k + 2];
  const uint32_t code = (value >> (s.I % 8)) & ((1u << width) - 1);
  s.I += width;
  return code;
}

int InterlacedRow(int row, int height, int& pass) {
  const int step[4] = {8, 8, 4, 2};
  if (pass > 3) return row;
  row += step[pass];
  while (row >= height && pass < 4) {
    ++pass;
    if (pass == 1) row = 4;
    if (pass == 2) row = 2;
    if (pass == 3) return 1;
  }
  return row;
}

struct TPlacer {
  TBitmapData& Bitmap;
  bool Interlaced;
  int X = 0, Y = 0, Pass = 0;

  void Put(uint32_t value) {
    if (Y >= Bitmap.Height) return;
    uint8_t* row = Bitmap.TopDownRow(Y);
    // An index beyond the bitmap's depth keeps its low bits.
    const uint8_t v = static_cast<uint8_t>(value & ((1u << Bitmap.BitCount) - 1));
    switch (Bitmap.BitCount) {
      case 1:
        if (X % 8 == 0)
          row[X / 8] = static_cast<uint8_t>(v << 7);
        else
          row[X / 8] |= static_cast<uint8_t>(v << (7 - X % 8));
        break;
      case 4:
        if (X % 2 == 0)
          row[X / 2] = static_cast<uint8_t>(v << 4);
        else
          row[X / 2] |= v;
        break;
      default:
        row[X] = v;
    }
    if (++X == Bitmap.Width) {
      X = 0;
      Y = Interlaced ? InterlacedRow(Y, Bitmap.Height, Pass) : Y + 1;
    }
  }
};

}  // namespace

TDecodedFrame ReferenceDecodeFrame(const std::string& codeStream, int width, int height,
                                   int pixelBits, const TGIFColors& colors, bool interlaced) {
  TDecodedFrame result;
  TBitmapData& bmp = result.Bitmap;
  bmp.Width = width;
  bmp.Height = height;
  bmp.BitCount = pixelBits == 1 ? 1 : pixelBits <= 4 ? 4 : 8;
  std::vector<TRGBQuad> palette(256, TRGBQuad{0x80, 0x80, 0x80, 0x80});
  for (int i = 0; i < colors.Count; ++i)
    palette[i] = TRGBQuad{colors.Colors[i][2], colors.Colors[i][1], colors.Colors[i][0], 0};
  palette.resize(size_t(1) << bmp.BitCount);
  bmp.Palette = palette;
  if (width == 0 || height == 0) return result;
  bmp.Pixels.assign(static_cast<size_t>(bmp.Stride()) * height, 0);

  int K = static_cast<uint8_t>(codeStream.at(0));
  bool damaged = K < 2 || K > 11;
  K = std::clamp(K, 2, 11);
  std::vector<uint16_t> prefix(4096, 0), suffix(4096, 0), stack;
  const uint32_t clear = 1u << K, end = clear + 1, none = 0xFFFFFFFF;
  uint32_t next = clear + 2, limit = 1u << (K + 1), prev = none, first = 0;
  int codeWidth = K + 1;
  bool full = false, sawClear = false;
  TCodeState reader{codeStream};
  TPlacer placer{bmp, interlaced};
  uint32_t code = NextCode(reader, codeWidth);
  while (code != end && code != kEndOfData && placer.Y < height) {
    if (code == clear) {
      codeWidth = K + 1;
      limit = 1u << (K + 1);
      next = clear + 2;
      prev = none;
      full = false;
      sawClear = true;
    } else if (prev == none) {
      // The first code, of the data or after a clear code: a literal that adds no entry. With
      // a code size out of range only the codes right after clear codes are decoded.
      if (code > end || (damaged && !sawClear)) {
        damaged = true;
        break;
      }
      first = code;
      placer.Put(code);
      prev = code;
    } else {
      if (damaged) break;
      const uint32_t incoming = code;
      uint32_t w = code;
      stack.clear();
      if (w >= next) {
        stack.push_back(static_cast<uint16_t>(first));
        w = prev;
      }
      while (w >= clear) {
        if (stack.size() == 4097) {
          damaged = true;
          break;
        }
        stack.push_back(suffix[w]);
        w = prefix[w];
      }
      if (damaged) break;
      first = w;
      stack.push_back(static_cast<uint16_t>(w));
      while (!stack.empty()) {
        placer.Put(stack.back() & 0xFF);
        stack.pop_back();
      }
      if (!full) {
        prefix[next] = static_cast<uint16_t>(prev);
        suffix[next] = static_cast<uint16_t>(first);
        if (++next == limit) {
          if (codeWidth == 12)
            full = true;
          else {
            ++codeWidth;
            limit *= 2;
          }
        }
      }
      prev = incoming;
    }
    code = NextCode(reader, codeWidth);
  }
  if (code == kEndOfData && placer.Y < height) damaged = true;
  result.Damaged = damaged;
  return result;
}

}  // namespace tagscope::test
