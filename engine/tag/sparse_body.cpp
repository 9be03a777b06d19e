// Reading a tag body with the payloads of its large plain frames left in the file. The walk
// over the frame headers is the one the frame reader makes to choose the layout, so that the
// reader, given the body with its holes, looks at no byte that was not read.
#include "engine/tag/sparse_body.h"

#include <algorithm>

#include "engine/frames/frame_chain.h"
#include "engine/frames/frame_layout.h"
#include "tagscope/engine/id3_frames.h"

namespace tagscope {

namespace {

constexpr int64_t kLeftOutFrom = 64 * 1024;  // payloads this large are left in the file...
constexpr size_t kFront = 4096;              // but for their first bytes
constexpr size_t kChunk = 64 * 1024;         // read at a frame header: the next ones, likely

// Whether a frame's payload is the stored bytes as they stand, which can be read later:
// not compressed, encrypted or unsynchronised.
bool Plain(const TFrameHeader& h, const TFrameLayout& layout) {
  TID3Frames_Item probe;
  SetItemFlags(probe, h.status, h.format, layout.version4Flags);
  return !probe.Compress() && !probe.Encrypted() && !probe.UnSynchronisation();
}

class TSparseReader {
 public:
  TSparseReader(TReadCache& cache, TStream& file, int64_t bodyStart, size_t total)
      : FCache(cache),
        FFile(file),
        FStart(bodyStart),
        FTotal(total),
        FBuffer(std::make_unique_for_overwrite<char[]>(std::max<size_t>(total, 1))) {}

  // Makes [from, from + n) of the body readable (n cut at the end); false when the file ends
  // before it. What the first read of the file holds already is copied, not read again.
  bool Ensure(size_t from, size_t n) {
    const size_t end = std::min(from + n, FTotal);
    if (end <= FLoaded) return true;
    size_t start = std::max(from, FLoaded);
    start += static_cast<size_t>(
        FCache.CopyKept(FStart + Signed(start), FBuffer.get() + start, Signed(end - start)));
    FLoaded = start;
    if (start >= end) return true;
    const size_t readEnd = std::min(FTotal, std::max(end, start + kChunk));
    const int64_t got =
        FFile.ReadAt(FStart + Signed(start), FBuffer.get() + start, Signed(readEnd - start));
    Keep(start, readEnd);
    FLoaded = readEnd;
    return got == Signed(readEnd - start);
  }

  // Leaves [from, to) unread, but for what was read already.
  void Skip(size_t from, size_t to) {
    from = std::max(from, FLoaded);
    if (from < to) FHoles.push_back({from, to});
    FLoaded = std::max(FLoaded, to);
  }

  std::string_view Bytes() const { return std::string_view(FBuffer.get(), FTotal); }
  size_t Total() const { return FTotal; }

  TSparseBody Result(size_t bodySize) const {
    TSparseBody out;
    out.bytes = {FStart, FBuffer, std::string_view(FBuffer.get(), bodySize)};
    out.holes = FHoles;
    return out;
  }

 private:
  static int64_t Signed(size_t n) { return static_cast<int64_t>(n); }
  // The bytes just read serve later reads of the file (the audio behind the tag).
  void Keep(size_t from, size_t to) {
    FCache.Keep(
        {FStart + Signed(from), FBuffer, std::string_view(FBuffer.get() + from, to - from)});
  }

  TReadCache& FCache;
  TStream& FFile;
  int64_t FStart;
  size_t FTotal;
  std::shared_ptr<char[]> FBuffer;
  size_t FLoaded = 0;  // everything before it is read, but for the holes
  std::vector<TSparseBody::THole> FHoles;
};

}  // namespace

bool ReadSparseBody(TReadCache& cache, TStream& file, int64_t fileSize, int64_t bodyStart,
                    int64_t count, int64_t ahead, uint8_t version, TSparseBody& out) {
  const auto total =
      static_cast<size_t>(std::clamp<int64_t>(fileSize - bodyStart, 0, count + ahead));
  const auto body = std::min(static_cast<size_t>(std::max<int64_t>(count, 0)), total);
  TSparseReader reader(cache, file, bodyStart, total);
  const TFrameLayout layout = CandidateLayouts(version).front();
  const TByteReader in(reader.Bytes().substr(0, body));
  TFrameChain chain(in, layout);
  while (chain.NextAt() < body && chain.Count() < MaxFrameCount) {
    if (!reader.Ensure(chain.NextAt(), FrameHeaderSize)) return false;
    const TChainLink link = chain.Next();
    if (link == TChainLink::clEnd) break;
    // Where the walk does not end cleanly, the reader tries other layouts, anywhere.
    if (link != TChainLink::clFrame) return false;
    const TFrameHeader& h = chain.Header();
    const size_t at = chain.At();
    const size_t payloadAt = at + FrameHeaderSize + static_cast<size_t>(h.optionalBytes);
    const size_t next = chain.NextAt();
    if (h.payloadSize >= kLeftOutFrom && Plain(h, layout)) {
      if (!reader.Ensure(at, payloadAt - at + kFront)) return false;
      reader.Skip(payloadAt + kFront, next);
    } else if (!reader.Ensure(at, next - at)) {
      return false;
    }
  }
  const size_t at = chain.NextAt();
  // The rest: padding, which must be zero bytes for the walk to end cleanly, and what follows.
  if (!reader.Ensure(at, reader.Total() - at) && at < body) return false;
  const std::string_view rest = in.ViewAt(std::min(at, body), body - std::min(at, body));
  if (rest.find_first_not_of('\0') != std::string_view::npos) return false;
  out = reader.Result(body);
  return true;
}

}  // namespace tagscope
