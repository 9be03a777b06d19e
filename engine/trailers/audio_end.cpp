// Whether the audio's last MPEG frames end where a block behind the audio begins.
#include "engine/trailers/audio_end.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "tagscope/engine/mpeg_frame_header.h"

namespace tagscope {

namespace {

// Before the block: four frames at least of the longest kind (1729 bytes, layer II at
// 384 kbit/s and 32 kHz). Past it: more than one.
constexpr int64_t kWindow = 8 << 10;
constexpr int64_t kAhead = 2 << 10;
constexpr int kRunFrames = 3;  // frame headers in a row that make a sync believable

// The bytes around the block's start, and the frame headers in them.
class TFrameWindow {
 public:
  TFrameWindow(TTailBytes& bytes, int64_t blockStart)
      : FFrom(std::max(bytes.Floor(), blockStart - kWindow)) {
    bytes.Hold(FFrom, kWindow + kAhead);
    FBytes = bytes.View(FFrom, blockStart + kAhead);
    if (FBytes.empty()) {
      FCopy = bytes.Bytes(FFrom, blockStart + kAhead);
      FBytes = FCopy;
    }
  }

  int64_t From() const { return FFrom; }
  // The frame header at `at`, when one is there in full.
  bool HeaderAt(int64_t at, TMpegFrameHeader& h) const {
    const int64_t i = at - FFrom;
    if (i < 0 || i + 4 > static_cast<int64_t>(FBytes.size())) return false;
    uint32_t bits = 0;
    for (int k = 0; k < 4; ++k) bits = bits << 8 | static_cast<uint8_t>(FBytes[i + k]);
    return ParseMpegFrameHeader(bits, h);
  }
  bool ZerosBetween(int64_t from, int64_t to) const {
    const auto held = static_cast<int64_t>(FBytes.size());
    const int64_t b = std::clamp<int64_t>(from - FFrom, 0, held);
    const int64_t e = std::clamp<int64_t>(to - FFrom, b, held);
    return e - b == to - from &&
           std::all_of(FBytes.begin() + b, FBytes.begin() + e, [](char c) { return c == 0; });
  }

 private:
  int64_t FFrom;
  std::string_view FBytes;
  std::string FCopy;  // where the bytes are not held
};

}  // namespace

TAudioEnd CheckAudioEnd(TTailBytes& bytes, int64_t blockStart) {
  const TFrameWindow w(bytes, blockStart);
  TAudioEnd result;
  TMpegFrameHeader stream, first, h;
  for (int64_t at = w.From(); at < blockStart; ++at) {
    if (!w.HeaderAt(at, first)) continue;
    // Follow the frames that chain on from here up to the block.
    int64_t end = at;
    int frames = 0;
    while (end < blockStart && w.HeaderAt(end, h) && h.SameStream(first)) {
      end += h.frameLength;
      ++frames;
    }
    // A stream already followed is picked up again by a shorter run only where that run ends
    // exactly at the block.
    const bool again = result.framesEnd >= 0 && first.SameStream(stream) && end == blockStart;
    if (frames < kRunFrames && !again) continue;
    stream = first;
    result.framesEnd = end;
    if (end < blockStart) {
      at = end - 1;  // broken here: look for the stream again past it
      continue;
    }
    result.kind = w.HeaderAt(end, h) && h.SameStream(first) ? TAudioEndKind::aeRunsOn
                  : end == blockStart                       ? TAudioEndKind::aeAtBlock
                                                            : TAudioEndKind::aeCutShort;
    return result;
  }
  if (result.framesEnd < 0) return result;
  result.kind =
      w.ZerosBetween(result.framesEnd, blockStart) ? TAudioEndKind::aePadded : TAudioEndKind::aeGap;
  return result;
}

}  // namespace tagscope
