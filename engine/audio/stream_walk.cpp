// A walk over every frame header of an MP3 stream: counts, and what is wrong between them.
#include "engine/audio/stream_walk.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/audio/mpeg_vbr_header.h"
#include "engine/trailers/trailer_locator.h"
#include "tagscope/engine/mpeg_audio.h"
#include "tagscope/engine/stream_report.h"
#include "tagscope/rtl/byte_reader.h"
#include "tagscope/rtl/exception.h"

namespace tagscope {

namespace {

// The room of the last window a thread closed, for its next one.
thread_local std::string tSpareRoom;

constexpr int64_t kPage = 4096;

}  // namespace

TForwardWindow::TForwardWindow(TStream& stream, int64_t end)
    : FStream(stream), FEnd(end), FRoom(std::move(tSpareRoom)) {
  tSpareRoom.clear();
}

TForwardWindow::~TForwardWindow() {
  if (FRoom.size() > tSpareRoom.size()) tSpareRoom = std::move(FRoom);
}

std::string_view TForwardWindow::Refilled(int64_t pos) {
  const int64_t held = FBase + FHeld - pos;
  // Twice the margin, so that a scan of the bytes held always moves on by at least one margin.
  const int64_t want = std::min(2 * kMargin, FEnd - pos);
  if (pos < FBase || held < want) Refill(pos, pos >= FBase ? std::max<int64_t>(held, 0) : 0);
  if (pos >= FBase + FHeld) return {};
  return std::string_view(FBytes, static_cast<size_t>(FHeld))
      .substr(static_cast<size_t>(pos - FBase));
}

// The kernel copies a read from the page cache fastest where the bytes land at the offset
// within a page they have in the file: some processors copy several times slower where the
// two are a few bytes apart, as a block at the start of the room would be for most reads.
char* TForwardWindow::PlaceFor(int64_t pos) {
  if (FRoom.size() < static_cast<size_t>(kBlock + 2 * kPage))
    FRoom.resize(static_cast<size_t>(kBlock + 2 * kPage));
  const auto at = reinterpret_cast<uintptr_t>(FRoom.data());
  const uintptr_t page = (at + kPage - 1) & ~static_cast<uintptr_t>(kPage - 1);
  return FRoom.data() + (page - at) + static_cast<size_t>(pos % kPage);
}

void TForwardWindow::Refill(int64_t pos, int64_t keep) {
  const int64_t count = std::clamp<int64_t>(FEnd - pos, 0, kBlock);
  // The bytes still held from pos on move along: the stream gives each byte once.
  keep = std::min(keep, count);
  char* const block = PlaceFor(pos);
  if (keep > 0) std::memmove(block, FBytes + (pos - FBase), static_cast<size_t>(keep));
  FBytes = block;
  FBase = pos;
  const int64_t got = count > keep ? FStream.ReadAt(pos + keep, block + keep, count - keep) : 0;
  FHeld = keep + std::clamp<int64_t>(got, 0, count - keep);
  if (FHeld < count) FEnd = pos + FHeld;
}

void TForwardWindow::SetEnd(int64_t end) {
  FEnd = std::min(FEnd, end);
  FHeld = std::clamp<int64_t>(FEnd - FBase, 0, FHeld);
}

namespace {

using Kind = TStreamFindingKind;
constexpr TStreamSeverity kDamage = TStreamSeverity::ssDamage;
constexpr TStreamSeverity kNote = TStreamSeverity::ssNote;

constexpr int kChainFrames = 3;  // frame headers in a row that make a sync believable
constexpr size_t kMaxFindings = 256;
constexpr int kMaxStackedTags = 16;
constexpr int64_t kTagHeaderSize = 10;

// The four bytes at `at` big-endian; the caller has seen that they are there.
uint32_t HeaderBits(std::string_view bytes, size_t at) {
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.data() + at);
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | p[3];
}

bool HeaderAt(std::string_view bytes, size_t at, TMpegFrameHeader& h) {
  if (bytes.size() < 4 || at > bytes.size() - 4) return false;
  return ParseMpegFrameHeader(HeaderBits(bytes, at), h);
}

// The frame headers decoded last, by their four bytes: a stream repeats a few (its bitrates,
// padded or not), and each header is looked at twice, as the frame that follows and as the
// frame taken. Decodes what it does not hold.
class THeaderMemo {
 public:
  bool At(std::string_view bytes, size_t at, TMpegFrameHeader& h) {
    const TMpegFrameHeader* found = Find(bytes, at);
    if (found) h = *found;
    return found != nullptr;
  }
  // The header held; valid until the next look.
  const TMpegFrameHeader* Find(std::string_view bytes, size_t at) {
    if (bytes.size() < 4 || at > bytes.size() - 4) return nullptr;
    const uint32_t bits = HeaderBits(bytes, at);
    for (const TSlot& slot : FSlots)
      if (slot.held && slot.bits == bits) return &slot.header;
    TMpegFrameHeader h;
    if (!ParseMpegFrameHeader(bits, h)) return nullptr;
    TSlot& slot = FSlots[FNext];
    slot = {bits, h, true};
    FNext = (FNext + 1) % kSlots;
    return &slot.header;
  }

