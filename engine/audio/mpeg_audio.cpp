// Audio facts of an MP3 stream from its first frames, its VBR header and its end.
#include "tagscope/engine/mpeg_audio.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/audio/mpeg_audio_read.h"
#include "engine/audio/mpeg_vbr_header.h"
#include "engine/audio/stream_walk.h"
#include "engine/file/read_cache.h"
#include "engine/trailers/trailer_locator.h"
#include "tagscope/rtl/byte_reader.h"
#include "tagscope/rtl/exception.h"

namespace tagscope {

namespace {

constexpr int64_t kMaxJunk = 1024 * 1024;  // how far past the tags the first frame may begin
// Read at once where a look falls outside the bytes read already: the frames a scan looks at
// (24 of 128 kbit/s) without another read.
constexpr size_t kWindow = 16 * 1024;
constexpr int kRunFrames = 3;    // frame headers in a row that make a sync believable
constexpr int kScanFrames = 24;  // frames looked at when the stream gives no frame count
constexpr int64_t kScanBytes = 64 * 1024;
// Frames sampled at the middle and the end, within so many bytes, to tell whether the bitrate
// is constant.
constexpr int kSampleFrames = 8;
constexpr int64_t kSampleBytes = 6 * 1024;
// The file's last bytes, which the look for trailers read: the end is sampled within them
// where they hold enough of the audio.
constexpr int64_t kEndBytes = 4096;
constexpr int64_t kBytesPerSlack = 100;  // a header's byte count may be 1 % off the audio's
constexpr double kRateSlack = 0.03;      // padding moves a frame's bitrate by up to this much
constexpr int kMaxStackedTags = 16;
constexpr int64_t kTagHeaderSize = 10;

// Bytes of the stream a window holds: viewed where the stream's cache keeps them (the first
// read of the file mostly does; the window then holds all the cache keeps with them), else
// copied.
struct TWindowBytes {
  std::string copy;
  std::shared_ptr<const char[]> kept;
  std::string_view bytes;
};

// A window of the stream's bytes below `end`, read again where a look falls outside it.
class TReadWindow {
 public:
  TReadWindow(TStream& stream, int64_t end)
      : FStream(stream), FCached(dynamic_cast<TCachedReadStream*>(&stream)), FEnd(end) {}

  // Moves the end nearer: nothing at or past it is seen from then on.
  void SetEnd(int64_t end) {
    FEnd = std::min(FEnd, end);
    const int64_t held = std::clamp<int64_t>(FEnd - FBase, 0, Size());
    FBytes.bytes = FBytes.bytes.substr(0, static_cast<size_t>(held));
  }

  // Up to n bytes at pos (fewer before the end); moves the window there when they lie outside.
  std::string_view At(int64_t pos, size_t n) {
    if (!Holds(pos, n)) {
      FBase = pos;
      Fill(FBytes, pos, n, std::max(n, kWindow));
    }
    return View(pos, n);
  }
  // The bytes from pos to the window's end, at least four unless the end is nearer; moves the
  // window to pos when fewer are held.
  std::string_view From(int64_t pos) {
    if (!Holds(pos, 4)) {
      FBase = pos;
      Fill(FBytes, pos, 4, kWindow);
    }
    return View(pos, FBytes.bytes.size());
  }
  // The same without moving the window: bytes outside it are read on their own.
  std::string_view Peek(int64_t pos, size_t n) {
    if (Holds(pos, n)) return View(pos, n);
    Fill(FPeek, pos, n, n);
    return FPeek.bytes.substr(0, n);
  }

