#pragma once

#include "engine/frames/field_reader.h"
#include "engine/frames/field_writer.h"

namespace tagscope {

// The play counter (PCNT), the popularimeter (POPM: an email's rating and its own counter)
// and the podcast flag (PCST).
void ParseCounterFrame(TFieldReader& r);
void RenderCounterFrame(TFieldWriter& w);
void ParsePopularimeterFrame(TFieldReader& r);
void RenderPopularimeterFrame(TFieldWriter& w);
void ParsePodcastFrame(TFieldReader& r);
void RenderPodcastFrame(TFieldWriter& w);

}  // namespace tagscope