 private:
  static constexpr size_t kSlots = 4;
  struct TSlot {
    uint32_t bits = 0;
    TMpegFrameHeader header;
    bool held = false;
  };
  TSlot FSlots[kSlots];
  size_t FNext = 0;
};

// The whole size of an ID3v2 tag whose header begins at `at` (footer included); 0 for none.
int64_t ID3v2SizeAt(std::string_view bytes, size_t at) {
  if (bytes.size() < kTagHeaderSize || at > bytes.size() - kTagHeaderSize || bytes[at] != 'I' ||
      bytes.compare(at, 3, "ID3") != 0)
    return 0;
  const TByteReader r(bytes.substr(at, kTagHeaderSize));
  if (r.ByteAt(3) == 0xFF || r.ByteAt(4) == 0xFF || !r.IsSyncSafeAt(6, 4)) return 0;
  const bool footer = (r.ByteAt(5) & 0x10) != 0;
  return kTagHeaderSize * (footer ? 2 : 1) + static_cast<int64_t>(r.SyncSafeAt(6, 4));
}

// --- checksums ---

// The CRC-16 of the polynomial 0x8005, high bit first, of each byte value.
struct TFrameCrcTable {
  uint16_t of[256] = {};
  constexpr TFrameCrcTable() {
    for (unsigned byte = 0; byte < 256; ++byte) {
      auto crc = static_cast<uint16_t>(byte << 8);
      for (int i = 0; i < 8; ++i)
        crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x8005 : crc << 1);
      of[byte] = crc;
    }
  }
};

constexpr TFrameCrcTable kFrameCrc;

// CRC-16 of the polynomial 0x8005, from 0xFFFF, high bit first: a frame's checksum.
uint16_t FrameCrc16(std::string_view bytes, uint16_t crc = 0xFFFF) {
  for (const char c : bytes)
    crc = static_cast<uint16_t>((crc << 8) ^
                                kFrameCrc.of[((crc >> 8) ^ static_cast<uint8_t>(c)) & 0xFF]);
  return crc;
}

// Encoders whose LAME extension carries a checksum: LAME itself and the libraries around it.
bool SumsLameExtension(const std::string& encoder) {
  for (const char* name : {"LAME", "L3.", "Lavc", "Lavf"})
    if (encoder.rfind(name, 0) == 0) return true;
  return false;
}

// Whether a Layer III frame that carries a checksum (right after its header) matches it: the
// sum of the header's last two bytes and the side information.
bool FrameCrcMatches(std::string_view frame, const TMpegFrameHeader& h) {
  const size_t side = SideInfoSize(h);
  if (frame.size() < 6 + side) return true;
  const uint16_t crc = FrameCrc16(frame.substr(6, side), FrameCrc16(frame.substr(2, 2)));
  return crc == TByteReader(frame).BEAt(4, 2);
}

std::string Bytes(int64_t n) {
  return Format("%lld byte%s", static_cast<long long>(n), n == 1 ? "" : "s");
}

class TStreamWalker {
 public:
  TStreamWalker(TStream& stream, int64_t start, const TFrameVisitor& visit)
      : FStream(stream),
        FSize(stream.Size()),
        FWindow(stream, FSize),
        FStart(start),
        FVisit(visit) {}

