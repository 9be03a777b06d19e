#include "imaging/bmp_reader.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "tagscope/imaging/graphic.h"
#include "tagscope/rtl/byte_reader.h"

namespace tagscope {

namespace {

enum TCompression : uint32_t { biRGB = 0, biRLE8 = 1, biRLE4 = 2, biBitFields = 3 };

[[noreturn]] void Invalid() {
  throw EInvalidGraphic(SInvalidBitmap);
}

// The bitmap's little-endian fields through the bounds-checked byte reader; a field past the
// end makes the bitmap invalid.
class TLittleEndian {
 public:
  explicit TLittleEndian(const std::string& data) : FIn(data) {}
  size_t Size() const { return FIn.Size(); }
  uint8_t U8(size_t pos) const { return static_cast<uint8_t>(Field(pos, 1)); }
  uint16_t U16(size_t pos) const { return static_cast<uint16_t>(Field(pos, 2)); }
  uint32_t U32(size_t pos) const { return static_cast<uint32_t>(Field(pos, 4)); }
  const uint8_t* At(size_t pos, size_t count) const {
    if (!FIn.HasAt(pos, count)) Invalid();
    return reinterpret_cast<const uint8_t*>(FIn.ViewAt(pos, count).data());
  }

 private:
  uint64_t Field(size_t pos, int width) const {
    if (!FIn.HasAt(pos, static_cast<size_t>(width))) Invalid();
    return FIn.LEAt(pos, width);
  }

  TByteReader FIn;
};

// One colour channel held in a bit mask of a 16- or 32-bit pixel.
struct TChannel {
  uint32_t Mask = 0;
  int Shift = 0;
  uint32_t Max = 0;  // the largest value of the channel, after the shift
  int Bits = 0;