 private:
  int64_t Size() const { return static_cast<int64_t>(FBytes.bytes.size()); }
  bool Holds(int64_t pos, size_t n) const {
    const int64_t want = std::min<int64_t>(pos + static_cast<int64_t>(n), FEnd);
    return pos >= FBase && want <= FBase + Size();
  }
  std::string_view View(int64_t pos, size_t n) const {
    const auto from = static_cast<size_t>(pos - FBase);
    if (from >= FBytes.bytes.size()) return {};
    return FBytes.bytes.substr(from, n);
  }
  // The bytes from pos: the cache's where it keeps the `need` bytes there, else `read` bytes
  // read from the stream.
  void Fill(TWindowBytes& window, int64_t pos, size_t need, size_t read) {
    const int64_t wanted = std::clamp<int64_t>(FEnd - pos, 0, static_cast<int64_t>(need));
    window.kept.reset();
    if (std::optional<TFileBytes> kept;
        FCached && wanted > 0 && (kept = FCached->Kept(pos, wanted))) {
      window.kept = kept->owner;
      window.bytes = kept->bytes.substr(0, static_cast<size_t>(FEnd - pos));
      return;
    }
    const int64_t count = std::clamp<int64_t>(FEnd - pos, 0, static_cast<int64_t>(read));
    window.copy.resize(static_cast<size_t>(count));
    const int64_t got = count > 0 ? FStream.ReadAt(pos, window.copy.data(), count) : 0;
    window.copy.resize(static_cast<size_t>(std::max<int64_t>(got, 0)));
    window.bytes = window.copy;
  }

  TStream& FStream;
  TCachedReadStream* FCached;  // the stream, where it reads through a cache
  int64_t FEnd;
  int64_t FBase = 0;
  TWindowBytes FBytes;
  TWindowBytes FPeek;
};

bool HeaderAt(std::string_view bytes, TMpegFrameHeader& h) {
  if (bytes.size() < 4) return false;
  return ParseMpegFrameHeader(static_cast<uint32_t>(TByteReader(bytes).BEAt(0, 4)), h);
}

// Past the ID3v2 tags that begin at pos: players meet files with several, one after another.
int64_t SkipTags(TReadWindow& w, int64_t pos) {
  for (int i = 0; i < kMaxStackedTags; ++i) {
    const std::string_view head = w.At(pos, kTagHeaderSize);
    if (head.size() < kTagHeaderSize || head.substr(0, 3) != "ID3") break;
    const TByteReader r(head);
    if (!r.IsSyncSafeAt(6, 4)) break;
    const bool footer = (r.ByteAt(5) & 0x10) != 0;
    pos += kTagHeaderSize * (footer ? 2 : 1) + static_cast<int64_t>(r.SyncSafeAt(6, 4));
  }
  return pos;
}

// Whether the frame at pos begins a run of frames of one stream: kRunFrames headers in a row,
// or fewer that end exactly where the audio does.
bool BeginsRun(TReadWindow& w, int64_t pos, const TMpegFrameHeader& first, int64_t end) {
  int64_t next = pos + first.frameLength;
  for (int i = 1; i < kRunFrames; ++i) {
    if (next == end) return true;
    TMpegFrameHeader h;
    if (!HeaderAt(w.Peek(next, 4), h) || !h.SameStream(first)) return false;
    next += h.frameLength;
  }
  return true;
}

// The first frame in [from, end) that begins a run, looked for no further than kMaxJunk.
int64_t FindFirstFrame(TReadWindow& w, int64_t from, int64_t end, TMpegFrameHeader& first) {
  const int64_t limit = std::min(end - 4, from + kMaxJunk);
  for (int64_t pos = from; pos <= limit;) {
    const std::string_view bytes = w.From(pos);
    if (bytes.empty()) break;  // (an empty view may hold no address at all)
    const void* sync = std::memchr(bytes.data(), 0xFF, bytes.size());
    if (!sync) {
      pos += static_cast<int64_t>(bytes.size());
      continue;
    }
    pos += static_cast<const char*>(sync) - bytes.data();
    if (pos <= limit && HeaderAt(w.At(pos, 4), first) && BeginsRun(w, pos, first, end)) return pos;
    ++pos;
  }
  return -1;
}

// Frames of the stream looked at in a row: how many, their bytes, their lowest and highest
// bitrate (kbit/s).
struct TScan {
  int64_t frames = 0;
  int64_t bytes = 0;
  int low = 0;
  int high = 0;
  bool reachedEnd = false;
  bool otherStream = false;  // a sample met frames of another stream, or none at all
  // The average bitrates (bit/s) of the places sampled, summed, and how many places: each
  // place counts alike, however many frames it gave.
  double placeRates = 0;
  int places = 0;

