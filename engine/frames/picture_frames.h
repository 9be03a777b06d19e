#pragma once

#include "engine/frames/field_reader.h"
#include "engine/frames/field_writer.h"

namespace tagscope {

// Attached pictures (APIC) and encapsulated objects (GEOB): a MIME type, texts that describe
// the bytes, the bytes.
void ParsePictureFrame(TFieldReader& r);
void RenderPictureFrame(TFieldWriter& w);
void ParseObjectFrame(TFieldReader& r);
void RenderObjectFrame(TFieldWriter& w);

}  // namespace tagscope
