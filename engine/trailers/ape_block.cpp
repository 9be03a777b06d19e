// Finding an APE tag behind the audio and proving where it begins.
#include "engine/trailers/ape_block.h"

#include <algorithm>

#include "tagscope/engine/trailer_tags.h"
#include "tagscope/rtl/byte_reader.h"
#include "tagscope/rtl/exception.h"

namespace tagscope {

namespace {

using namespace ape;

// A tag whose items lie outside the bytes held is read whole when it is no larger: its items are
// then walked without a read each.
constexpr int64_t kHoldItems = 64 << 10;

bool KeyCharacter(char c) {
  return c >= 0x20 && c <= 0x7E;
}

struct TApeFooter {
  uint32_t version = 0, size = 0, count = 0, flags = 0;
};

TApeFooter FooterFields(const std::string& bytes) {
  const TByteReader r(bytes);
  return {static_cast<uint32_t>(r.LEAt(8, 4)), static_cast<uint32_t>(r.LEAt(12, 4)),
          static_cast<uint32_t>(r.LEAt(16, 4)), static_cast<uint32_t>(r.LEAt(20, 4))};
}

// Why the header at `start` does not stand where the footer's flags put one; empty when it does.
std::string HeaderProblem(TTailBytes& bytes, int64_t start, const TApeFooter& footer) {
  const std::string header = bytes.Bytes(start, start + kFooterSize);
  if (header.size() != kFooterSize || header.compare(0, 8, "APETAGEX") != 0)
    return Format("no APETAGEX header at byte %lld, where the footer's flags put one",
                  static_cast<long long>(start));
  const TApeFooter h = FooterFields(header);
  if (h.version != footer.version || h.size != footer.size || h.count != footer.count)
    return Format(
        "its header (version %u, %u bytes, %u items) disagrees with its footer (version %u, %u "
        "bytes, %u items)",
        h.version, h.size, h.count, footer.version, footer.size, footer.count);
  return {};
}

// Why the items from `from` do not end exactly at `to` after `count` of them; empty when they do.
std::string ItemsProblem(TTailBytes& bytes, int64_t from, int64_t to, uint32_t count) {
  if (count > kApeMaxItems || count > static_cast<uint64_t>(to - from) / kMinItem)
    return Format("the footer counts %u items, more than its %lld bytes can hold", count,
                  static_cast<long long>(to - from));
  bytes.Hold(from, kHoldItems);
  int64_t at = from;
  for (uint32_t i = 0; i < count; ++i) {
    const std::string head =
        bytes.Bytes(at, std::min<int64_t>(to, at + static_cast<int64_t>(kItemHead + kMaxKey + 1)));
    TApeItemHead item;
    const std::string problem = ReadApeItemHead(head, item);
    if (!problem.empty())
      return Format("item %u at byte %lld: %s", i, static_cast<long long>(at), problem.c_str());
    const auto left = static_cast<uint64_t>(to - at) - item.length;
    if (item.valueSize > left)
      return Format("item %u at byte %lld: its %llu bytes run past the footer", i,
                    static_cast<long long>(at), static_cast<unsigned long long>(item.valueSize));
    at += static_cast<int64_t>(item.length + item.valueSize);
  }
  if (at != to)
    return Format("its %u items end at byte %lld, %lld bytes before its footer", count,
                  static_cast<long long>(at), static_cast<long long>(to - at));
  return {};
}

}  // namespace

std::string ReadApeItemHead(std::string_view bytes, TApeItemHead& head) {
  if (bytes.size() < kItemHead) return "cut short";
  const TByteReader r(bytes);
  head.valueSize = r.LEAt(0, 4);
  head.flags = static_cast<uint32_t>(r.LEAt(4, 4));
  const std::string_view rest = bytes.substr(kItemHead);
  const size_t keyEnd = rest.find('\0');
  if (keyEnd == std::string_view::npos || keyEnd < kMinKey || keyEnd > kMaxKey ||
      !std::all_of(rest.begin(), rest.begin() + static_cast<ptrdiff_t>(keyEnd), KeyCharacter))
    return "no valid key";
  head.key = rest.substr(0, keyEnd);
  head.length = kItemHead + keyEnd + 1;
  return {};
}

std::optional<TTrailerBlock> LocateApeTag(TTailBytes& bytes, int64_t end) {
  const std::string footerBytes = bytes.Bytes(end - kFooterSize, end);
  if (footerBytes.size() != kFooterSize || footerBytes.compare(0, 8, "APETAGEX") != 0)
    return std::nullopt;
  const TApeFooter footer = FooterFields(footerBytes);
  TTrailerBlock b;
  b.kind = TTrailerKind::tkApe;
  b.markerStart = end - kFooterSize;
  b.apeVersion = footer.version;
  b.apeCount = footer.count;
  b.apeFlags = footer.flags;
  b.apeHeader = (footer.flags & kHasHeader) != 0;
  b.place = {b.markerStart, kFooterSize};
  // The size counts the items and the footer; a header before them is counted apart.
  const int64_t total = int64_t{footer.size} + (b.apeHeader ? kFooterSize : 0);
  if (footer.size < kFooterSize) {
    b.damage = Format("its footer's size (%u) is smaller than the footer", footer.size);
    return b;
  }
  if (total > end - bytes.Floor()) {
    b.damage = Format("its size (%lld bytes) reaches below the audio's start",
                      static_cast<long long>(total));
    return b;
  }
  const int64_t start = end - total;
  b.place = {start, total};
  if (b.apeHeader) b.damage = HeaderProblem(bytes, start, footer);
  if (b.damage.empty())
    b.damage =
        ItemsProblem(bytes, start + (b.apeHeader ? kFooterSize : 0), b.markerStart, footer.count);
  return b;
}

}  // namespace tagscope
