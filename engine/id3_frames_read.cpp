// Reading a tag's frame list: the frame header layout is judged over the whole chain, then
// every frame is read with the chosen layout.
#include <algorithm>
#include <array>

#include "engine/frame_layout.h"
#include "engine/id3_engine.h"
#include "engine/id3_frames.h"
#include "engine/stream_helpers.h"
#include "engine/unsync.h"
#include "engine/zlib_codec.h"

namespace tagscope {

namespace {

// The bytes of a tag region, read through the stream without going past `end`.
class TRegion {
 public:
  TRegion(TStream& stream, int64_t start, int64_t end)
      : FStream(stream), FStart(start), FEnd(end) {}
  int64_t Start() const { return FStart; }
  int64_t End() const { return FEnd; }
  bool ReadHeader(int64_t at, std::array<uint8_t, FrameHeaderSize>& header) {
    if (FEnd - at < FrameHeaderSize) return false;
    FStream.SetPosition(at);
    return FStream.Read(header.data(), FrameHeaderSize) == FrameHeaderSize;
  }
  std::string ReadBytes(int64_t at, int64_t count) {
    FStream.SetPosition(at);
    return FStream.ReadString(std::clamp<int64_t>(FEnd - at, 0, count));
  }
  // True when only zero bytes stand from `at` to the end: padding.
  bool RestIsPadding(int64_t at) {
    FStream.SetPosition(at);
    std::array<char, 4096> buffer;
    while (at < FEnd) {
      const int64_t n = FStream.Read(buffer.data(), std::min<int64_t>(buffer.size(), FEnd - at));
      if (n <= 0) return true;
      if (std::any_of(buffer.begin(), buffer.begin() + n, [](char c) { return c != 0; }))
        return false;
      at += n;
    }
    return true;
  }

 private:
  TStream& FStream;
  int64_t FStart, FEnd;
};

// Walks the frame chain under a layout; true when it ends cleanly: on the region's end, on
// padding or at the frame limit, never on bytes that are neither a frame nor padding.
bool WalksCleanly(TRegion& region, const TFrameLayout& layout) {
  int64_t at = region.Start();
  std::array<uint8_t, FrameHeaderSize> bytes;
  for (int frames = 0; at < region.End() && frames < MaxFrameCount; ++frames) {
    if (!region.ReadHeader(at, bytes)) return region.RestIsPadding(at);
    const TFrameHeader h = DecodeFrameHeader(bytes.data(), layout);
    if (!ValidFrameID(h.id)) return region.RestIsPadding(at);
    if (!h.sizeValid || (layout.optionalInSize && h.size < static_cast<uint64_t>(h.optionalBytes)))
      return false;
    if (h.totalSize > region.End() - at) return false;
    at += h.totalSize;
  }
  return true;
}

TFrameLayout ChooseLayout(TRegion& region, uint8_t version) {
  const std::vector<TFrameLayout> candidates = CandidateLayouts(version);
  for (const TFrameLayout& layout : candidates)
    if (WalksCleanly(region, layout)) return layout;
  return candidates.front();
}

// Turns the payload as stored into its usable form.
// inflateBudget: what the tag's compressed frames may still inflate to, all together.
void FinishPayload(TID3Frames_Item& item, uint8_t version, uint32_t dataLength,
                   const TID3EngineFrameNotify& onDecrypt, int64_t& inflateBudget) {
  TMemoryStream& data = item.Data();
  if (version >= 4 && item.UnSynchronisation()) data.SetBytes(UndoUnsynchronisation(data.Bytes()));
  if (item.Encrypted()) {
    if (!onDecrypt) {
      // Still encrypted: not zlib data, so it stays as it is.
      item.SetKeptAsStored(true, dataLength);
      data.SetPosition(0);
      return;
    }
    data.Seek(0, TSeekOrigin::soEnd);
    onDecrypt(item, data);
  }
  if (item.Compress()) {
    DecompressStream(data, std::min(MaxInflatedSize, inflateBudget));
    inflateBudget -= data.Size();
  }
  data.SetPosition(0);
}

}  // namespace

void TID3Frames::ReadFrames(TStream& stream) {
  if (!FEngine) return;
  const TID3Header& header = FEngine->Header();
  const int64_t tagEnd = FEngine->TagOffset() + FrameHeaderSize + header.Size();
  const int64_t padding = ReadFrames(stream, header.VersionNumber(), tagEnd - stream.Position(),
                                     FEngine->OnFrameDecrypt);
  FEngine->SetPadding(padding);
}

int64_t TID3Frames::ReadFrames(TStream& stream, uint8_t version, int64_t remaining,
                               const TID3EngineFrameNotify& onDecrypt) {
  Clear();
  const int64_t start = stream.Position();
  // A file that ends early ends the tag: its extent never reaches past the file's end.
  const int64_t end = start + std::clamp<int64_t>(remaining, 0, stream.Size() - start);
  TRegion region(stream, start, end);
  const TFrameLayout layout = ChooseLayout(region, version);

  int64_t at = start;
  int64_t inflateBudget = MaxInflatedTagSize;
  std::array<uint8_t, FrameHeaderSize> bytes;
  while (at < end && Count() < MaxFrameCount && region.ReadHeader(at, bytes)) {
    const TFrameHeader h = DecodeFrameHeader(bytes.data(), layout);
    if (!ValidFrameID(h.id)) break;
    TID3Frames_Item& item = Add();
    item.SetName(h.id);
    SetItemFlags(item, h.status, h.format, layout.version4Flags);
    uint32_t dataLength = 0;
    DecodeOptionalBytes(item, layout.version4Flags,
                        region.ReadBytes(at + FrameHeaderSize, h.optionalBytes), dataLength);
    // A frame that runs past the tag's end keeps only the bytes inside the tag.
    const int64_t payloadStart = std::min(at + FrameHeaderSize + h.optionalBytes, end);
    const int64_t payloadSize = std::min(h.payloadSize, end - payloadStart);
    if (payloadSize > 0) {
      stream.SetPosition(payloadStart);
      CopyStreamData(stream, item.Data(), payloadSize);
    }
    at = at + std::min(h.totalSize, end - at);
    FinishPayload(item, version, dataLength, onDecrypt, inflateBudget);
  }
  stream.SetPosition(at);
  return end - at;
}

}  // namespace tagscope
