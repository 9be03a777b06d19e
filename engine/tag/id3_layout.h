#pragma once

#include <cstddef>
#include <cstdint>

// The byte layouts of ID3 tags, in one place: header and footer, extended headers, frame
// headers and the ID3v1 trailer.
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

// Frame headers: ID3v2.3 and 2.4 have a 4-byte ID, a 4-byte size and two flag bytes; ID3v2.2
// a 3-byte ID and a 3-byte plain size.
inline constexpr int64_t FrameHeaderSize = 10;
inline constexpr int64_t V2FrameHeaderSize = 6;

// The 128-byte ID3v1 trailer at the end of a file: "TAG", then fixed fields.
inline constexpr int64_t TrailerSize = 128;
inline constexpr size_t V1TitleOffset = 3, V1TitleWidth = 30;
inline constexpr size_t V1ArtistOffset = 33, V1ArtistWidth = 30;
inline constexpr size_t V1AlbumOffset = 63, V1AlbumWidth = 30;
inline constexpr size_t V1YearOffset = 93, V1YearWidth = 4;
inline constexpr size_t V1CommentOffset = 97, V1CommentWidth = 29;
inline constexpr size_t V1TrackOffset = 126;
inline constexpr size_t V1GenreOffset = 127;

}  // namespace tagscope::id3
