#pragma once

#include "engine/frames/field_reader.h"
#include "engine/frames/field_writer.h"

namespace tagscope {

// Ownership (OWNE) and commercial offers (COMR).
void ParseOwnershipFrame(TFieldReader& r);
void RenderOwnershipFrame(TFieldWriter& w);
void ParseCommercialFrame(TFieldReader& r);
void RenderCommercialFrame(TFieldWriter& w);

}  // namespace tagscope
