#pragma once

#include "engine/frames/field_reader.h"

namespace tagscope {

// Timing: synchronised lyrics and tempo, events, positions, lookup tables, seek points.
void DecodeSyncLyricsFrame(TFieldReader& r);
void DecodeTempoFrame(TFieldReader& r);
void DecodeEventsFrame(TFieldReader& r);
void DecodePositionFrame(TFieldReader& r);
void DecodeLookupFrame(TFieldReader& r);
void DecodeSeekIndexFrame(TFieldReader& r);
// Chapters and tables of contents, with the frames they hold.
void DecodeChapterFrame(TFieldReader& r);
void DecodeTableOfContentsFrame(TFieldReader& r);

// DecodeFrameContent for a frame embedded `depth` frames deep.
TFrameValue DecodeFrameContentAt(std::string_view id, std::string_view payload, uint8_t version,
                                 int depth);

// The timestamp unit a timestamp-format byte names ("MPEG frames" or "ms").
std::string_view TimestampUnit(int64_t format);

}  // namespace tagscope
