#pragma once

#include "engine/frames/field_reader.h"
#include "engine/frames/field_writer.h"

namespace tagscope {

// Chapters (CHAP) and tables of contents (CTOC), with the frames they hold; their typed forms
// are in timed_frames.h.
void ParseChapterFrame(TFieldReader& r);
void RenderChapterFrame(TFieldWriter& w);
void ParseTableOfContentsFrame(TFieldReader& r);
void RenderTableOfContentsFrame(TFieldWriter& w);

}  // namespace tagscope
