// Attached pictures and encapsulated objects.
#include "engine/frames/picture_frames.h"

#include "tagscope/engine/picture_types.h"

namespace tagscope {

void ParsePictureFrame(TFieldReader& r) {
  if (!r.Encoding() || !r.Latin1("mimeType") || !r.Number("pictureType", 1)) return;
  r.Last().Label = PictureTypeLabel(static_cast<int>(r.Last().Number));
  if (r.Text("description")) r.Rest("data");
}

void RenderPictureFrame(TFieldWriter& w) {
  w.Encoding();
  w.Latin1("mimeType");
  w.Number("pictureType", 1);
  w.Text("description");
  w.Bytes("data");
}

void ParseObjectFrame(TFieldReader& r) {
  if (r.Encoding() && r.Latin1("mimeType") && r.Text("fileName") && r.Text("description"))
    r.Rest("data");
}

void RenderObjectFrame(TFieldWriter& w) {
  w.Encoding();
  w.Latin1("mimeType");
  w.Text("fileName");
  w.Text("description");
  w.Bytes("data");
}

}  // namespace tagscope