  static TChannel FromMask(uint32_t mask) {
    TChannel c;
    if (mask == 0) return c;
    while (!((mask >> c.Shift) & 1)) ++c.Shift;
    c.Max = mask >> c.Shift;
    if ((uint64_t(c.Max) & (uint64_t(c.Max) + 1)) != 0) Invalid();  // bits must be contiguous
    c.Bits = std::popcount(c.Max);
    c.Mask = mask;
    return c;
  }
  // The channel widened to 8 bits by repeating its bits (5 bits abcde give abcdeabc), so
  // that 0 stays 0 and the largest value becomes 255; wider channels keep their top 8 bits.
  uint8_t Value(uint32_t pixel) const {
    if (Max == 0) return 0;
    const uint32_t v = (pixel & Mask) >> Shift;
    if (Bits >= 8) return static_cast<uint8_t>(v >> (Bits - 8));
    uint32_t result = 0;
    for (int shift = 8 - Bits; shift > -Bits; shift -= Bits)
      result |= shift >= 0 ? v << shift : v >> -shift;
    return static_cast<uint8_t>(result);
  }
};

struct THeader {
  int32_t Width = 0;
  int32_t Height = 0;  // positive after reading; TopDown says how rows are stored
  bool TopDown = false;
  int BitCount = 0;
  uint32_t Compression = biRGB;
  uint32_t ColorsUsed = 0;
  uint32_t Masks[3] = {0, 0, 0};
  size_t PaletteOffset = 0;
  int PaletteEntrySize = 4;
};

THeader ReadHeader(const TLittleEndian& in) {
  if (in.Size() < 14 || in.U8(0) != 'B' || in.U8(1) != 'M') Invalid();
  const uint32_t headerSize = in.U32(14);
  THeader h;
  if (headerSize == 12) {
    h.Width = in.U16(18);
    h.Height = in.U16(20);
    h.BitCount = in.U16(24);
    h.PaletteEntrySize = 3;
    if (h.BitCount != 1 && h.BitCount != 4 && h.BitCount != 8 && h.BitCount != 24) Invalid();
  } else if (headerSize == 40 || headerSize == 108 || headerSize == 124) {
    h.Width = static_cast<int32_t>(in.U32(18));
    const int32_t height = static_cast<int32_t>(in.U32(22));
    if (height == INT32_MIN) Invalid();
    h.TopDown = height < 0;
    h.Height = height < 0 ? -height : height;
    h.BitCount = in.U16(28);
    h.Compression = in.U32(30);
    h.ColorsUsed = in.U32(46);
  } else {
    Invalid();
  }
  h.PaletteOffset = 14 + headerSize;
  if (h.Compression == biBitFields) {
    // The masks follow an info header; the larger headers hold them at the same place.
    for (int i = 0; i < 3; ++i) h.Masks[i] = in.U32(54 + 4 * static_cast<size_t>(i));
    if (headerSize == 40) h.PaletteOffset += 12;
  }
  return h;
}

void CheckFormat(const THeader& h) {
  if (h.Width <= 0 || h.Height <= 0) Invalid();
  switch (h.Compression) {
    case biRGB:
      if (h.BitCount != 1 && h.BitCount != 4 && h.BitCount != 8 && h.BitCount != 16 &&
          h.BitCount != 24 && h.BitCount != 32)
        Invalid();
      break;
    case biRLE8:
      if (h.BitCount != 8 || h.TopDown) Invalid();
      break;
    case biRLE4:
      if (h.BitCount != 4 || h.TopDown) Invalid();
      break;
    case biBitFields:
      if (h.BitCount != 16 && h.BitCount != 32) Invalid();
      break;
    default:
      Invalid();
  }
}

// The bitmap that receives the pixels: palette formats keep their bit count, 16 bits become
// 24 and 32 bits stay 32.
TBitmapData NewBitmap(const THeader& h, const TDecodeLimits& limits) {
  TBitmapData bitmap;
  bitmap.BitCount = h.BitCount == 16 ? 24 : h.BitCount;
  if (!limits.Allows(h.Width, h.Height, bitmap.BitCount)) Invalid();
  const int64_t stride = (int64_t(h.Width) * bitmap.BitCount + 31) / 32 * 4;
  bitmap.Width = h.Width;
  bitmap.Height = h.Height;
  bitmap.Pixels.assign(static_cast<size_t>(stride * h.Height), 0);
  return bitmap;
}

void ReadPalette(const TLittleEndian& in, const THeader& h, TBitmapData& bitmap) {
  const size_t size = size_t(1) << h.BitCount;
  size_t count = h.ColorsUsed == 0 ? size : std::min<size_t>(h.ColorsUsed, size);
  const uint8_t* p = in.At(h.PaletteOffset, count * static_cast<size_t>(h.PaletteEntrySize));
  bitmap.Palette.assign(size, TRGBQuad{});
  for (size_t i = 0; i < count; ++i, p += h.PaletteEntrySize)
    bitmap.Palette[i] = TRGBQuad{p[0], p[1], p[2], 0};
}

size_t PixelOffset(const TLittleEndian& in, const THeader& h, uint32_t fileOffset) {
  size_t paletteEnd = h.PaletteOffset;
  if (h.BitCount <= 8) {
    const size_t size = size_t(1) << h.BitCount;
    const size_t count = h.ColorsUsed == 0 ? size : std::min<size_t>(h.ColorsUsed, size);
    paletteEnd += count * static_cast<size_t>(h.PaletteEntrySize);
  }
  // Writers that leave the offset 0 or point it into the headers mean "right after them".
  if (fileOffset < paletteEnd || fileOffset > in.Size()) return paletteEnd;
  return fileOffset;
}

// Uncompressed rows: copied as they stand, or converted through the channel masks.
void ReadRows(const TLittleEndian& in, const THeader& h, size_t offset, TBitmapData& bitmap) {
  const size_t srcStride = static_cast<size_t>((int64_t(h.Width) * h.BitCount + 31) / 32 * 4);
  const uint8_t* src = in.At(offset, srcStride * static_cast<size_t>(h.Height));
  const size_t dstStride = static_cast<size_t>(bitmap.Stride());
  const bool masked = h.BitCount == 16 || h.Compression == biBitFields;
  TChannel red, green, blue;
  if (masked) {
    const bool fields = h.Compression == biBitFields;
    red = TChannel::FromMask(fields ? h.Masks[0] : h.BitCount == 16 ? 0x7C00 : 0xFF0000);
    green = TChannel::FromMask(fields ? h.Masks[1] : h.BitCount == 16 ? 0x03E0 : 0x00FF00);
    blue = TChannel::FromMask(fields ? h.Masks[2] : h.BitCount == 16 ? 0x001F : 0x0000FF);
  }
  for (int row = 0; row < h.Height; ++row) {
    const uint8_t* s = src + srcStride * static_cast<size_t>(row);
    const int bottomUp = h.TopDown ? h.Height - 1 - row : row;
    uint8_t* d = bitmap.Pixels.data() + dstStride * static_cast<size_t>(bottomUp);
    if (!masked) {
      std::memcpy(d, s, std::min(srcStride, dstStride));
      continue;
    }
    const int bytes = h.BitCount / 8;
    const int outBytes = bitmap.BitCount / 8;
    for (int x = 0; x < h.Width; ++x, s += bytes, d += outBytes) {
      const uint32_t pixel = bytes == 2
                                 ? s[0] | (s[1] << 8)
                                 : s[0] | (s[1] << 8) | (s[2] << 16) | (uint32_t(s[3]) << 24);
      d[0] = blue.Value(pixel);
      d[1] = green.Value(pixel);
      d[2] = red.Value(pixel);
    }
  }
}

// Run-length encoded rows (RLE8 and RLE4), bottom row first. Pixels outside the bitmap are
// dropped; data that ends without an end-of-bitmap mark keeps what was decoded.
class TRleDecoder {
 public:
  TRleDecoder(TBitmapData& bitmap, bool fourBits)
      : FBitmap(bitmap), FFourBits(fourBits), FStride(static_cast<size_t>(bitmap.Stride())) {}

