#include "engine/tag_reader.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "engine/file/later_reads.h"
#include "engine/file/tag_file.h"
#include "engine/tag/id3_layout.h"
#include "engine/tag/tag_locator.h"
#include "engine/tag/unsync.h"
#include "tagscope/rtl/byte_reader.h"
#include "tagscope/rtl/exception.h"

namespace tagscope {

namespace {

// The rest of a frame's payload, left in the file when the tag was read: read into its place
// in the tag's bytes (which `owner` keeps) the first time the payload is asked for.
class TDeferredPayload : public TID3Frames_Item::TPayloadSource {
 public:
  TDeferredPayload(std::weak_ptr<TLaterReads> file, std::shared_ptr<const void> owner, char* into,
                   int64_t position, int64_t count)
      : FFile(std::move(file)),
        FOwner(std::move(owner)),
        FInto(into),
        FPosition(position),
        FCount(count) {}
  void Fill() const override;
  bool Filled() const override { return FFilled.load(std::memory_order_acquire); }

 private:
  std::weak_ptr<TLaterReads> FFile;
  std::shared_ptr<const void> FOwner;
  char* FInto;
  int64_t FPosition;
  int64_t FCount;
  // Not std::call_once: a fill that fails raises, and an exception leaving call_once stops
  // the process on some platforms. A fill that failed is tried again by the next caller.
  mutable std::mutex FMutex;
  mutable std::atomic<bool> FFilled{false};
};

void TDeferredPayload::Fill() const {
  if (FFilled.load(std::memory_order_acquire)) return;
  std::lock_guard guard(FMutex);
  if (FFilled.load(std::memory_order_relaxed)) return;
  const std::shared_ptr<TLaterReads> file = FFile.lock();
  if (!file)
    throw EReadError("Cannot read the rest of a frame: the file was closed after its tag was read");
  file->Read(FPosition, FInto, FCount);
  FFilled.store(true, std::memory_order_release);
}

}  // namespace

namespace {

using id3::HeaderSize;

// The first read of a file takes this much: a tag without pictures (with the padding writers
// leave) and the first audio frames behind it, enough for the audio facts of a stream without a
// header at 128 kbit/s. The kernel's copy of the bytes is much of the cost of reading a folder
// of small tags: what a stream needs beyond it is read when asked for.
constexpr int64_t kHeadBytes = 12 * 1024;
// A tag that does not fit is read with this much of what follows, for the audio facts.
constexpr int64_t kAudioAhead = 48 * 1024;

// The bytes of a tag, read once; frames keep views of them.
struct TTagBytes {
  std::shared_ptr<const char[]> owner;
  std::string_view bytes;
};

// The bytes of an unsynchronised tag body as they were before unsynchronisation.
TTagBytes Decoded(std::string_view stored) {
  auto decoded = std::make_shared<const std::string>(UndoUnsynchronisation(stored));
  return {std::shared_ptr<const char[]>(decoded, decoded->data()), *decoded};
}

}  // namespace

TTagRead TTagReader::Read() {
  T.Clear();
  F.Cache().Clear();
  R = TTagRead();
  const int64_t fileSize = F.SizeForRead();
  const TFileBytes start = F.Cache().Read(F.Stream(), fileSize, 0, kHeadBytes);
  bool found = T.Header().ParseTagHeader(start.bytes.substr(0, HeaderSize));
  if (!found && O.fullSeek) {
    const int64_t at = FindTagSignature(F.Stream());
    if (at > 0) {
      R.offset = at;
      char head[HeaderSize];
      const int64_t n = F.Stream().ReadAt(at, head, HeaderSize);
      found = T.Header().ParseTagHeader(std::string_view(head, static_cast<size_t>(n)));
    }
  }
  R.found = found;
  if (found)
    ReadBody(fileSize);
  else
    R.offset = 0;
  return R;
}

void TTagReader::ReadBody(int64_t fileSize) {
  const int64_t bodyStart = R.offset + HeaderSize;
  const int64_t declared = T.Header().Size();
  const int64_t footer = T.Header().FooterPresent() ? HeaderSize : 0;
  // The tag's extent in the file, as stored, never past the file's end.
  R.size = std::min(HeaderSize + declared + footer, fileSize - R.offset);
  const int64_t count = std::clamp<int64_t>(declared, 0, fileSize - bodyStart);
  const uint8_t version = T.Header().VersionNumber();
  TSparseBody sparse;
  // A body the first read of the file holds already is viewed there: nothing is left to read.
  const bool held = F.Cache().Find(bodyStart, count) != nullptr;
  const bool leaveOut = !held && O.deferLarge && O.readOnly && (version == 3 || version == 4) &&
                        !T.Header().ExtendedHeaderPresent() &&
                        !(T.Header().Unsynchronisation() && version < 4) &&
                        ReadSparseBody(F.Cache(), F.Stream(), fileSize, bodyStart, count,
                                       kAudioAhead, version, sparse);
  const TFileBytes read =
      leaveOut ? sparse.bytes : F.Cache().Read(F.Stream(), fileSize, bodyStart, count, kAudioAhead);
  const TTagBytes stored{read.owner, read.bytes};
  const auto storedSize = static_cast<int64_t>(stored.bytes.size());
  if (T.Header().TagCompressed()) {
    T.SetPadding(0);
    NoteProblem(bodyStart,
                "The ID3v2.2 tag is compressed, which no reader can undo; its frames "
                "are not read");
    return;
  }
  // Versions 2 and 3 unsynchronise everything after the header: frames are read from the
  // decoded bytes, and offsets mapped back to the file's.
  const bool wholeTagUnsync = T.Header().Unsynchronisation() && version < 4;
  const TTagBytes body = wholeTagUnsync ? Decoded(stored.bytes) : stored;
  auto fileOffset = [&](size_t decoded) {
    return bodyStart + (wholeTagUnsync ? StoredOffset(stored.bytes, static_cast<int64_t>(decoded))
                                       : static_cast<int64_t>(decoded));
  };
  const size_t framesStart =
      T.Header().ExtendedHeaderPresent() ? FramesStart(body.bytes, bodyStart) : 0;
  const TID3Frames::TParseResult result =
      T.ParseFrames(body.owner, body.bytes.substr(framesStart), O.decrypt);
  if (leaveOut) DeferHoles(sparse);
  const int64_t framesEnd = fileOffset(framesStart + result.framesEnd);
  T.SetPadding(bodyStart + storedSize - framesEnd);
  // Bytes after the frames of a tag that runs past the file's end are said to be that: they
  // may be the audio its size runs into.
  const std::string pastEnd =
      declared + footer > fileSize - bodyStart
          ? Format(
                "The tag runs past the end of the file: its header counts %lld bytes after "
                "it, the file ends %lld bytes after it",
                static_cast<long long>(declared + footer),
                static_cast<long long>(fileSize - bodyStart))
          : std::string();
  if (result.strayLength > 0) {
    const int64_t at = fileOffset(framesStart + result.strayAt);
    NoteProblem(at,
                (pastEnd.empty() ? "" : pastEnd + "; ") +
                    Format("%lld bytes at byte %lld after the last frame are not padding",
                           static_cast<long long>(
                               fileOffset(framesStart + result.strayAt + result.strayLength) - at),
                           static_cast<long long>(at)));
  }
  if (!result.problem.empty()) {
    const int64_t at = fileOffset(framesStart + result.problemAt);
    NoteProblem(at,
                result.problemFrame.empty()
                    ? Format("%s at byte %lld", result.problem.c_str(), static_cast<long long>(at))
                    : Format("Frame %s at byte %lld: %s", result.problemFrame.c_str(),
                             static_cast<long long>(at), result.problem.c_str()));
  }
  if (R.report.complete) R.report.accountedEnd = R.offset + R.size;
  if (!pastEnd.empty()) NoteProblem(fileSize, pastEnd);
}

namespace {

// Whether a frame header with a valid ID starts at `at`.
bool StartsFrame(std::string_view body, size_t at) {
  return at < body.size() && body.size() - at >= static_cast<size_t>(HeaderSize) &&
         ValidFrameID(body.substr(at, 4));
}

}  // namespace

size_t TTagReader::FramesStart(std::string_view body, int64_t bodyStart) {
  const int64_t taken = T.Header().ParseExtendedHeader(body);
  const size_t parsed = static_cast<size_t>(std::clamp<int64_t>(taken, 0, int64_t(body.size())));
  if (StartsFrame(body, parsed) || body.size() < 4) {
    if (taken < 0) {
      T.Header().SetExtendedHeaderPresent(false);
      R.report.extendedHeaderFlagWrong = true;
    }
    return parsed;
  }
  // The layout read leads to no frame: the first place an extended header could end that
  // starts one is taken instead.
  const TByteReader in(body);
  const int64_t stated = T.Header().VersionNumber() >= 4 ? static_cast<int64_t>(in.SyncSafeAt(0, 4))
                                                         : static_cast<int64_t>(in.BEAt(0, 4)) + 4;
  // The stated size; the sizes the versions lay out (6 bytes at the least in version 4, 10 or
  // 14 in version 3); none at all.
  const int64_t places[] = {stated, 6, 10, 14, 0};
  for (const int64_t at : places) {
    if (at < 0 || !StartsFrame(body, static_cast<size_t>(at))) continue;
    R.report.framesFoundAt = Format(
        "The extended header's layout leads to no frame; the frames were read from byte %lld, %s",
        static_cast<long long>(bodyStart + at),
        at == stated ? "where its stated size ends it"
        : at == 0
            ? "as if there were no extended header"
            : Format("after an extended header of %lld bytes", static_cast<long long>(at)).c_str());
    if (at == 0 || taken < 0) {
      T.Header().SetExtendedHeaderPresent(false);
      R.report.extendedHeaderFlagWrong = true;
    }
    return static_cast<size_t>(at);
  }
  if (taken < 0) {
    T.Header().SetExtendedHeaderPresent(false);
    R.report.extendedHeaderFlagWrong = true;
  }
  return parsed;
}

void TTagReader::DeferHoles(const TSparseBody& sparse) {
  const std::weak_ptr<TLaterReads> later = F.NewLaterReads();
  const auto base = reinterpret_cast<uintptr_t>(sparse.bytes.bytes.data());
  const size_t size = sparse.bytes.bytes.size();
  auto source = [&](const TSparseBody::THole& h, std::shared_ptr<const void> owner) {
    char* into = const_cast<char*>(sparse.bytes.bytes.data()) + h.from;
    return std::make_shared<TDeferredPayload>(later, std::move(owner), into,
                                              sparse.bytes.offset + static_cast<int64_t>(h.from),
                                              static_cast<int64_t>(h.to - h.from));
  };
  // Holes no frame owns (none should be) are read at once: nothing stays unread unawares.
  size_t next = 0;
  auto fillUpTo = [&](size_t end) {
    for (; next < sparse.holes.size() && sparse.holes[next].to <= end; ++next)
      source(sparse.holes[next], nullptr)->Fill();
  };
  for (int i = 0; i < T.Frames().Count() && next < sparse.holes.size(); ++i) {
    TID3Frames_Item& item = T.Frames().Items(i);
    const std::string_view payload = item.Payload();
    const auto at = reinterpret_cast<uintptr_t>(payload.data());
    if (payload.empty() || at < base || at - base + payload.size() > size) continue;
    const size_t from = at - base;
    fillUpTo(from);
    if (next == sparse.holes.size()) break;
    const TSparseBody::THole& h = sparse.holes[next];
    if (h.from >= from && h.to <= from + payload.size()) {
      item.SetDeferredPayload(source(h, sparse.bytes.owner), h.from - from);
      ++next;
    }
  }
  fillUpTo(SIZE_MAX);
}

void TTagReader::NoteProblem(int64_t at, const std::string& what) {
  if (!R.report.complete) return;  // the first problem is the one reported
  R.report.complete = false;
  R.report.problem = what;
  R.report.accountedEnd = at;
}

}  // namespace tagscope
