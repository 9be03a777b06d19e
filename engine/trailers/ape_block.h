#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/trailers/tail_bytes.h"
#include "engine/trailers/trailer_locator.h"

namespace tagscope {

namespace ape {
inline constexpr int64_t kFooterSize = 32;  // also the header's
inline constexpr uint32_t kHasHeader = 1u << 31;
inline constexpr size_t kItemHead = 8;  // value size and flags
inline constexpr size_t kMinKey = 2, kMaxKey = 255;
// The fewest bytes an item takes: its head, a two-letter key and the key's terminator.
inline constexpr size_t kMinItem = kItemHead + kMinKey + 1;
}  // namespace ape

// The head of an APE item: its value's size, its flags and its key.
struct TApeItemHead {
  uint64_t valueSize = 0;
  uint32_t flags = 0;
  std::string_view key;  // views the bytes given
  size_t length = 0;     // head, key and the key's terminator
};

// Reads the head of the item that `bytes` begin with (they hold at least the head and the key,
// where the item has them). Returns why it is no item ("cut short", "no valid key"), or empty.
std::string ReadApeItemHead(std::string_view bytes, TApeItemHead& head);

// The APE tag whose footer ends at `end`, its boundaries proven or its damage named; none when
// no footer ends there.
std::optional<TTrailerBlock> LocateApeTag(TTailBytes& bytes, int64_t end);

}  // namespace tagscope
