#include "engine/file/pending_writes.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <numeric>

#include "tagscope/rtl/exception.h"

namespace tagscope {

namespace {

// The spans (start, length) where `fresh` differs from `old`, or runs past its end. Differences
// less far apart than a few bytes make one span: fewer writes, each hardly larger.
std::vector<std::pair<size_t, size_t>> ChangedSpans(const std::string& old,
                                                    const std::string& fresh) {
  constexpr size_t kGap = 64;
  const size_t common = std::min(old.size(), fresh.size());
  auto nextDifference = [&](size_t at) {
    if (at >= common) return std::min(at, fresh.size());
    return static_cast<size_t>(std::mismatch(fresh.begin() + static_cast<ptrdiff_t>(at),
                                             fresh.begin() + static_cast<ptrdiff_t>(common),
                                             old.begin() + static_cast<ptrdiff_t>(at))
                                   .first -
                               fresh.begin());
  };
  auto nextSame = [&](size_t at) {
    // A moved picture differs almost everywhere: eight bytes at a time while none of them match.
    constexpr uint64_t kLow = 0x0101010101010101u, kHigh = 0x8080808080808080u;
    for (uint64_t a, b; at + 8 <= common; at += 8) {
      std::memcpy(&a, fresh.data() + at, 8);
      std::memcpy(&b, old.data() + at, 8);
      const uint64_t x = a ^ b;
      if ((x - kLow) & ~x & kHigh) break;  // a zero byte of x: a byte that matches
    }
    while (at < common && fresh[at] != old[at]) ++at;
    return at < common ? at : fresh.size();
  };
  std::vector<std::pair<size_t, size_t>> spans;
  for (size_t at = nextDifference(0); at < fresh.size();) {
    size_t end = nextSame(at);
    for (size_t next = nextDifference(end); next < fresh.size() && next - end < kGap;
         next = nextDifference(end))
      end = nextSame(next);
    spans.emplace_back(at, end - at);
    at = nextDifference(end);
  }
  return spans;
}

}  // namespace

TPendingWrites::TPendingWrites(TStream& base)
    : FBase(base), FBaseSize(base.Size()), FSize(FBaseSize) {}

int64_t TPendingWrites::Read(void* buffer, int64_t count) {
  count = std::min(count, FSize - FPosition);
  if (count <= 0) return 0;
  char* out = static_cast<char*>(buffer);
  std::memset(out, 0, static_cast<size_t>(count));
  const int64_t fromBase = std::clamp<int64_t>(FBaseSize - FPosition, 0, count);
  if (fromBase > 0 && FBase.ReadAt(FPosition, out, fromBase) != fromBase)
    throw EReadError(SReadError);
  // Later writes cover earlier ones.
  for (const TWrite& w : FWrites) {
    const int64_t from = std::max(w.offset, FPosition);
    const int64_t to = std::min(w.offset + static_cast<int64_t>(w.bytes.size()), FPosition + count);
    if (from < to)
      std::memcpy(out + (from - FPosition), w.bytes.data() + (from - w.offset),
                  static_cast<size_t>(to - from));
  }
  FPosition += count;
  return count;
}

int64_t TPendingWrites::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  FWrites.push_back(
      {FPosition, std::string(static_cast<const char*>(buffer), static_cast<size_t>(count)), {}});
  FChangesOnly = false;
  FPosition += count;
  FSize = std::max(FSize, FPosition);
  return count;
}

int64_t TPendingWrites::Seek(int64_t offset, TSeekOrigin origin) {
  const int64_t base = origin == TSeekOrigin::soBeginning ? 0
                       : origin == TSeekOrigin::soCurrent ? FPosition
                                                          : FSize;
  if (base + offset < 0) throw EStreamError(SInvalidStreamOp);
  FPosition = base + offset;
  return FPosition;
}

void TPendingWrites::SetSize(int64_t size) {
  if (size < FSize) throw EStreamError(SInvalidStreamOp);
  FSize = size;
}

void TPendingWrites::Apply(TStream& file) const {
  for (const TWrite& w : FWrites) {
    file.SetPosition(w.offset);
    file.WriteString(w.bytes);
  }
  if (file.Size() < FSize) file.SetSize(FSize);
}

