#pragma once

#include <string_view>

#include "engine/frames/field_reader.h"
#include "engine/frames/field_writer.h"

namespace tagscope {

// Frames on the audio's time line: synchronised lyrics (SYLT) and tempo (SYTC), event timing
// codes (ETCO), position (POSS), the MPEG lookup table (MLLT) and the seek-point index (ASPI).
// The typed form of synchronised lyrics is in timed_frames.h.
void ParseSyncLyricsFrame(TFieldReader& r);
void RenderSyncLyricsFrame(TFieldWriter& w);
void ParseTempoFrame(TFieldReader& r);
void RenderTempoFrame(TFieldWriter& w);
void ParseEventsFrame(TFieldReader& r);
void RenderEventsFrame(TFieldWriter& w);
void ParsePositionFrame(TFieldReader& r);
void RenderPositionFrame(TFieldWriter& w);
void ParseLookupFrame(TFieldReader& r);
void RenderLookupFrame(TFieldWriter& w);
void ParseSeekIndexFrame(TFieldReader& r);
void RenderSeekIndexFrame(TFieldWriter& w);

// The timestamp unit a timestamp-format byte names ("MPEG frames" or "ms").
std::string_view TimestampUnit(int64_t format);

}  // namespace tagscope