  // Counts only, between bounds already located: no findings are kept.
  void CountWithin(int64_t audioStart, int64_t audioEnd) {
    FCountOnly = true;
    R.audioStart = std::clamp<int64_t>(audioStart, 0, FSize);
    R.audioEnd = std::clamp<int64_t>(audioEnd, R.audioStart, FSize);
    FWindow.SetEnd(R.audioEnd);
  }

  TStreamReport Run() {
    if (!FCountOnly) LocateBounds();
    int64_t pos = R.audioStart;
    while (pos < End()) pos = Step(pos);
    // A stream that ended early ends the audio there.
    R.audioEnd = End();
    Finish();
    return std::move(R);
  }

 private:
  int64_t End() const { return FWindow.End(); }

  // Where the audio begins and ends: past the ID3v2 tags at the start, below the blocks behind.
  void LocateBounds() {
    int64_t pos = std::clamp<int64_t>(FStart, 0, FSize);
    for (int i = 0; i < kMaxStackedTags; ++i) {
      const int64_t tag = ID3v2SizeAt(FWindow.From(pos), 0);
      if (tag == 0) break;
      pos = std::min(pos + tag, FSize);
    }
    R.audioStart = pos;
    const TTrailerPlaces trailers = LocateTrailers(FStream, FSize, pos);
    R.audioEnd = std::max(trailers.audioEnd, pos);
    for (const TTrailerBlock& b : trailers.blocks)
      if (!b.Proven())
        Add(b.place.Offset, b.place.Size, Kind::sfDamagedTrailer, kDamage,
            DamagedTrailerText(b.kind, b.damage));
    const TTrailerBlock* v1 = trailers.Find(TTrailerKind::tkID3v1);
    if (v1 && v1->Proven() && v1->place.Offset == R.audioEnd) LookForSecondID3v1();
    FWindow.SetEnd(R.audioEnd);
  }

  // A second "TAG" right below the trailer: an older trailer that a writer did not replace.
  void LookForSecondID3v1() {
    const int64_t at = R.audioEnd - kID3v1Size;
    if (at < R.audioStart) return;
    char tag[3] = {};
    if (FStream.ReadAt(at, tag, 3) != 3 || !BeginsID3v1(std::string_view(tag, 3))) return;
    Add(at, kID3v1Size, Kind::sfSecondID3v1, kDamage, kSecondID3v1Text);
    R.audioEnd = at;
  }

  // One step of the walk from pos: a frame, a tag inside the audio, or the junk up to the next
  // place the walk can go on from. Returns where the next step begins.
  int64_t Step(int64_t pos) {
    const std::string_view view = FWindow.From(pos);
    if (view.size() < 4) return Tail(pos);
    if (R.firstFrame >= 0)
      if (const int64_t next = InSyncRun(pos, view); next > pos) return next;
    if (const int64_t tag = view[0] == 'I' ? TagAt(view, 0, pos) : 0) {
      Add(pos, tag, Kind::sfMidStreamID3v2, kDamage,
          "an ID3v2 tag inside the audio (" + Bytes(tag) + ")");
      return pos + tag;
    }
    TMpegFrameHeader h;
    const bool header = FHeaders.At(view, 0, h);
    // A frame that goes on from the last one's stream; another stream must begin a chain.
    const bool inSync = header && R.firstFrame >= 0 && h.SameStream(FLast);
    if (!inSync && !(header && ChainAt(view, pos, h))) return Resync(pos);
    if (pos + h.frameLength > End()) {
      Add(pos, End() - pos, Kind::sfTruncatedFrame, kDamage,
          Format("the last frame cut short (%s of %d)", Bytes(End() - pos).c_str(), h.frameLength));
      return End();
    }
    // A header in junk looks like a frame too: where no frame follows it, the stream may go
    // on within the bytes it would take.
    if (inSync && !FollowedAt(view, pos, h)) {
      const int64_t within = ChainWithin(view, pos, h.frameLength);
      if (within > pos) {
        NoteSkipped(pos, within, false, true);
        return within;
      }
    }
    if (R.firstFrame < 0) Begin(pos, view, h);
    if (!FCountOnly) CheckFrameCrc(pos, view, h);
    TakeFrame(pos, h);
    return pos + h.frameLength;
  }

