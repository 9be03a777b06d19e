#pragma once

#include "engine/frames/field_reader.h"
#include "engine/frames/field_writer.h"

namespace tagscope {

// Frames of numbers and bytes: the recommended buffer (RBUF), the seek frame (SEEK), linked
// information (LINK), signatures (SIGN), and the plain bytes of the music CD identifier (MCDI)
// and of IDs of no known kind.
void ParseBufferFrame(TFieldReader& r);
void RenderBufferFrame(TFieldWriter& w);
void ParseSeekFrame(TFieldReader& r);
void RenderSeekFrame(TFieldWriter& w);
void ParseLinkFrame(TFieldReader& r);
void RenderLinkFrame(TFieldWriter& w);
void ParseSignatureFrame(TFieldReader& r);
void RenderSignatureFrame(TFieldWriter& w);
void ParseBinaryFrame(TFieldReader& r);
void RenderBinaryFrame(TFieldWriter& w);

}  // namespace tagscope
