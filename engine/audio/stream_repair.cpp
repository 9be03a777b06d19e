// The repair of an MP3 stream: what to cut, and the header frame to write.
#include "tagscope/engine/stream_repair.h"

#include <algorithm>
#include <numeric>
#include <optional>

#include "engine/audio/mpeg_vbr_header.h"
#include "engine/audio/stream_walk.h"
#include "engine/audio/xing_frame.h"
#include "tagscope/rtl/byte_reader.h"
#include "tagscope/rtl/exception.h"

namespace tagscope {

namespace {

using Kind = TStreamFindingKind;

std::string Bytes(int64_t n) {
  return Format("%lld byte%s", static_cast<long long>(n), n == 1 ? "" : "s");
}

bool Has(const TStreamReport& r, Kind kind) {
  return std::any_of(r.findings.begin(), r.findings.end(),
                     [&](const TStreamFinding& f) { return f.kind == kind; });
}

class TRepairPlanner {
 public:
  TRepairPlanner(TStream& stream, const TStreamRepairOptions& options)
      : FStream(stream), FOptions(options) {}

  TStreamRepairPlan Run(int64_t start) {
    P.report = WalkStream(FStream, start, [this](int64_t pos, const TMpegFrameHeader& h) {
      if (FOffsets.size() < 2) FOffsets.push_back(pos);
      FLengths.push_back(static_cast<uint16_t>(h.frameLength));
      FRates.push_back(static_cast<uint16_t>(h.bitrate));
    });
    const TStreamReport& r = P.report;
    P.frames = r.frames;
    P.duration = r.duration;
    if (Has(r, Kind::sfNoAudio)) {
      P.left.push_back("no MPEG audio frames: nothing to repair");
      return std::move(P);
    }
    if (Has(r, Kind::sfMoreFindings)) {
      P.left.push_back(
          Format("more damage than a report lists (%zu findings and more): left as it is",
                 r.findings.size() - 1));
      return std::move(P);
    }
    // The header's frame stands in for audio: the rest are the stream's frames.
    FHeaderFrame = !r.vbrHeader.empty();
    if (FHeaderFrame) {
      FHeaderLength = FLengths.front();
      FLengths.erase(FLengths.begin());
      FRates.erase(FRates.begin());
    }
    PlanCuts();
    PlanHeader();
    NoteReservoir();
    std::stable_sort(P.steps.begin(), P.steps.end(),
                     [](const TStreamRepairStep& a, const TStreamRepairStep& b) {
                       return a.splice.range.Offset < b.splice.range.Offset;
                     });
    return std::move(P);
  }

 private:
  void PlanCuts() {
    for (const TStreamFinding& f : P.report.findings) {
      switch (f.kind) {
        case Kind::sfJunk:
          // Zero bytes before the first frame are a writer's padding, a note only.
          if (f.severity != TStreamSeverity::ssDamage) break;
          [[fallthrough]];
        case Kind::sfTruncatedFrame:
        case Kind::sfGarbageAfterAudio:
        case Kind::sfSecondID3v1:
          Cut(f);
          break;
        case Kind::sfMidStreamID3v2:
        case Kind::sfMixedStream:
        case Kind::sfDamagedTrailer:
          Leave(f, "left as it is");
          break;
        default:
          break;
      }
    }
  }

  void Cut(const TStreamFinding& f) {
    if (f.length > kLargeRepairCut && !FOptions.force) {
      Leave(f, "not cut: more than 64 KB, which may be someone's data (--force cuts it)");
      FJunkLeft = FJunkLeft || (f.kind == Kind::sfJunk && f.offset > P.report.firstFrame);
      return;
    }
    TStreamRepairStep step;
    step.splice.range = {f.offset, f.length};
    // Every cut says how many bytes it takes.
    step.text = "cut " + f.text +
                (f.kind == Kind::sfSecondID3v1 ? " (" + Bytes(f.length) + ")" : std::string());
    P.steps.push_back(std::move(step));
    if (f.kind == Kind::sfTruncatedFrame) FCutAtEnd = true;
  }

  void Leave(const TStreamFinding& f, const char* what) {
    P.left.push_back(
        Format("%s at byte %lld: %s", f.text.c_str(), static_cast<long long>(f.offset), what));
  }

