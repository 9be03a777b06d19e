// Counters: plays, ratings with their counts, the podcast flag.
#include "engine/frames/counter_frames.h"

namespace tagscope {

namespace {

// Counters take at least four bytes, more for a count that needs them.
constexpr size_t kCounterBytes = 4;

}  // namespace

void ParseCounterFrame(TFieldReader& r) {
  if (r.Remaining() > 0 && r.Remaining() < kCounterBytes)
    r.Note("its counter is shorter than 4 bytes");
  r.RestNumber("counter", 1);
}

void RenderCounterFrame(TFieldWriter& w) {
  w.RestNumber("counter", kCounterBytes);
}

// The play counter after the rating is optional.
void ParsePopularimeterFrame(TFieldReader& r) {
  if (r.Latin1("email") && r.Number("rating", 1) && !r.AtEnd()) r.RestNumber("counter", 1);
}

void RenderPopularimeterFrame(TFieldWriter& w) {
  w.Latin1("email");
  w.Number("rating", 1);
  if (w.Has("counter")) w.RestNumber("counter", kCounterBytes);
}

void ParsePodcastFrame(TFieldReader& r) {
  r.RestNumber("value", 0);
}

void RenderPodcastFrame(TFieldWriter& w) {
  w.RestNumber("value", kCounterBytes);
}

}  // namespace tagscope