  // The frames from pos on (at the view's start) that go on from the last one, each followed
  // by one of its stream, within the view: what Step takes one at a time, in one go, for the
  // stretch of a stream that has no fault. Stops before any other frame, which Step takes or
  // reports. Returns where it stopped.
  int64_t InSyncRun(int64_t pos, std::string_view view) {
    const TMpegFrameHeader* found = FHeaders.Find(view, 0);
    if (!found || !found->SameStream(FLast)) return pos;
    TMpegFrameHeader h = *found;
    uint32_t bits = HeaderBits(view, 0);
    // The frames of a run are of one stream: of the first frame's, or of another throughout.
    const bool ofFirst = h.SameStream(FFirst);
    const bool sumCrcs = !FCountOnly;
    const int64_t end = End();
    size_t at = 0;
    for (;;) {
      const int64_t frame = pos + static_cast<int64_t>(at);
      const int64_t next = frame + h.frameLength;
      if (next > end) break;
      const size_t nextAt = at + static_cast<size_t>(h.frameLength);
      // The next header: most often the same four bytes as this one.
      const uint32_t nextBits =
          next < end && nextAt + 4 <= view.size() ? HeaderBits(view, nextAt) : bits;
      const TMpegFrameHeader* following = &h;
      if (next < end && (nextAt + 4 > view.size() || nextBits != bits)) {
        following = FHeaders.Find(view, nextAt);
        if (!following || !following->SameStream(h)) break;
      }
      if (h.crc && sumCrcs) CheckFrameCrc(frame, view.substr(at), h);
      if (ofFirst)
        TakeFrameOfFirst(frame, h);
      else
        TakeFrame(frame, h);
      at = nextAt;
      if (next == end) break;
      if (following != &h) {
        h = *following;
        bits = nextBits;
      }
    }
    return pos + static_cast<int64_t>(at);
  }

  // Whether the frame at pos (at the view's start) begins a chain of frames of one stream:
  // kChainFrames headers in a row, or fewer that end exactly where the audio does.
  bool ChainAt(std::string_view view, int64_t pos, const TMpegFrameHeader& first) const {
    int64_t next = first.frameLength;
    for (int i = 1; i < kChainFrames; ++i) {
      if (pos + next == End()) return true;
      TMpegFrameHeader h;
      if (pos + next > End() || !FHeaders.At(view, static_cast<size_t>(next), h) ||
          !h.SameStream(first))
        return false;
      next += h.frameLength;
    }
    return pos + next <= End();
  }

  // Looks from pos, byte by byte, for the next chain of frames or ID3v2 tag, and notes the
  // bytes passed over: junk, or garbage after the audio when nothing follows.
  int64_t Resync(int64_t pos) {
    int64_t at = pos;
    bool zeros = true;
    while (at < End()) {
      const std::string_view view = FWindow.From(at);
      if (view.size() < 4) {
        at = End();
        break;
      }
      // Up to where the bytes held still cover a chain's look ahead.
      const size_t scan =
          FWindow.ReachesEnd(at, view) ? view.size() - 3 : view.size() - TForwardWindow::kMargin;
      size_t i = 0;
      for (; i < scan; ++i) {
        const auto c = static_cast<unsigned char>(view[i]);
        if (c == 0xFF && Believable(view.substr(i), at + static_cast<int64_t>(i))) break;
        if (c == 'I' && TagAt(view, i, at + static_cast<int64_t>(i)) > 0) break;
        zeros = zeros && c == 0;
      }
      at += static_cast<int64_t>(i);
      if (i < scan) break;
    }
    at = std::min(at, End());
    NoteSkipped(pos, at, zeros, at < End());
    return at;
  }