  // The first audio frame's offset and header bits.
  int64_t FirstAudio() const {
    return FHeaderFrame ? (FOffsets.size() > 1 ? FOffsets[1] : -1) : P.report.firstFrame;
  }

  std::string Read(int64_t at, int64_t count) {
    std::string bytes(static_cast<size_t>(std::max<int64_t>(count, 0)), '\0');
    const int64_t got = count > 0 ? FStream.ReadAt(at, bytes.data(), count) : 0;
    bytes.resize(static_cast<size_t>(std::max<int64_t>(got, 0)));
    return bytes;
  }

  // Why no header frame can be written for the stream; empty when one can.
  std::string Blocker(TMpegFrameHeader& first, uint32_t& bits) {
    const TStreamReport& r = P.report;
    if (FLengths.empty() || FirstAudio() < 0) return "the stream holds no audio frame";
    const std::string head = Read(FirstAudio(), 4);
    bits = head.size() == 4 ? static_cast<uint32_t>(TByteReader(head).BEAt(0, 4)) : 0;
    if (!ParseMpegFrameHeader(bits, first)) return "its first frame cannot be read again";
    if (first.layer != 3) return "the stream is not layer III";
    if (Has(r, Kind::sfMixedStream)) return "the stream holds frames of another stream";
    if (Has(r, Kind::sfMidStreamID3v2)) return "an ID3v2 tag stands inside the audio";
    // The table of contents counts the frames as they follow on from each other.
    if (FJunkLeft) return "junk is left inside the audio";
    return "";
  }

  void PlanHeader() {
    const TStreamReport& r = P.report;
    const bool wrong = Has(r, Kind::sfHeaderFrameCount) || Has(r, Kind::sfHeaderByteCount) ||
                       Has(r, Kind::sfLameCrc);
    const bool vbrWithout = Has(r, Kind::sfVbrWithoutHeader);
    // The walk counts no junk and no frame cut short, so a header it finds right stays right
    // after the cuts. A file repaired anyway gets one, so that its length is read from it.
    const bool wanted = wrong || vbrWithout || (!FHeaderFrame && !P.steps.empty());
    if (!wanted) return;
    TMpegFrameHeader first;
    uint32_t bits = 0;
    const std::string blocker = Blocker(first, bits);
    if (!blocker.empty()) {
      if (wrong || vbrWithout || FHeaderFrame)
        P.left.push_back("the stream's header frame: not written, " + blocker);
      return;
    }
    std::string old;
    TXingContent c;
    if (FHeaderFrame) {
      old = Read(r.firstFrame, FHeaderLength);
      KeepFromOld(old, c);
    }
    c.vbr = *std::min_element(FRates.begin(), FRates.end()) !=
            *std::max_element(FRates.begin(), FRates.end());
    c.frames = static_cast<int64_t>(FLengths.size());
    if (FCutAtEnd) c.paddingCut = first.samplesPerFrame;
    const std::optional<uint32_t> frameBits = HeaderBits(old, first, bits, c);
    if (!frameBits) {
      P.left.push_back("the stream's header frame: not written, no frame of the stream holds it");
      return;
    }
    TMpegFrameHeader h;
    ParseMpegFrameHeader(*frameBits, h);
    c.bytes = h.frameLength + std::accumulate(FLengths.begin(), FLengths.end(), int64_t(0));
    c.toc = XingToc(FLengths, h.frameLength);
    const std::string frame = BuildXingFrame(*frameBits, c);
    if (frame == old) return;
    const char* kind = c.vbr ? "a Xing" : "an Info";
    const std::string counts = Format("(%lld frames, %lld bytes)", static_cast<long long>(c.frames),
                                      static_cast<long long>(c.bytes));
    TStreamRepairStep step;
    step.splice.bytes = frame;
    if (FHeaderFrame) {
      step.splice.range = {r.firstFrame, FHeaderLength};
      step.text = Format("write %s header %s in place of the %s header frame", kind, counts.c_str(),
                         r.vbrHeader.c_str());
    } else {
      step.splice.range = {FirstAudio(), 0};
      step.text = Format("put %s header frame %s before the first frame", kind, counts.c_str());
    }
    P.steps.push_back(std::move(step));
  }

