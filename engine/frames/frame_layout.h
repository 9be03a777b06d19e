#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tagscope/engine/id3_frame_item.h"
#include "tagscope/rtl/byte_reader.h"

namespace tagscope {

// How the 10-byte frame headers of a tag are laid out. The standards: ID3v2.3 has plain
// sizes and its own flag bits, ID3v2.4 sync-safe sizes and other flag bits, and in both the
// size counts the optional bytes that follow the header. Writers also produce the other size
// coding, or leave the optional bytes out of the size.
struct TFrameLayout {
  bool version4Flags = true;  // flag bits and optional-byte order of ID3v2.4 (else ID3v2.3)
  bool syncSafeSize = true;
  bool optionalInSize = true;
};

// Frame headers: ID3v2.3 and 2.4 have a 4-byte ID, a 4-byte size and two flag bytes; ID3v2.2
// a 3-byte ID and a 3-byte plain size.
inline constexpr int FrameHeaderSize = 10;
inline constexpr int V2FrameHeaderSize = 6;

// The standard layout of a tag version (ID3v2.3's for versions below 4).
TFrameLayout StandardLayout(uint8_t version);
// The layouts a reader tries for a tag version, the standard one first.
std::array<TFrameLayout, 4> CandidateLayouts(uint8_t version);

// One frame header decoded under a layout.
struct TFrameHeader {
  std::string id;
  uint64_t size = 0;      // the size field's value
  bool sizeValid = true;  // false for a sync-safe size with a byte whose bit 7 is set
  uint8_t status = 0;
  uint8_t format = 0;
  int optionalBytes = 0;  // group ID, encryption method, data length as the flags announce
  int64_t totalSize = 0;  // header, optional bytes and payload
  int64_t payloadSize = 0;
};

// The frame header at `at`, which must hold FrameHeaderSize bytes.
TFrameHeader DecodeFrameHeader(const TByteReader& in, size_t at, const TFrameLayout& layout);

// The flag bits of an item in a layout's status and format bytes, and back.
void SetItemFlags(TID3Frames_Item& item, uint8_t status, uint8_t format, bool version4Flags);
void GetItemFlags(const TID3Frames_Item& item, bool version4Flags, uint8_t& status,
                  uint8_t& format);

// The optional bytes between header and payload, in the layout's order, and back.
// dataLength is the data length indicator (ID3v2.4) or the decompressed size (ID3v2.3).
std::string EncodeOptionalBytes(const TID3Frames_Item& item, bool version4Flags,
                                uint32_t dataLength);
void DecodeOptionalBytes(TID3Frames_Item& item, bool version4Flags, std::string_view bytes,
                         uint32_t& dataLength);

}  // namespace tagscope
