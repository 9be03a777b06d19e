#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tagscope/engine/id3_frame_item.h"  // ValidFrameID
#include "tagscope/rtl/byte_reader.h"
#include "tagscope/rtl/stream.h"

namespace tagscope {

// Converts count (1..8) bytes in place between a plain little-endian integer and its
// sync-safe form (7 value bits per byte, bit 7 clear, least significant group first).
// Converting to sync-safe drops value bits from 7 * count upward.
void SyncSafeConvert(uint8_t* buffer, int count, bool toPlain);
// Reverses the order of count (1..8) bytes in place.
void ReverseBytes(uint8_t* buffer, int count);

// Writes a big-endian integer field in its sync-safe form (count 1..8 bytes); WritePlainBE
// (byte_reader.h) writes the plain form.
void WriteSyncSafeBE(uint8_t* bytes, int count, uint64_t value);

// Strips bytes of code 0x20 or below (blanks and control characters) from both ends.
std::string TrimControl(std::string_view text);

// Reads a text-frame payload byte for byte: the encoding byte, then the text cut at its first
// zero byte and trimmed. An empty stream gives encoding 0 and "" and keeps its position;
// otherwise the stream is left at position 0.
std::string StreamToText(TStream& stream, uint8_t& encoding);
// Rewrites the stream as the encoding byte followed by the text (no terminator), position 0.
void TextToStream(uint8_t encoding, const std::string& text, TStream& stream);

// Copies count bytes from the source's position to the destination's position; count 0 copies
// the whole source from its start. A count past the source's end is cut to what is left. When
// the source delivers fewer bytes than that, the copy stops and raises "Stream read error".
// Returns the number of bytes copied.
int64_t CopyStreamData(TStream& source, TStream& dest, int64_t count);

}  // namespace tagscope
