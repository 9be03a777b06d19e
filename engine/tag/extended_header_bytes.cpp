#include "engine/tag/extended_header_bytes.h"

#include <zlib.h>

#include <algorithm>
#include <array>

#include "engine/frames/stream_helpers.h"

namespace tagscope {

namespace {

constexpr uint8_t kExtUpdate = 0x40, kExtCRC = 0x20, kExtRestricted = 0x10;

const std::array<char, 4096>& Zeros() {
  static const std::array<char, 4096> zeros{};
  return zeros;
}

uint32_t Crc32(uLong crc, const std::string& bytes) {
  for (size_t at = 0; at < bytes.size();) {
    const uInt n = static_cast<uInt>(std::min<size_t>(bytes.size() - at, 1u << 30));
    crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes.data() + at), n);
    at += n;
  }
  return static_cast<uint32_t>(crc);
}

// The CRC-32 of the frames, followed by `padding` zero bytes.
uint32_t FramesCrc(const std::string& frames, int64_t padding) {
  uLong crc = Crc32(crc32(0L, Z_NULL, 0), frames);
  for (int64_t left = padding; left > 0;) {
    const auto n = static_cast<uInt>(std::min<int64_t>(left, Zeros().size()));
    crc = crc32(crc, reinterpret_cast<const Bytef*>(Zeros().data()), n);
    left -= n;
  }
  return static_cast<uint32_t>(crc);
}

}  // namespace

std::string ExtendedHeaderBytes(TID3Header& header, const std::string& frames, int64_t padding) {
  TID3ExtendedHeader& ext = header.ExtendedHeader();
  const bool crc = ext.CRCDataPresent();
  uint8_t b[16] = {};
  if (header.VersionNumber() == 3) {
    // A size that leaves out its own four bytes, two flag bytes (0x8000: a CRC follows), the
    // padding size, the CRC of the frames alone.
    WritePlainBE(b, 4, crc ? 10 : 6);
    WritePlainBE(b + 4, 2, crc ? 0x8000 : 0);
    WritePlainBE(b + 6, 4, static_cast<uint64_t>(padding));
    if (crc) {
      ext.SetCRCData(FramesCrc(frames, 0));
      WritePlainBE(b + 10, 4, ext.CRCData());
    }
    return std::string(reinterpret_cast<const char*>(b), crc ? 14 : 10);
  }
  // Version 4: each flag's data follows the flags byte preceded by its length (none for the
  // update flag); the CRC covers frames and padding.
  uint8_t flags = 0;
  size_t at = 6;
  if (ext.TagIsAnUpdate()) {
    flags |= kExtUpdate;
    b[at++] = 0;
  }
  if (crc) {
    flags |= kExtCRC;
    ext.SetCRCData(FramesCrc(frames, padding));
    b[at++] = 5;
    WriteSyncSafeBE(b + at, 5, ext.CRCData());
    at += 5;
  }
  if (ext.TagRestricted()) {
    flags |= kExtRestricted;
    b[at++] = 1;
    b[at++] = ext.TagRestrictions().EncodeFlags();
  }
  WriteSyncSafeBE(b, 4, at);
  b[4] = 1;
  b[5] = flags;
  return std::string(reinterpret_cast<const char*>(b), at);
}

}  // namespace tagscope
