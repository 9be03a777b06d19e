// Reading a tag's frame list from the tag's bytes in memory: the frame header layout is judged
// over the whole chain, then every frame is read with the chosen layout. Payloads stay views of
// the tag's bytes unless they had to be decoded.
#include <algorithm>

#include "engine/frames/frame_chain.h"
#include "engine/frames/frame_layout.h"
#include "engine/frames/stream_helpers.h"
#include "engine/tag/id3_layout.h"
#include "engine/tag/unsync.h"
#include "engine/tag/v22_frames.h"
#include "engine/tag/zlib_codec.h"
#include "tagscope/engine/id3_frames.h"
#include "tagscope/rtl/byte_reader.h"

namespace tagscope {

namespace {

// What went wrong with a frame's content, in words, from the error its decoding raised.
std::string ContentProblem(const TID3Frames_Item& item, const std::exception& e) {
  if (item.Compress() && std::string_view(e.what()) == "Error") return "compressed data is corrupt";
  if (item.Compress()) return "compressed data cannot be inflated: " + std::string(e.what());
  return e.what();
}

// Reads one frame list; collects where reading had to stop or skip.
class TFrameParser {
 public:
  TFrameParser(TID3Frames& frames, std::shared_ptr<const void> owner, std::string_view bytes,
               uint8_t version, const TID3EngineFrameNotify& onDecrypt)
      : FFrames(frames),
        FOwner(std::move(owner)),
        FIn(bytes),
        FVersion(version),
        FOnDecrypt(onDecrypt) {}

  TID3Frames::TParseResult Run() {
    size_t at = FVersion == 2 ? ReadVersion2() : ReadFrames();
    FResult.framesEnd = at;
    // Padding is zero bytes: anything else after the last frame is something not read.
    if (FResult.problem.empty() && at < FIn.Size()) {
      const std::string_view rest = FIn.ViewAt(at, FIn.Size() - at);
      const size_t first = rest.find_first_not_of('\0');
      if (first != std::string_view::npos) {
        FResult.strayAt = at + first;
        FResult.strayLength = rest.find_last_not_of('\0') - first + 1;
      }
    }
    return std::move(FResult);
  }

 private:
  size_t ReadFrames() {
    const TFrameLayout layout = ChooseFrameLayout(FIn, FVersion, MaxFrameCount);
    TFrameChain chain(FIn, layout);
    for (TChainLink link; (link = chain.Next()) != TChainLink::clEnd;) {
      const size_t at = chain.At();
      const TFrameHeader& h = chain.Header();
      if (AtFrameLimit(at)) break;
      if (link == TChainLink::clBadSize)
        return Fail(at, h.id, "its size field is not a sync-safe integer");
      if (link == TChainLink::clPastEnd)
        return Fail(at, h.id,
                    Format("its size (%lld bytes) runs past the end of the tag",
                           static_cast<long long>(h.size)));
      if (layout.optionalInSize && h.size < static_cast<uint64_t>(h.optionalBytes)) {
        // Its size is sound but its flags contradict it: kept as it stands, and read past.
        AddDamaged(h, at);
        continue;
      }
      TID3Frames_Item& item = FFrames.Add();
      item.SetID(h.id);
      SetItemFlags(item, h.status, h.format, layout.version4Flags);
      uint32_t dataLength = 0;
      const size_t optionalAt = at + static_cast<size_t>(FrameHeaderSize);
      DecodeOptionalBytes(item, layout.version4Flags,
                          FIn.ViewAt(optionalAt, static_cast<size_t>(h.optionalBytes)), dataLength);
      const std::string_view payload = FIn.ViewAt(optionalAt + static_cast<size_t>(h.optionalBytes),
                                                  static_cast<size_t>(h.payloadSize));
      FinishPayload(item, payload, dataLength, at);
    }
    return chain.At();
  }

  // A frame kept with the flag bytes and body it was stored with, its flags not applied.
  void AddDamaged(const TFrameHeader& h, size_t at) {
    TID3Frames_Item& item = FFrames.Add();
    item.SetID(h.id);
    const std::string_view flags = FIn.ViewAt(at + 8, 2);
    item.SetSharedPayload(
        FOwner, FIn.ViewAt(at + static_cast<size_t>(FrameHeaderSize), static_cast<size_t>(h.size)));
    item.SetDamaged(FVersion, static_cast<uint8_t>(flags[0]), static_cast<uint8_t>(flags[1]));
  }

  // ID3v2.2: 3-character IDs and 3-byte plain sizes, no flags. IDs with a later equivalent
  // take it; pictures get a MIME type in place of their image format.
  size_t ReadVersion2() {
    size_t at = 0;
    while (at < FIn.Size() && FIn.HasAt(at, V2Header)) {
      const std::string_view id3 = FIn.ViewAt(at, 3);
      if (!ValidV22FrameID(id3)) break;
      if (AtFrameLimit(at)) break;
      const uint64_t size = FIn.BEAt(at + 3, 3);
      if (size > FIn.Size() - at - V2Header)
        return Fail(at, std::string(id3),
                    Format("its size (%lld bytes) runs past the end of the tag",
                           static_cast<long long>(size)));
      const std::string_view payload = FIn.ViewAt(at + V2Header, static_cast<size_t>(size));
      AddVersion2Frame(id3, payload);
      at += V2Header + static_cast<size_t>(size);
    }
    return at;
  }