  // The size of an ID3v2 tag inside the audio at pos (at the view's offset i), or 0. Bytes of
  // junk can look like a tag header and claim megabytes: a tag is believed only where a frame
  // header or the audio's end follows it.
  int64_t TagAt(std::string_view view, size_t i, int64_t pos) const {
    const int64_t size = ID3v2SizeAt(view, i);
    if (size == 0 || pos + size > End()) return 0;
    if (pos + size == End()) return size;
    char bytes[4];
    const int64_t after = static_cast<int64_t>(i) + size;
    std::string_view next;
    if (after + 4 <= static_cast<int64_t>(view.size())) {
      next = view.substr(static_cast<size_t>(after), 4);
    } else if (FStream.ReadAt(pos + size, bytes, 4) == 4) {
      next = std::string_view(bytes, 4);
    }
    TMpegFrameHeader h;
    return HeaderAt(next, 0, h) ? size : 0;
  }

  // Whether the frame at pos (at the view's start) is followed by one of its stream, or by the
  // audio's end.
  bool FollowedAt(std::string_view view, int64_t pos, const TMpegFrameHeader& h) const {
    if (pos + h.frameLength == End()) return true;
    const TMpegFrameHeader* next = FHeaders.Find(view, static_cast<size_t>(h.frameLength));
    return next && next->SameStream(h);
  }

  // The first place in the `length` bytes after pos (at the view's start; pos itself left out)
  // where a chain of frames or an ID3v2 tag begins; -1 when there is none.
  int64_t ChainWithin(std::string_view view, int64_t pos, int64_t length) const {
    const size_t n = static_cast<size_t>(std::min<int64_t>(length, End() - pos));
    for (size_t i = 1; i < n && i + 3 < view.size(); ++i) {
      const auto c = static_cast<unsigned char>(view[i]);
      if (c == 0xFF && Believable(view.substr(i), pos + static_cast<int64_t>(i)))
        return pos + static_cast<int64_t>(i);
      if (c == 'I' && TagAt(view, i, pos + static_cast<int64_t>(i)) > 0)
        return pos + static_cast<int64_t>(i);
    }
    return -1;
  }

  bool Believable(std::string_view view, int64_t pos) const {
    TMpegFrameHeader h;
    return FHeaders.At(view, 0, h) && ChainAt(view, pos, h);
  }

  void NoteSkipped(int64_t from, int64_t to, bool zeros, bool framesFollow) {
    const int64_t n = to - from;
    if (n <= 0) return;
    if (R.firstFrame < 0 && framesFollow) {
      // Zero bytes after a tag are a writer's padding; players pass over them.
      Add(from, n, Kind::sfJunk, zeros ? kNote : kDamage,
          (zeros ? "zero bytes before the first frame (" : "junk before the first frame (") +
              Bytes(n) + ")");
    } else if (framesFollow) {
      Add(from, n, Kind::sfJunk, kDamage, "junk between frames (" + Bytes(n) + ")");
    } else if (R.firstFrame >= 0) {
      Add(from, n, Kind::sfGarbageAfterAudio, kDamage,
          "garbage after the audio (" + Bytes(n) + ")");
    }
  }

  // Fewer than four bytes before the audio's end: no header can begin there.
  int64_t Tail(int64_t pos) {
    NoteSkipped(pos, End(), false, false);
    return End();
  }

  // The stream's first frame: a Xing, Info or VBRI header in it stands in for audio.
  void Begin(int64_t pos, std::string_view view, const TMpegFrameHeader& h) {
    R.firstFrame = pos;
    FFirst = h;
    const std::string_view frame = view.substr(0, static_cast<size_t>(h.frameLength));
    FVbr = ReadVbrHeader(frame, h);
    R.vbrHeader = FVbr.kind;
    if (FVbr.lameOffset >= 0 && SumsLameExtension(FVbr.encoder) &&
        !LameCrcMatches(frame, static_cast<size_t>(FVbr.lameOffset)))
      Add(pos + FVbr.lameOffset + kLameCrcAt, 2, Kind::sfLameCrc, kDamage,
          "the LAME extension's checksum does not match its frame");
  }

  // A Layer III frame's checksum, where it carries one. The VBR header's frame is left out: its
  // side information stands in for no audio.
  void CheckFrameCrc(int64_t pos, std::string_view view, const TMpegFrameHeader& h) {
    if (h.layer != 3 || !h.crc || (pos == R.firstFrame && !FVbr.kind.empty())) return;
    if (FrameCrcMatches(view.substr(0, static_cast<size_t>(h.frameLength)), h)) return;
    if (FBadCrcs++ == 0)
      Add(pos, h.frameLength, Kind::sfFrameCrc, kDamage,
          "a frame whose checksum does not match its side information");
  }