void TPendingWrites::KeepChangesOnly(size_t mostWrites) {
  if (FChangesOnly) return;
  std::vector<std::pair<int64_t, int64_t>> spans;
  for (const TWrite& w : FWrites)
    spans.emplace_back(w.offset, w.offset + static_cast<int64_t>(w.bytes.size()));
  std::sort(spans.begin(), spans.end());
  std::vector<TWrite> net;
  for (size_t i = 0; i < spans.size();) {
    auto [from, to] = spans[i];
    for (++i; i < spans.size() && spans[i].first <= to; ++i) to = std::max(to, spans[i].second);
    const std::string old = ReadBase(from, to);
    // What the change leaves there: the base's bytes, zeros past its end, the writes over them
    // in order.
    std::string fresh = old;
    fresh.resize(static_cast<size_t>(to - from), '\0');
    for (const TWrite& w : FWrites) {
      const int64_t start = std::max(w.offset, from);
      const int64_t end = std::min(w.offset + static_cast<int64_t>(w.bytes.size()), to);
      if (start < end)
        std::memcpy(fresh.data() + (start - from), w.bytes.data() + (start - w.offset),
                    static_cast<size_t>(end - start));
    }
    for (const auto& [at, length] : ChangedSpans(old, fresh)) {
      const size_t kept = at < old.size() ? std::min(length, old.size() - at) : 0;
      net.push_back({from + static_cast<int64_t>(at), fresh.substr(at, length),
                     kept ? old.substr(at, kept) : std::string()});
    }
  }
  FWrites = std::move(net);
  FChangesOnly = true;
  JoinAcrossGaps(std::max<size_t>(mostWrites, 1));
}

std::string TPendingWrites::ReadBase(int64_t from, int64_t to) const {
  const int64_t length = std::clamp<int64_t>(FBaseSize - from, 0, to - from);
  std::string bytes(static_cast<size_t>(length), '\0');
  if (length > 0 && FBase.ReadAt(from, bytes.data(), length) != length)
    throw EReadError(SReadError);
  return bytes;
}

TPendingWrites::TWrite TPendingWrites::Joined(size_t first, size_t last) const {
  const int64_t from = FWrites[first].offset;
  const int64_t to = FWrites[last].offset + static_cast<int64_t>(FWrites[last].bytes.size());
  TWrite joined{from, std::string(), ReadBase(from, to)};
  joined.bytes = joined.old;
  joined.bytes.resize(static_cast<size_t>(to - from), '\0');
  for (size_t i = first; i <= last; ++i)
    joined.bytes.replace(static_cast<size_t>(FWrites[i].offset - from), FWrites[i].bytes.size(),
                         FWrites[i].bytes);
  return joined;
}

void TPendingWrites::JoinAcrossGaps(size_t mostWrites) {
  if (FWrites.size() <= mostWrites) return;
  // The gaps between neighbours, narrowest first (the earlier of equal ones first): as many are
  // closed as it takes.
  auto gap = [&](size_t i) {
    return FWrites[i + 1].offset - FWrites[i].offset -
           static_cast<int64_t>(FWrites[i].bytes.size());
  };
  std::vector<size_t> order(FWrites.size() - 1);
  std::iota(order.begin(), order.end(), size_t{0});
  std::sort(order.begin(), order.end(),
            [&](size_t a, size_t b) { return std::pair(gap(a), a) < std::pair(gap(b), b); });
  std::vector<bool> closed(order.size(), false);
  for (size_t k = 0; k < FWrites.size() - mostWrites; ++k) closed[order[k]] = true;
  std::vector<TWrite> joined;
  for (size_t i = 0; i < FWrites.size();) {
    size_t j = i;
    while (j < closed.size() && closed[j]) ++j;
    joined.push_back(i == j ? std::move(FWrites[i]) : Joined(i, j));
    i = j + 1;
  }
  FWrites = std::move(joined);
}

bool TPendingWrites::JoinWithin(int64_t block) {
  if (FWrites.empty() || FSize != FBaseSize) return false;
  const int64_t from = FWrites.front().offset;
  const int64_t to = FWrites.back().offset + static_cast<int64_t>(FWrites.back().bytes.size());
  if (from / block != (to - 1) / block) return false;
  FWrites = {Joined(0, FWrites.size() - 1)};
  return true;
}

}  // namespace tagscope