  // Pictures and links change their content with their ID; a frame that has no later
  // equivalent, or whose content cannot be converted, keeps its three-character ID.
  void AddVersion2Frame(std::string_view id3, std::string_view payload) {
    TID3Frames_Item& item = FFrames.Add();
    const std::string_view id = V22FrameID(id3);
    const bool converted = id3 == "PIC" || id3 == "LNK";
    std::optional<std::string> content;
    if (converted) content = id3 == "PIC" ? V22PictureToAPIC(payload) : V22LinkToLINK(payload);
    if (id.empty() || (converted && !content)) {
      item.SetID(id3);
      item.SetSharedPayload(FOwner, payload);
      return;
    }
    item.SetID(id);
    if (content)
      item.SetPayload(std::move(*content));
    else
      item.SetSharedPayload(FOwner, payload);
  }

  // At the frame limit with another frame to come: reading stops there.
  bool AtFrameLimit(size_t at) {
    if (FFrames.Count() < MaxFrameCount) return false;
    Note(at, "", Format("The tag holds more than %d frames; reading stopped", MaxFrameCount));
    return true;
  }

  // Turns the payload as stored into its usable form. A payload that cannot be decoded is kept
  // as it was stored (and reported), so that nothing of it is lost.
  void FinishPayload(TID3Frames_Item& item, std::string_view stored, uint32_t dataLength,
                     size_t at) {
    if (FVersion >= 4 && item.UnSynchronisation())
      item.SetPayload(UndoUnsynchronisation(stored));
    else
      item.SetSharedPayload(FOwner, stored);
    const bool decrypt = item.Encrypted() && FOnDecrypt;
    if (item.Encrypted() && !decrypt) {
      // Still encrypted: not zlib data, so it stays as it is.
      item.SetKeptAsStored(true, dataLength);
      return;
    }
    if (!decrypt && !item.Compress()) return;
    const std::string asStored(item.Payload());
    try {
      TMemoryStream& data = item.Data();
      if (decrypt) {
        data.Seek(0, TSeekOrigin::soEnd);
        FOnDecrypt(item, data);
      }
      if (item.Compress()) {
        DecompressStream(data, std::min(MaxInflatedSize, FInflateBudget));
        FInflateBudget -= data.Size();
      }
      data.SetPosition(0);
    } catch (const EDecompressionError& e) {
      Note(at, item.Name(), ContentProblem(item, e));
      item.SetPayload(asStored);
      item.SetKeptAsStored(true, dataLength);
    }
  }

  size_t Fail(size_t at, const std::string& id, const std::string& what) {
    Note(at, id, what);
    return at;
  }

  void Note(size_t at, const std::string& id, const std::string& what) {
    if (!FResult.problem.empty()) return;  // the first problem is the one reported
    FResult.problem = what;
    FResult.problemAt = at;
    FResult.problemFrame = id;
  }

  static constexpr size_t V2Header = static_cast<size_t>(V2FrameHeaderSize);

  TID3Frames& FFrames;
  std::shared_ptr<const void> FOwner;
  TByteReader FIn;
  uint8_t FVersion;
  const TID3EngineFrameNotify& FOnDecrypt;
  // What the tag's compressed frames may still inflate to, all together.
  int64_t FInflateBudget = MaxInflatedTagSize;
  TID3Frames::TParseResult FResult;
};

}  // namespace

TID3Frames::TParseResult TID3Frames::ParseFrames(std::shared_ptr<const void> owner,
                                                 std::string_view bytes, uint8_t version,
                                                 const TID3EngineFrameNotify& onDecrypt) {
  Clear();
  return TFrameParser(*this, std::move(owner), bytes, version, onDecrypt).Run();
}

void TID3Frames::ReadFrames(TStream& stream) {
  ReadFrames(stream, 4, stream.Size() - stream.Position(), {});
}

int64_t TID3Frames::ReadFrames(TStream& stream, uint8_t version, int64_t remaining,
                               const TID3EngineFrameNotify& onDecrypt, std::string* problem) {
  const int64_t start = stream.Position();
  // A stream that ends early ends the tag.
  auto bytes = std::make_shared<std::string>(stream.ReadString(std::max<int64_t>(remaining, 0)));
  const TParseResult result = ParseFrames(bytes, *bytes, version, onDecrypt);
  if (problem) *problem = result.problem;
  stream.SetPosition(start + static_cast<int64_t>(result.framesEnd));
  return static_cast<int64_t>(bytes->size() - result.framesEnd);
}

}  // namespace tagscope
