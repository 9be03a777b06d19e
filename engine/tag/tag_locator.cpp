#include "engine/tag/tag_locator.h"

#include <string>
#include <string_view>

#include "engine/tag/id3_layout.h"

namespace tagscope {

namespace {

constexpr int64_t kChunk = 4096;
constexpr int64_t kBlock = 256 * 1024;
constexpr size_t kSignature = 4;  // "ID3" and the version byte

bool IsSignature(std::string_view bytes, size_t at) {
  return bytes.compare(at, 3, "ID3") == 0 && static_cast<uint8_t>(bytes[at + 3]) <= id3::MaxVersion;
}

}  // namespace

int64_t FindTagSignature(TStream& stream) {
  stream.SetPosition(0);
  int64_t result = -1;
  std::string window;  // unscanned bytes, the first at windowStart
  int64_t windowStart = 0;
  std::string block(kBlock, '\0');
  for (;;) {
    const int64_t n = stream.Read(block.data(), kBlock);
    if (n <= 0) break;
    window.append(block, 0, static_cast<size_t>(n));
    const std::string_view view(window);
    size_t at = 0;
    while ((at = view.find("ID3", at)) != std::string_view::npos &&
           at + kSignature <= view.size()) {
      const int64_t p = windowStart + static_cast<int64_t>(at);
      if (IsSignature(view, at) && (result < 0 || p / kChunk != result / kChunk)) result = p;
      ++at;
    }
    // Keep the last bytes, which may begin a signature that the next block completes.
    const size_t keep = std::min(window.size(), kSignature - 1);
    windowStart += static_cast<int64_t>(window.size() - keep);
    window.erase(0, window.size() - keep);
  }
  return result;
}

}  // namespace tagscope
