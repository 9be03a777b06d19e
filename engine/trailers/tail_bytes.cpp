#include "engine/trailers/tail_bytes.h"

#include <algorithm>

namespace tagscope {

namespace {

// Read at once: the usual blocks (an ID3v1 trailer, an APE tag of a few texts, a Lyrics3 block)
// lie within it.
constexpr int64_t kTail = 4096;

}  // namespace

TTailBytes::TTailBytes(TStream& stream, int64_t size, int64_t floor, std::string_view tail)
    : FStream(stream), FSize(size), FFloor(std::clamp<int64_t>(floor, 0, size)) {
  const auto given = static_cast<int64_t>(std::min<size_t>(tail.size(), FSize - FFloor));
  if (given > 0) {
    FBase = FSize - given;
    FView = tail.substr(tail.size() - static_cast<size_t>(given));
    return;
  }
  FBase = std::max(FFloor, FSize - kTail);
  FHeld = Read(FBase, FSize);
  FView = FHeld;
}

std::string TTailBytes::Bytes(int64_t from, int64_t to) {
  from = std::max(from, FFloor);
  to = std::min(to, FSize);
  if (to <= from) return std::string();
  if (from >= FBase && to <= FBase + static_cast<int64_t>(FView.size()))
    return std::string(
        FView.substr(static_cast<size_t>(from - FBase), static_cast<size_t>(to - from)));
  return Read(from, to);
}

std::string_view TTailBytes::View(int64_t from, int64_t to) const {
  from = std::max(from, FFloor);
  to = std::min(to, FSize);
  if (to <= from || from < FBase || to > FBase + static_cast<int64_t>(FView.size())) return {};
  return FView.substr(static_cast<size_t>(from - FBase), static_cast<size_t>(to - from));
}

void TTailBytes::Hold(int64_t from, int64_t most) {
  from = std::max(from, FFloor);
  if (from >= FBase || FBase - from > most) return;
  std::string below = Read(from, FBase);
  if (static_cast<int64_t>(below.size()) != FBase - from) return;
  below.append(FView);
  FHeld = std::move(below);
  FView = FHeld;
  FBase = from;
}

std::string TTailBytes::Read(int64_t from, int64_t to) {
  std::string bytes(static_cast<size_t>(std::max<int64_t>(to - from, 0)), '\0');
  const int64_t n = FStream.ReadAt(from, bytes.data(), static_cast<int64_t>(bytes.size()));
  bytes.resize(static_cast<size_t>(std::clamp<int64_t>(n, 0, to - from)));
  return bytes;
}

}  // namespace tagscope
