#pragma once

#include "engine/frames/field_reader.h"
#include "engine/frames/field_writer.h"

namespace tagscope {

// Texts in a language: comments (COMM) and unsynchronised lyrics (USLT) with a description,
// terms of use (USER) without one.
void ParseCommentFrame(TFieldReader& r);
void RenderCommentFrame(TFieldWriter& w);
void ParseLyricsFrame(TFieldReader& r);
void RenderLyricsFrame(TFieldWriter& w);
void ParseTermsFrame(TFieldReader& r);
void RenderTermsFrame(TFieldWriter& w);

}  // namespace tagscope