  // TakeFrame for a frame of the first frame's stream past the first.
  void TakeFrameOfFirst(int64_t pos, const TMpegFrameHeader& h) {
    if (FVisit) FVisit(pos, h);
    FLast = h;
    R.audioBytes += h.frameLength;
    ++R.frames;
    TakeSamples(h);
  }

  void TakeSamples(const TMpegFrameHeader& h) {
    FSamples += h.samplesPerFrame;
    if (FLowRate == 0) FLowRate = FHighRate = h.bitrate;
    FLowRate = std::min(FLowRate, h.bitrate);
    FHighRate = std::max(FHighRate, h.bitrate);
    FMixed = false;
  }

  void TakeFrame(int64_t pos, const TMpegFrameHeader& h) {
    if (FVisit) FVisit(pos, h);
    FLast = h;
    R.audioBytes += h.frameLength;
    const bool headerFrame = pos == R.firstFrame && !FVbr.kind.empty();
    if (headerFrame) return;
    ++R.frames;
    if (h.SameStream(FFirst)) {
      TakeSamples(h);
      return;
    }
    FOtherSeconds += static_cast<double>(h.samplesPerFrame) / h.sampleRate;
    if (!FMixed)
      Add(pos, h.frameLength, Kind::sfMixedStream, kDamage,
          Format("a frame of MPEG %s layer %d at %d Hz in a stream of MPEG %s layer %d at %d Hz",
                 MpegVersionName(h.version), h.layer, h.sampleRate, MpegVersionName(FFirst.version),
                 FFirst.layer, FFirst.sampleRate));
    FMixed = true;
  }

  void Finish() {
    if (R.firstFrame < 0) {
      // Without audio, what lay between the tags is not junk between frames: only the blocks
      // behind say more than that there is none.
      std::erase_if(R.findings, [](const TStreamFinding& f) {
        return f.kind != Kind::sfDamagedTrailer && f.kind != Kind::sfSecondID3v1;
      });
      FOmitted = 0;
      Add(R.audioStart, R.audioEnd - R.audioStart, Kind::sfNoAudio, kDamage,
          "no MPEG audio frames");
    } else {
      R.duration = static_cast<double>(FSamples) / FFirst.sampleRate + FOtherSeconds;
      if (!FCountOnly) {
        CheckVbrHeader();
        NoteBadCrcs();
      }
    }
    std::stable_sort(
        R.findings.begin(), R.findings.end(),
        [](const TStreamFinding& a, const TStreamFinding& b) { return a.offset < b.offset; });
    if (FOmitted > 0)
      R.findings.push_back({R.audioEnd, 0, Kind::sfMoreFindings, FOmittedSeverity,
                            Format("%lld more findings", static_cast<long long>(FOmitted))});
  }

  // The first frame whose checksum is wrong stands for the others: how many there are.
  void NoteBadCrcs() {
    if (FBadCrcs < 2) return;
    for (TStreamFinding& f : R.findings)
      if (f.kind == Kind::sfFrameCrc)
        f.text = Format(
            "%lld frames whose checksums do not match their side information, the "
            "first here",
            static_cast<long long>(FBadCrcs));
  }

  void CheckVbrHeader() {
    const char* kind = FVbr.kind.c_str();
    if (FVbr.kind.empty()) {
      if (FLowRate != FHighRate)
        Add(R.firstFrame, 0, Kind::sfVbrWithoutHeader, kNote,
            Format("the bitrate varies (%d to %d kbit/s) and no Xing or VBRI header counts the "
                   "frames",
                   FLowRate, FHighRate));
      return;
    }
    // Encoders differ on whether the header's own frame is counted, and whether the bytes
    // start at the file's start or at the audio's: any of those agrees with the stream.
    const int64_t own = FFirst.frameLength;
    if (FVbr.frames >= 0 && FVbr.frames != R.frames && FVbr.frames != R.frames + 1)
      Add(R.firstFrame, own, Kind::sfHeaderFrameCount, kDamage,
          Format("the %s header counts %lld frames, the stream holds %lld", kind,
                 static_cast<long long>(FVbr.frames), static_cast<long long>(R.frames)));
    if (FVbr.bytes > 0 && FVbr.bytes != R.audioBytes && FVbr.bytes != R.audioBytes - own &&
        FVbr.bytes != R.audioBytes + R.firstFrame)
      Add(R.firstFrame, own, Kind::sfHeaderByteCount, kDamage,
          Format("the %s header counts %lld bytes, the stream holds %lld", kind,
                 static_cast<long long>(FVbr.bytes), static_cast<long long>(R.audioBytes)));
  }