  // What a new header keeps from the old one's frame: the quality, the LAME extension and the
  // way its checksum was made.
  void KeepFromOld(const std::string& old, TXingContent& c) {
    TMpegFrameHeader h;
    if (old.size() < 4 ||
        !ParseMpegFrameHeader(static_cast<uint32_t>(TByteReader(old).BEAt(0, 4)), h))
      return;
    const std::optional<size_t> at = XingOffset(old, h);
    if (!at) return;
    const TByteReader r(old);
    const uint64_t flags = r.BEAt(*at + 4, 4);
    size_t quality =
        *at + 8 + ((flags & 1) ? 4 : 0) + ((flags & 2) ? 4 : 0) + ((flags & 4) ? 100 : 0);
    if ((flags & 8) && r.HasAt(quality, 4)) c.quality = static_cast<uint32_t>(r.BEAt(quality, 4));
    const TVbrHeader v = ReadVbrHeader(old, h);
    if (v.lameOffset < 0 || !r.HasAt(v.lameOffset, kLameExtensionSize)) return;
    c.lame = old.substr(v.lameOffset, kLameExtensionSize);
    const auto stored = static_cast<uint16_t>(r.BEAt(v.lameOffset + kLameCrcAt, 2));
    c.crcKind = stored == LameTagCrc(old, v.lameOffset, TLameCrcKind::lcBefore) &&
                        stored != LameTagCrc(old, v.lameOffset, TLameCrcKind::lcFirst190)
                    ? TLameCrcKind::lcBefore
                    : TLameCrcKind::lcFirst190;
  }

  // The old header frame's own frame header where it holds the new header, else one chosen for
  // the stream.
  std::optional<uint32_t> HeaderBits(const std::string& old, const TMpegFrameHeader& first,
                                     uint32_t streamBits, const TXingContent& c) {
    TMpegFrameHeader h;
    if (old.size() >= 4) {
      const auto oldBits = static_cast<uint32_t>(TByteReader(old).BEAt(0, 4));
      if (ParseMpegFrameHeader(oldBits, h) && h.layer == 3 && !h.crc && h.SameStream(first) &&
          (h.channelMode == TChannelMode::cmMono) == (first.channelMode == TChannelMode::cmMono) &&
          static_cast<size_t>(h.frameLength) >= XingFrameNeeds(oldBits, c))
        return oldBits;
    }
    return XingFrameBits(streamBits, XingFrameNeeds(streamBits | (1u << 16), c));
  }

  // A stream cut at its start begins with a frame whose audio lies partly in frames gone.
  void NoteReservoir() {
    TMpegFrameHeader first;
    uint32_t bits = 0;
    if (!Blocker(first, bits).empty()) return;
    const size_t side = 4 + (first.crc ? 2 : 0);
    const std::string bytes = Read(FirstAudio(), static_cast<int64_t>(side) + 2);
    if (bytes.size() < side + 2) return;
    const TByteReader r(bytes);
    const int back = first.version == TMpegVersion::mv1 ? static_cast<int>(r.BEAt(side, 2) >> 7)
                                                        : static_cast<int>(r.ByteAt(side));
    if (back > 0)
      P.notes.push_back(Format(
          "the first frame draws on %s from before it, which the file does not hold (it was cut "
          "at its start): its first frames may not decode cleanly",
          Bytes(back).c_str()));
  }

  TStream& FStream;
  TStreamRepairOptions FOptions;
  TStreamRepairPlan P;
  std::vector<int64_t> FOffsets;  // of the first two frames taken
  std::vector<uint16_t> FLengths;
  std::vector<uint16_t> FRates;
  bool FHeaderFrame = false;
  int64_t FHeaderLength = 0;
  bool FCutAtEnd = false;  // a last frame cut short is cut
  bool FJunkLeft = false;  // a run of junk too long to cut unforced
};

}  // namespace

std::vector<TFileSplice> TStreamRepairPlan::Splices() const {
  std::vector<TFileSplice> splices;
  for (const TStreamRepairStep& s : steps) splices.push_back(s.splice);
  return splices;
}

TStreamRepairPlan PlanStreamRepair(TStream& stream, const TStreamRepairOptions& options,
                                   int64_t start) {
  return TRepairPlanner(stream, options).Run(start);
}

}  // namespace tagscope
