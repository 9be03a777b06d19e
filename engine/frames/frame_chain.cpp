#include "engine/frames/frame_chain.h"

#include <algorithm>

#include "tagscope/engine/id3_frame_item.h"

namespace tagscope {

TChainLink TFrameChain::Next() {
  FAt = FNext;
  if (FAt >= FIn.Size() || !FIn.HasAt(FAt, FrameHeaderSize)) return TChainLink::clEnd;
  FHeader = DecodeFrameHeader(FIn, FAt, FLayout);
  if (!ValidFrameID(FHeader.id)) return TChainLink::clEnd;
  if (!FHeader.sizeValid) return TChainLink::clBadSize;
  if (FHeader.totalSize > static_cast<int64_t>(FIn.Size() - FAt)) return TChainLink::clPastEnd;
  FNext = FAt + static_cast<size_t>(FHeader.totalSize);
  ++FCount;
  return TChainLink::clFrame;
}

bool TFrameChain::RestIsPadding() const {
  const std::string_view rest = FIn.ViewAt(FAt, FIn.Size() - std::min(FAt, FIn.Size()));
  return std::all_of(rest.begin(), rest.end(), [](char c) { return c == 0; });
}

bool WalksCleanly(const TByteReader& in, const TFrameLayout& layout, int maxFrames) {
  TFrameChain chain(in, layout);
  TChainLink link = TChainLink::clEnd;
  while (chain.Count() < maxFrames && (link = chain.Next()) == TChainLink::clFrame) {
  }
  if (link == TChainLink::clFrame) return true;  // at the frame limit
  // A size too small for what the flags announce marks a damaged frame, not a wrong layout.
  return link == TChainLink::clEnd && chain.RestIsPadding();
}

TFrameLayout ChooseFrameLayout(const TByteReader& in, uint8_t version, int maxFrames) {
  const std::array<TFrameLayout, 4> candidates = CandidateLayouts(version);
  for (const TFrameLayout& layout : candidates)
    if (WalksCleanly(in, layout, maxFrames)) return layout;
  return candidates.front();
}

}  // namespace tagscope
