// Link frames, the podcast feed and the user-defined link.
#include "engine/frames/url_frames.h"

namespace tagscope {

void ParseUrlFrame(TFieldReader& r) {
  r.Latin1("url", false);
}

void RenderUrlFrame(TFieldWriter& w) {
  w.Latin1("url", false);
}

// A podcast feed is written as a link by some programs and as a text frame (an encoding byte
// first) by others; a URL never starts with one of those bytes.
void ParseFeedFrame(TFieldReader& r) {
  if (r.PeekByte() >= 0 && r.PeekByte() <= 3) {
    if (r.Encoding()) r.Text("url", false);
    return;
  }
  r.Latin1("url", false);
}

void RenderFeedFrame(TFieldWriter& w) {
  if (!w.Has("encoding")) return w.Latin1("url", false);
  w.Encoding();
  w.Text("url", false);
}

void ParseUserUrlFrame(TFieldReader& r) {
  if (!r.Encoding() || !r.Text("description")) return;
  r.SkipExtraZero();
  r.Latin1("url", false);
}

void RenderUserUrlFrame(TFieldWriter& w) {
  w.Encoding();
  w.Text("description");
  w.Latin1("url", false);
}

}  // namespace tagscope
