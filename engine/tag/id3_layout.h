#pragma once

#include <cstddef>
#include <cstdint>

// The byte layouts of ID3v2 tags: header and footer, extended headers (a frame's header:
// frame_layout.h; the ID3v1 trailer: trailers/id3v1_tag.h).
namespace tagscope::id3 {

// Header and footer: "ID3" (footer "3DI"), major version, revision, flags, sync-safe size.
inline constexpr int64_t HeaderSize = 10;  // also the footer's size
inline constexpr size_t VersionOffset = 3;
inline constexpr size_t RevisionOffset = 4;
inline constexpr size_t FlagsOffset = 5;
inline constexpr size_t SizeOffset = 6;
inline constexpr int SizeWidth = 4;
inline constexpr uint8_t MaxVersion = 4;  // major versions above this are no tag here

inline constexpr uint8_t FlagUnsync = 0x80;
inline constexpr uint8_t FlagExtended = 0x40;  // ID3v2.2: the whole tag is compressed
inline constexpr uint8_t FlagExperimental = 0x20;
inline constexpr uint8_t FlagFooter = 0x10;

// The largest tag size a 4-byte sync-safe field holds.
inline constexpr int64_t MaxTagSize = 0x0FFFFFFF;

// Extended header. ID3v2.3: a plain size that leaves out its own 4 bytes (6, or 10 with a
// CRC), two flag bytes (0x8000: CRC present), the padding size, the CRC.
inline constexpr uint64_t V3ExtendedSize = 6;
inline constexpr uint64_t V3ExtendedSizeWithCRC = 10;
inline constexpr uint16_t V3ExtendedCRCFlag = 0x8000;
// ID3v2.4 (and the compact layout this engine writes): sync-safe size of the whole extended
// header, the count of flag bytes (1), the flags; then the flagged fields.
inline constexpr uint64_t MinExtendedSize = 6;
inline constexpr uint8_t ExtUpdate = 0x40;
inline constexpr uint8_t ExtCRC = 0x20;
inline constexpr uint8_t ExtRestricted = 0x10;
inline constexpr int CRCWidth = 5;  // sync-safe, 35 bits
// The longest extended header of any layout read here.
inline constexpr int64_t MaxExtendedHeader = 15;

}  // namespace tagscope::id3
