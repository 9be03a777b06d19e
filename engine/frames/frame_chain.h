#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/frames/frame_layout.h"
#include "tagscope/rtl/byte_reader.h"

namespace tagscope {

// What the walk over a chain of frames finds where it stands.
enum class TChainLink : uint8_t {
  clFrame,    // a frame that fits: Header() is it
  clEnd,      // no frame: the bytes end, or no frame ID starts here (padding, or what is no frame)
  clBadSize,  // a frame ID whose size field is not a sync-safe integer
  clPastEnd,  // a frame ID whose size runs past the end of the bytes
};

// The one walk over the frames laid out one after the other in a tag's body or a chapter's
// payload: each a header, its optional bytes and its payload, under one layout.
class TFrameChain {
 public:
  TFrameChain(const TByteReader& in, const TFrameLayout& layout) : FIn(in), FLayout(layout) {}

  // Passes the frame found last, if any, and reads the link there.
  TChainLink Next();
  // Where Next reads the next link.
  size_t NextAt() const { return FNext; }
  // Where the link found last starts (the end of the frames once the walk stopped).
  size_t At() const { return FAt; }
  const TFrameHeader& Header() const { return FHeader; }
  // The frames passed or found so far.
  int Count() const { return FCount; }
  // Whether the bytes from At() on are zero (padding) or none.
  bool RestIsPadding() const;

 private:
  const TByteReader& FIn;
  TFrameLayout FLayout;
  TFrameHeader FHeader;
  size_t FAt = 0;
  size_t FNext = 0;
  int FCount = 0;
};

// Whether the chain under the layout ends cleanly: on the bytes' end, on zero padding or after
// `maxFrames` frames, never on bytes that are neither a frame nor padding.
bool WalksCleanly(const TByteReader& in, const TFrameLayout& layout, int maxFrames);

// The layout the frames of a tag of the version are read with: the first of the candidates
// (the standard one first) whose chain ends cleanly, else the standard one.
TFrameLayout ChooseFrameLayout(const TByteReader& in, uint8_t version, int maxFrames);

}  // namespace tagscope