  // Keeps a finding; past kMaxFindings, counts it only: a file of noise has one at every turn.
  void Add(int64_t offset, int64_t length, Kind kind, TStreamSeverity severity, std::string text) {
    if (FCountOnly) return;
    if (R.findings.size() < kMaxFindings) {
      R.findings.push_back({offset, std::max<int64_t>(length, 0), kind, severity, std::move(text)});
      return;
    }
    ++FOmitted;
    FOmittedSeverity = std::max(FOmittedSeverity, severity);
  }

  TStream& FStream;
  int64_t FSize;
  TForwardWindow FWindow;
  int64_t FStart;
  const TFrameVisitor FVisit;
  TStreamReport R;
  TMpegFrameHeader FFirst;
  TMpegFrameHeader FLast;  // the last frame taken
  mutable THeaderMemo FHeaders;
  TVbrHeader FVbr;
  int64_t FSamples = 0;      // of the first frame's stream
  double FOtherSeconds = 0;  // of frames of other streams
  int FLowRate = 0, FHighRate = 0;
  bool FMixed = false;   // the last frame taken was of another stream
  int64_t FBadCrcs = 0;  // frames whose checksums are wrong
  int64_t FOmitted = 0;
  TStreamSeverity FOmittedSeverity = kNote;
  bool FCountOnly = false;
};

}  // namespace

std::string DamagedTrailerText(TTrailerKind kind, const std::string& damage) {
  const char* name = kind == TTrailerKind::tkApe       ? "APEv2 tag"
                     : kind == TTrailerKind::tkLyrics3 ? "Lyrics3 block"
                                                       : "ID3v1 trailer";
  return Format("damaged %s (%s)", name, damage.c_str());
}

TStreamReport WalkStream(TStream& stream, int64_t start) {
  return TStreamWalker(stream, start, TFrameVisitor()).Run();
}

TStreamReport WalkStream(TStream& stream, int64_t start, const TFrameVisitor& visit) {
  return TStreamWalker(stream, start, visit).Run();
}

TStreamReport CountStreamFrames(TStream& stream, int64_t audioStart, int64_t audioEnd) {
  TStreamWalker walker(stream, audioStart, TFrameVisitor());
  walker.CountWithin(audioStart, audioEnd);
  return walker.Run();
}

const char* StreamFindingKindName(TStreamFindingKind kind) {
  switch (kind) {
    case Kind::sfNoAudio:
      return "no-audio";
    case Kind::sfJunk:
      return "junk";
    case Kind::sfTruncatedFrame:
      return "truncated-frame";
    case Kind::sfGarbageAfterAudio:
      return "garbage-after-audio";
    case Kind::sfMixedStream:
      return "mixed-stream";
    case Kind::sfVbrWithoutHeader:
      return "vbr-without-header";
    case Kind::sfHeaderFrameCount:
      return "header-frame-count";
    case Kind::sfHeaderByteCount:
      return "header-byte-count";
    case Kind::sfMidStreamID3v2:
      return "id3v2-inside-audio";
    case Kind::sfSecondID3v1:
      return "second-id3v1";
    case Kind::sfDamagedTrailer:
      return "damaged-trailer";
    case Kind::sfLameCrc:
      return "lame-crc";
    case Kind::sfFrameCrc:
      return "frame-crc";
    case Kind::sfMoreFindings:
      break;
  }
  return "more-findings";
}

const char* StreamSeverityName(TStreamSeverity severity) {
  return severity == TStreamSeverity::ssDamage ? "damage" : "note";
}

}  // namespace tagscope
