// The APE tag and Lyrics3 block readers on arbitrary bytes taken as the end of a file, with the
// dump's printers of what they read. The first byte gives where the trailers may begin. Nothing
// may crash or allocate beyond the caps: the blocks found lie within the bytes, in order, the
// items' bytes are no more than the tag's, the runs to cut are of proven blocks only, apart and
// behind the audio's end, and the JSON parses.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/trailer_tags_print.h"
#include "tagscope/engine/trailer_tags.h"
#include "tagscope/rtl/stream.h"
#include "tagscope/rtl/utf8.h"

namespace {

using namespace tagscope;

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckWithin(const TFileRange& r, int64_t floor, int64_t size) {
  Check(r.Offset >= floor && r.Size >= 0 && r.End() <= size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int64_t floor = data[0];
  TMemoryStream stream(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  const int64_t length = stream.Size();
  const TTrailerTags t = ReadTrailerTags(stream, length, floor);
  Check(t.Start <= length);
  if (t.Ape.Present) {
    CheckWithin(t.Ape.Place, floor, length);
    uint64_t bytes = 0;
    for (const TApeItem& item : t.Ape.Items) bytes += item.Value.size() + item.Key.size() + 9;
    Check(bytes <= static_cast<uint64_t>(t.Ape.Place.Size));
    Check(t.Ape.Items.size() <= kApeMaxItems);
  }
  if (t.Lyrics3.Present) CheckWithin(t.Lyrics3.Place, floor, length);
  if (t.ID3v1) CheckWithin(t.ID3v1Place, floor, length);
  for (const TFileRange& r : t.ApeRanges()) CheckWithin(r, floor, length);
  std::vector<TFileRange> cuts = t.AllRanges();
  std::sort(cuts.begin(), cuts.end(),
            [](const TFileRange& a, const TFileRange& b) { return a.Offset < b.Offset; });
  int64_t end = t.Start;
  for (const TFileRange& r : cuts) {
    CheckWithin(r, floor, length);
    Check(r.Offset >= end);
    end = r.End();
  }
  if (!t.Ape.Damage.empty()) Check(t.ApeRanges().empty());
  cli::TJsonWriter j;
  j.BeginObject();
  cli::TrailerTagsJson(j, t);
  j.EndObject();
  (void)nlohmann::json::parse(j.TakeText());
  std::ostringstream text;
  cli::TrailerTagsText(text, t);
  Check(IsValidUtf8(text.str()));
  return 0;
}
