// Finding the ID3v1 trailer at the file's end.
#include "engine/trailers/id3v1_block.h"

namespace tagscope {

std::optional<TTrailerBlock> LocateID3v1(TTailBytes& bytes, int64_t end) {
  const int64_t start = end - id3v1::kSize;
  if (start < bytes.Floor() || bytes.Bytes(start, start + 3) != "TAG") return std::nullopt;
  TTrailerBlock b;
  b.kind = TTrailerKind::tkID3v1;
  b.place = {start, id3v1::kSize};
  b.markerStart = start;
  return b;
}

}  // namespace tagscope
