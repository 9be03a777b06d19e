// Frames of numbers and bytes.
#include "engine/frames/binary_frames.h"

namespace tagscope {

// The offset to the next tag is optional.
void ParseBufferFrame(TFieldReader& r) {
  if (r.Number("bufferSize", 3, 1, "bytes") && r.Number("embeddedInfo", 1) && !r.AtEnd())
    r.Number("nextTagOffset", 4, 1, "bytes");
}

void RenderBufferFrame(TFieldWriter& w) {
  w.Number("bufferSize", 3);
  w.Number("embeddedInfo", 1);
  if (w.Has("nextTagOffset")) w.Number("nextTagOffset", 4);
}

void ParseSeekFrame(TFieldReader& r) {
  r.Number("offset", 4, 1, "bytes");
}

void RenderSeekFrame(TFieldWriter& w) {
  w.Number("offset", 4);
}

void ParseLinkFrame(TFieldReader& r) {
  if (r.Fixed("frameId", 4) && r.Latin1("url")) r.Rest("data");
}

void RenderLinkFrame(TFieldWriter& w) {
  w.Fixed("frameId", 4);
  w.Latin1("url");
  w.Bytes("data");
}

void ParseSignatureFrame(TFieldReader& r) {
  if (r.Number("group", 1)) r.Rest("signature");
}

void RenderSignatureFrame(TFieldWriter& w) {
  w.Number("group", 1);
  w.Bytes("signature");
}

void ParseBinaryFrame(TFieldReader& r) {
  r.Rest("data");
}

void RenderBinaryFrame(TFieldWriter& w) {
  w.Bytes("data");
}

}  // namespace tagscope
