#pragma once

#include "engine/frames/field_reader.h"
#include "engine/frames/field_writer.h"

namespace tagscope {

// Link frames (W...): an ISO-8859-1 URL.
void ParseUrlFrame(TFieldReader& r);
void RenderUrlFrame(TFieldWriter& w);
// The podcast feed (WFED), a link or a text frame as its writer chose.
void ParseFeedFrame(TFieldReader& r);
void RenderFeedFrame(TFieldWriter& w);
// The user-defined link (WXXX): a description and its URL.
void ParseUserUrlFrame(TFieldReader& r);
void RenderUserUrlFrame(TFieldWriter& w);

}  // namespace tagscope