  void Take(const TMpegFrameHeader& h) {
    low = frames == 0 ? h.bitrate : std::min(low, h.bitrate);
    high = std::max(high, h.bitrate);
    ++frames;
    bytes += h.frameLength;
  }
  // The average bitrate of the places sampled, for a stream of the kind of `h`.
  double PlaceAverage(const TMpegFrameHeader& h) const;
  void Join(const TScan& other, const TMpegFrameHeader& h) {
    otherStream = otherStream || other.otherStream || other.frames == 0;
    if (other.frames == 0) return;
    placeRates += other.PlaceAverage(h);
    ++places;
    low = frames == 0 ? other.low : std::min(low, other.low);
    high = std::max(high, other.high);
    frames += other.frames;
    bytes += other.bytes;
  }
  bool OneBitrate() const { return !otherStream && low == high; }
};

// The average bitrate (bit/s) of `frames` frames of the stream's kind in `bytes`.
double AverageBitrate(const TMpegFrameHeader& h, int64_t bytes, int64_t frames) {
  return bytes * 8.0 * h.sampleRate / (static_cast<double>(frames) * h.samplesPerFrame);
}

double TScan::PlaceAverage(const TMpegFrameHeader& h) const {
  if (places > 0) return placeRates / places;
  return frames > 0 ? AverageBitrate(h, bytes, frames) : h.bitrate * 1000.0;
}

// The frames from pos on, as far as `maxFrames` and kScanBytes reach.
TScan ScanFrames(TReadWindow& w, int64_t pos, int64_t end, const TMpegFrameHeader& first,
                 int maxFrames = kScanFrames) {
  TScan s;
  while (s.frames < maxFrames && s.bytes < kScanBytes) {
    TMpegFrameHeader h;
    if (end - pos < 4) {
      s.reachedEnd = true;
      break;
    }
    if (!HeaderAt(w.At(pos, 4), h) || !h.SameStream(first)) break;
    s.Take(h);
    pos += h.frameLength;
  }
  return s;
}

// A few frames from the first run of frames that begins in the `bytes` from `from`, read on
// their own. A run of another stream, or none, is noted.
TScan SampleAt(TStream& stream, int64_t from, int64_t bytes, int64_t end,
               const TMpegFrameHeader& first) {
  TReadWindow w(stream, std::min(end, from + bytes));
  TMpegFrameHeader h;
  const int64_t pos = FindFirstFrame(w, from, end, h);
  TScan s;
  if (pos >= 0 && h.SameStream(first)) s = ScanFrames(w, pos, end, first, kSampleFrames);
  s.otherStream = s.frames == 0;
  return s;
}

// The frames sampled at the start (`start`, already scanned), the middle and the end of the
// audio in [from, end) of a file of `size` bytes.
TScan Sampled(TStream& stream, TScan start, int64_t from, int64_t end, int64_t size,
              const TMpegFrameHeader& first) {
  start.otherStream = start.frames == 0;
  if (start.frames > 0) {
    start.placeRates = start.PlaceAverage(first);
    start.places = 1;
  }
  const int64_t middle = from + (end - from) / 2;
  int64_t last = std::max(from, size - kEndBytes);
  if (end - last < kEndBytes / 2) last = std::max(from, end - kSampleBytes);
  if (middle > from + start.bytes)
    start.Join(SampleAt(stream, middle, kSampleBytes, end, first), first);
  if (last > from + start.bytes) start.Join(SampleAt(stream, last, end - last, end, first), first);
  return start;
}

// A bitrate from counts a damaged header may hold: rounded, and kept within reason.
int64_t Rounded(double bitrate) {
  return std::llround(std::clamp(bitrate, 1.0, 1e9));
}

TBitrateMode ModeOfHeader(const TVbrHeader& v) {
  if (v.method == 1 || v.method == 8) return TBitrateMode::bmCBR;
  if (v.method == 2 || v.method == 9) return TBitrateMode::bmABR;
  if (v.method >= 3 && v.method <= 6) return TBitrateMode::bmVBR;
  // Info headers are written for constant bitrates only.
  return v.kind == "Info" ? TBitrateMode::bmCBR : TBitrateMode::bmVBR;
}

// Duration and bitrate from a header's frame count. `audioBitrate` is the frame's after the
// header (kbit/s, 0 when there is none): an encoder may give the header's frame a higher
// bitrate than the stream's, to make room.
void FromHeaderCount(TMpegAudioProperties& p, const TVbrHeader& v, int audioBitrate) {
  const TMpegFrameHeader& h = p.first;
  const double samples = static_cast<double>(v.frames) * h.samplesPerFrame;
  p.frameCount = v.frames;
  p.duration = samples / h.sampleRate;
  p.durationSource = TDurationSource::dsHeader;
  // The header's byte count includes its own frame, its frame count does not.
  const int64_t bytes =
      (v.bytes > h.frameLength ? v.bytes : p.audioEnd - p.firstFrameOffset) - h.frameLength;
  if (p.bitrateMode == TBitrateMode::bmCBR && audioBitrate > 0)
    p.bitrate = audioBitrate * 1000;
  else
    p.bitrate = samples > 0 ? Rounded(bytes * 8.0 * h.sampleRate / samples) : h.bitrate * 1000;
  if (v.delay >= 0) p.gaplessDuration = std::max(0.0, samples - v.delay - v.padding) / h.sampleRate;
}

// Duration and bitrate from the frames scanned to the audio's end.
void FromScanToEnd(TMpegAudioProperties& p, const TScan& s) {
  const TMpegFrameHeader& h = p.first;
  if (p.bitrateMode == TBitrateMode::bmUnknown)
    p.bitrateMode = s.OneBitrate() ? TBitrateMode::bmCBR : TBitrateMode::bmVBR;
  p.bitrate = s.OneBitrate() || s.frames == 0 ? (s.frames > 0 ? s.low : h.bitrate) * 1000
                                              : Rounded(AverageBitrate(h, s.bytes, s.frames));
  p.frameCount = s.frames;
  p.duration = static_cast<double>(s.frames) * h.samplesPerFrame / h.sampleRate;
  p.durationSource = TDurationSource::dsCount;
}

// Duration from the audio's bytes over the sampled frames' bitrate: where it varies, the mean
// of the places sampled.
void FromEstimate(TMpegAudioProperties& p, const TScan& s, int64_t audioBytes) {
  const TMpegFrameHeader& h = p.first;
  if (p.bitrateMode == TBitrateMode::bmUnknown)
    p.bitrateMode = s.OneBitrate() ? TBitrateMode::bmCBR : TBitrateMode::bmVBR;
  p.bitrate = s.OneBitrate() || s.frames == 0 ? (s.frames > 0 ? s.low : h.bitrate) * 1000
                                              : Rounded(s.PlaceAverage(h));
  p.frameCount = -1;
  p.duration = audioBytes * 8.0 / p.bitrate;
  p.durationSource = TDurationSource::dsEstimate;
}

// Duration and bitrate from every frame counted; false when the walk found none.
bool FromCount(TMpegAudioProperties& p, const TStreamReport& r, const TVbrHeader& v,
               const TScan& samples) {
  const TMpegFrameHeader& h = p.first;
  if (r.firstFrame < 0 || r.frames == 0 || r.duration <= 0) return false;
  if (p.bitrateMode == TBitrateMode::bmUnknown)
    p.bitrateMode = samples.OneBitrate() ? TBitrateMode::bmCBR : TBitrateMode::bmVBR;
  const int64_t bytes = r.audioBytes - (v.kind.empty() ? 0 : h.frameLength);
  p.bitrate = samples.OneBitrate() ? samples.low * 1000 : Rounded(bytes * 8.0 / r.duration);
  p.frameCount = r.frames;
  p.duration = r.duration;
  p.durationSource = TDurationSource::dsCount;
  if (v.delay >= 0)
    p.gaplessDuration = std::max(0.0, r.duration - double(v.delay + v.padding) / h.sampleRate);
  return true;
}

// The fewest bytes a frame of the stream can take: at its lowest bitrate, unpadded (less a
// slot's rounding for layer I).
int64_t SmallestFrame(const TMpegFrameHeader& h) {
  const int lowest = h.version == TMpegVersion::mv1 || h.layer == 1 ? 32 : 8;  // kbit/s
  const int64_t bytes = int64_t(h.samplesPerFrame) * lowest * 1000 / (8 * int64_t(h.sampleRate));
  return std::max<int64_t>(1, bytes - (h.layer == 1 ? 3 : 0));
}

// Why the header's counts cannot be true of this file: more frames after the header than the
// audio's bytes can hold, more bytes than the whole file has, or other bytes than the audio
// holds (a file cut short, or audio added after). Encoders differ on whether the count starts
// at the header's frame or at the file's start, and stray bytes at the end are forgiven up to
// a hundredth of the audio or a few frames. Empty when they can be true.
std::string HeaderContradiction(const TMpegAudioProperties& p, const TVbrHeader& v,
                                int64_t audioFrom, int64_t fileSize) {
  const int64_t audioBytes = std::max<int64_t>(p.audioEnd - audioFrom, 0);
  if (v.frames > audioBytes / SmallestFrame(p.first))
    return Format("the %s header counts %lld frames, more than the %lld bytes of audio can hold",
                  v.kind.c_str(), static_cast<long long>(v.frames),
                  static_cast<long long>(audioBytes));
  if (v.bytes > fileSize)
    return Format("the %s header counts %lld bytes, more than the file's %lld", v.kind.c_str(),
                  static_cast<long long>(v.bytes), static_cast<long long>(fileSize));
  if (v.bytes <= 0) return {};
  const int64_t stream = p.audioEnd - p.firstFrameOffset;
  const int64_t slack = std::max<int64_t>(stream / kBytesPerSlack, 4 * p.first.frameLength);
  const auto near = [&](int64_t bytes) { return std::abs(v.bytes - bytes) <= slack; };
  if (near(stream) || near(audioBytes) || near(p.audioEnd)) return {};
  return Format("the %s header counts %lld bytes, the audio holds %lld", v.kind.c_str(),
                static_cast<long long>(v.bytes), static_cast<long long>(stream));
}

// Why the header's frame count cannot be true of the frames: the average bitrate it gives the
// audio after the header lies outside what the sampled frames have (by more than their
// padding). Empty when it can be.
std::string RateContradiction(const TMpegAudioProperties& p, const TVbrHeader& v,
                              int64_t audioBytes, const TScan& s) {
  if (s.frames == 0 || v.frames <= 0) return {};
  const double average = AverageBitrate(p.first, audioBytes, v.frames) / 1000;
  if (average >= s.low * (1 - kRateSlack) && average <= s.high * (1 + kRateSlack)) return {};
  return Format(
      "the %s header counts %lld frames, an average of %.0f kbit/s for frames of %d "
      "to %d kbit/s",
      v.kind.c_str(), static_cast<long long>(v.frames), average, s.low, s.high);
}

// The lengths in doubt counted, within the bound; else estimated and marked.
void CountOrEstimate(TStream& stream, TMpegAudioProperties& p, const TVbrHeader& v,
                     const TScan& samples, int64_t audioFrom, int64_t countBound, int64_t from) {
  if (p.audioEnd - from <= countBound &&
      FromCount(p, CountStreamFrames(stream, from, p.audioEnd), v, samples))
    return;
  FromEstimate(p, samples, p.audioEnd - audioFrom);
  p.durationInDoubt = true;
}

}  // namespace

TMpegAudioProperties ReadMpegAudio(TStream& stream, int64_t start, int64_t countBound) {
  return ReadMpegAudio(stream, start, countBound, [](TStream& s, int64_t size, int64_t floor) {
    return LocateTrailers(s, size, floor);
  });
}

TMpegAudioProperties ReadMpegAudio(TStream& stream, int64_t start, int64_t countBound,
                                   const TLocateTrailers& locate) {
  TMpegAudioProperties p;
  start = std::max<int64_t>(start, 0);
  const int64_t size = stream.Size();
  TReadWindow w(stream, size);
  const int64_t from = SkipTags(w, start);
  const TTrailerPlaces trailers = locate(stream, size, from);
  p.apeTag = trailers.Holds(TTrailerKind::tkApe);
  p.lyrics3 = trailers.Holds(TTrailerKind::tkLyrics3);
  p.id3v1 = trailers.Holds(TTrailerKind::tkID3v1);
  p.audioEnd = trailers.audioEnd;
  w.SetEnd(p.audioEnd);
  p.firstFrameOffset = FindFirstFrame(w, from, p.audioEnd, p.first);
  if (p.firstFrameOffset < 0) return p;
  p.found = true;
  const TMpegFrameHeader& h = p.first;
  const TVbrHeader v = ReadVbrHeader(w.At(p.firstFrameOffset, h.frameLength), h);
  p.vbrHeader = v.kind;
  p.encoder = v.encoder;
  p.encoderDelay = v.delay;
  p.encoderPadding = v.padding;
  if (!v.kind.empty()) p.bitrateMode = ModeOfHeader(v);
  // A header frame carries no audio: the audio begins after it.
  const int64_t scanFrom = p.firstFrameOffset + (v.kind.empty() ? 0 : h.frameLength);
  const int64_t audioBytes = std::max<int64_t>(p.audioEnd - scanFrom, 0);
  if (v.frames > 0) p.vbrHeaderProblem = HeaderContradiction(p, v, scanFrom, size);
  TMpegFrameHeader next;
  const bool hasNext = HeaderAt(w.Peek(scanFrom, 4), next) && next.SameStream(h);
  std::optional<TScan> samples;
  if (v.frames > 0 && p.vbrHeaderProblem.empty()) {
    // A constant bitrate is checked against the frame after the header alone; other streams
    // against frames sampled through the audio.
    TScan rates;
    if (p.bitrateMode == TBitrateMode::bmCBR && hasNext) {
      rates.Take(next);
    } else {
      samples =
          Sampled(stream, ScanFrames(w, scanFrom, p.audioEnd, h), scanFrom, p.audioEnd, size, h);
      rates = *samples;
    }
    p.vbrHeaderProblem = RateContradiction(p, v, audioBytes, rates);
    if (p.vbrHeaderProblem.empty()) {
      FromHeaderCount(p, v, hasNext ? next.bitrate : 0);
      return p;
    }
  }
  if (!samples) {
    const TScan first = ScanFrames(w, scanFrom, p.audioEnd, h);
    if (first.reachedEnd) {
      FromScanToEnd(p, first);
      return p;
    }
    samples = Sampled(stream, first, scanFrom, p.audioEnd, size, h);
  }
  if (p.vbrHeaderProblem.empty() && samples->OneBitrate()) {
    FromEstimate(p, *samples, audioBytes);
    return p;
  }
  CountOrEstimate(stream, p, v, *samples, scanFrom, countBound, from);
  return p;
}

const char* BitrateModeName(TBitrateMode mode) {
  switch (mode) {
    case TBitrateMode::bmCBR:
      return "CBR";
    case TBitrateMode::bmVBR:
      return "VBR";
    case TBitrateMode::bmABR:
      return "ABR";
    case TBitrateMode::bmUnknown:
      return "unknown";
  }
  return "";
}

}  // namespace tagscope
