#include "engine/tag/unsync.h"

namespace tagscope {

std::string ApplyUnsynchronisation(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 64 + 1);
  for (size_t i = 0; i < bytes.size(); ++i) {
    out.push_back(bytes[i]);
    if (static_cast<uint8_t>(bytes[i]) != 0xFF) continue;
    const bool last = i + 1 == bytes.size();
    if (last || static_cast<uint8_t>(bytes[i + 1]) >= 0xE0 || bytes[i + 1] == 0)
      out.push_back('\0');
  }
  return out;
}

std::string UndoUnsynchronisation(std::string_view stored) {
  std::string out;
  out.reserve(stored.size());
  for (size_t i = 0; i < stored.size(); ++i) {
    out.push_back(stored[i]);
    if (static_cast<uint8_t>(stored[i]) == 0xFF && i + 1 < stored.size() && stored[i + 1] == 0) ++i;
  }
  return out;
}

int64_t StoredOffset(std::string_view stored, int64_t decodedOffset) {
  int64_t decoded = 0;
  for (size_t i = 0; i < stored.size(); ++i, ++decoded) {
    if (decoded == decodedOffset) return static_cast<int64_t>(i);
    if (static_cast<uint8_t>(stored[i]) == 0xFF && i + 1 < stored.size() && stored[i + 1] == 0) ++i;
  }
  return static_cast<int64_t>(stored.size());
}

}  // namespace tagscope
