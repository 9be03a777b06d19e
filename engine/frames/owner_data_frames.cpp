// Frames that open with their owner's identifier.
#include "engine/frames/owner_data_frames.h"

namespace tagscope {

void ParseOwnerDataFrame(TFieldReader& r) {
  if (r.Latin1("owner")) r.Rest("data");
}

void RenderOwnerDataFrame(TFieldWriter& w) {
  w.Latin1("owner");
  w.Bytes("data");
}

void ParseRegistrationFrame(TFieldReader& r) {
  if (r.Latin1("owner") && r.Number("symbol", 1)) r.Rest("data");
}

void RenderRegistrationFrame(TFieldWriter& w) {
  w.Latin1("owner");
  w.Number("symbol", 1);
  w.Bytes("data");
}

void ParseAudioEncryptionFrame(TFieldReader& r) {
  if (r.Latin1("owner") && r.Number("previewStart", 2, 1, "frames") &&
      r.Number("previewLength", 2, 1, "frames"))
    r.Rest("data");
}

void RenderAudioEncryptionFrame(TFieldWriter& w) {
  w.Latin1("owner");
  w.Number("previewStart", 2);
  w.Number("previewLength", 2);
  w.Bytes("data");
}

}  // namespace tagscope
