#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tagscope {

// A frame ID of four characters as one number that sorts as the IDs do: the tables of IDs are
// searched by it, comparing numbers where strings were compared (a dump looks up every frame's
// kind and name).
constexpr uint32_t FrameIDKey(std::string_view id) {
  uint32_t key = 0;
  for (size_t i = 0; i < 4; ++i) key = key << 8 | static_cast<uint8_t>(i < id.size() ? id[i] : 0);
  return key;
}

// The keys of a table's rows (each with an `id`), in the table's order.
template <typename Row, size_t N>
constexpr std::array<uint32_t, N> FrameIDKeys(const std::array<Row, N>& rows) {
  std::array<uint32_t, N> keys{};
  for (size_t i = 0; i < N; ++i) keys[i] = FrameIDKey(rows[i].id);
  return keys;
}

// The place of `key` in keys sorted in ascending order, or N when it is not there.
template <size_t N>
size_t FindFrameIDKey(const std::array<uint32_t, N>& keys, uint32_t key) {
  const auto it = std::lower_bound(keys.begin(), keys.end(), key);
  return it != keys.end() && *it == key ? static_cast<size_t>(it - keys.begin()) : N;
}

}  // namespace tagscope
