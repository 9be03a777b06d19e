#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "tagscope/engine/mpeg_audio.h"
#include "tagscope/engine/stream_report.h"
#include "tagscope/rtl/stream.h"

namespace tagscope {

enum class TTrailerKind : uint8_t;

// What the walk says of a block behind the audio whose bounds fail ("damaged APEv2 tag (...)").
std::string DamagedTrailerText(TTrailerKind kind, const std::string& damage);

// A second ID3v1 trailer right below the one at the end: an older trailer that a writer did not
// replace. Looked for only where the trailer is the lowest block behind the audio.
inline constexpr int64_t kID3v1Size = 128;
inline constexpr const char* kSecondID3v1Text = "a second ID3v1 trailer";
inline bool BeginsID3v1(std::string_view bytes) {
  return bytes.substr(0, 3) == "TAG";
}

// A stream read forward in large blocks below an end. A look at a position holds at least
// kMargin bytes after it (as far as the end), so a walk can look a few frames ahead in the
// same bytes; a new block is read only when fewer are held.
class TForwardWindow {
 public:
  static constexpr int64_t kBlock = int64_t(1) << 20;
  static constexpr int64_t kMargin = 16 * 1024;  // more than three frames of any kind

  // The block's room is taken over from the last window the thread closed, and handed back:
  // a walk over many files allocates (and clears) it once per thread, not once per file.
  TForwardWindow(TStream& stream, int64_t end);
  ~TForwardWindow();
  TForwardWindow(const TForwardWindow&) = delete;
  TForwardWindow& operator=(const TForwardWindow&) = delete;

  // The bytes held from pos on. A stream that turns out shorter than its end said moves the
  // end to where its bytes stop.
  std::string_view From(int64_t pos) {
    // Inline, as a walk looks at every frame: enough bytes are held but once a block.
    const int64_t held = FBase + FHeld - pos;
    if (pos >= FBase && held > 0 && held >= std::min(2 * kMargin, FEnd - pos))
      return std::string_view(FBytes + (pos - FBase), static_cast<size_t>(held));
    return Refilled(pos);
  }
  // Whether a view from pos reaches the end: no bytes after it are left to read.
  bool ReachesEnd(int64_t pos, std::string_view view) const {
    return pos + static_cast<int64_t>(view.size()) >= FEnd;
  }
  int64_t End() const { return FEnd; }
  // Moves the end nearer: nothing at or past it is seen from then on.
  void SetEnd(int64_t end);

 private:
  // From, where too few bytes are held from pos on.
  std::string_view Refilled(int64_t pos);
  // Reads a block from pos on, the `keep` bytes held from pos on kept.
  void Refill(int64_t pos, int64_t keep);

  // Where in the room a block read from pos begins: at pos's offset within a page.
  char* PlaceFor(int64_t pos);

  TStream& FStream;
  int64_t FEnd;
  int64_t FBase = 0;
  std::string FRoom;        // room for a block, a page either side
  const char* FBytes = "";  // in the room: FHeld bytes, the stream's from FBase
  int64_t FHeld = 0;
};

// Told of each frame the walk takes as the stream's (a Xing, Info or VBRI header's frame too), in
// order, with its offset in the file.
using TFrameVisitor = std::function<void(int64_t offset, const TMpegFrameHeader& header)>;

// WalkStream, telling `visit` of each frame taken.
TStreamReport WalkStream(TStream& stream, int64_t start, const TFrameVisitor& visit);

// The frames, bytes and length WalkStream counts, between bounds the caller located (past the
// ID3v2 tags at the start, below the blocks behind the audio): the same walk, no findings kept.
TStreamReport CountStreamFrames(TStream& stream, int64_t audioStart, int64_t audioEnd);

}  // namespace tagscope