  void Decode(const uint8_t* p, size_t size) {
    size_t pos = 0;
    while (pos + 2 <= size && FY < FBitmap.Height) {
      const uint8_t count = p[pos];
      const uint8_t value = p[pos + 1];
      pos += 2;
      if (count > 0) {
        for (int i = 0; i < count; ++i)
          Put(FFourBits ? ((i & 1) ? value & 15 : value >> 4) : value);
      } else if (value == 0) {  // end of line
        FX = 0;
        ++FY;
      } else if (value == 1) {  // end of bitmap
        return;
      } else if (value == 2) {  // move right and up
        if (pos + 2 > size) return;
        FX = std::min(FX + p[pos], FBitmap.Width);
        FY += p[pos + 1];
        pos += 2;
      } else {  // a run of literal pixels, padded to a 16-bit boundary
        const size_t bytes = FFourBits ? (value + 1u) / 2 : value;
        if (pos + bytes > size) return;
        for (int i = 0; i < value; ++i)
          Put(FFourBits ? ((i & 1) ? p[pos + i / 2] & 15 : p[pos + i / 2] >> 4) : p[pos + i]);
        pos += bytes + (bytes & 1);
      }
    }
  }

 private:
  void Put(int index) {
    if (FX < FBitmap.Width && FY < FBitmap.Height) {
      uint8_t* row = FBitmap.Pixels.data() + FStride * static_cast<size_t>(FY);
      if (FFourBits) {
        uint8_t& b = row[FX >> 1];
        b = static_cast<uint8_t>((FX & 1) ? (b & 0xF0) | index : (b & 0x0F) | (index << 4));
      } else {
        row[FX] = static_cast<uint8_t>(index);
      }
      ++FX;
    }
  }

  TBitmapData& FBitmap;
  bool FFourBits;
  size_t FStride;
  int FX = 0;
  int FY = 0;
};

}  // namespace

TBitmapData ReadBitmapFile(const std::string& bytes, const TDecodeLimits& limits) {
  const TLittleEndian in(bytes);
  const THeader header = ReadHeader(in);
  CheckFormat(header);
  TBitmapData bitmap = NewBitmap(header, limits);
  if (header.BitCount <= 8) ReadPalette(in, header, bitmap);
  const size_t offset = PixelOffset(in, header, in.U32(10));
  if (header.Compression == biRLE8 || header.Compression == biRLE4) {
    TRleDecoder rle(bitmap, header.Compression == biRLE4);
    rle.Decode(in.At(offset, 0), in.Size() - offset);
  } else {
    ReadRows(in, header, offset, bitmap);
  }
  return bitmap;
}

}  // namespace tagscope
