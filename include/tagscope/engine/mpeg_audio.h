#pragma once

#include <cstdint>
#include <string>

#include "tagscope/engine/mpeg_frame_header.h"
#include "tagscope/rtl/stream.h"

namespace tagscope {

enum class TBitrateMode { bmUnknown, bmCBR, bmVBR, bmABR };
// Where the duration came from: the stream's own frame count (a Xing, Info or VBRI header),
// counting every frame (a short stream read to its end, or one whose estimate was in doubt),
// or the byte count over the bitrate.
enum class TDurationSource { dsNone, dsHeader, dsCount, dsEstimate };

// What an MP3 stream's first frames and its end tell about the audio.
struct TMpegAudioProperties {
  bool found = false;      // an MPEG audio stream was recognised; nothing below holds otherwise
  TMpegFrameHeader first;  // the first frame's header
  int64_t firstFrameOffset = -1;  // where the first audio frame begins in the file
  int64_t audioEnd = 0;  // just past the audio: where the trailers begin, or the file's end
  int64_t bitrate = 0;   // bit/s: the frames' own for CBR, the average otherwise
  double duration = 0;   // seconds, every decoded sample
  // Seconds without the encoder's delay and padding, when the stream records them; else -1.
  double gaplessDuration = -1;
  TDurationSource durationSource = TDurationSource::dsNone;
  // The duration is an estimate that may be far off: the frames sampled at the start, middle
  // and end differ, or the VBR header contradicts the file, and the audio was larger than the
  // bound up to which its frames are counted.
  bool durationInDoubt = false;
  int64_t frameCount = -1;  // audio frames, when the stream says or all were counted
  TBitrateMode bitrateMode = TBitrateMode::bmUnknown;
  std::string vbrHeader;  // "Xing", "Info", "VBRI", or empty when the stream has none
  // Why the VBR header's counts were not taken (more frames or bytes than the file can hold):
  // the duration is then counted or estimated from the file. Empty when they were, or none.
  std::string vbrHeaderProblem;
  std::string encoder;      // the encoder's short name from the LAME extension ("LAME3.100")
  int encoderDelay = -1;    // samples the encoder put before the audio; -1: not recorded
  int encoderPadding = -1;  // samples it added after; -1: not recorded
  bool apeTag = false;      // APEv2 tag, Lyrics3 block and ID3v1 trailer behind the audio
  bool lyrics3 = false;
  bool id3v1 = false;
};

// The most bytes of audio ReadMpegAudio walks by default to count the frames of a stream whose
// estimated length is in doubt (32 MiB: over half an hour at 128 kbit/s).
inline constexpr int64_t kDefaultCountBound = int64_t(32) << 20;
// No bound: every stream whose length is in doubt is counted.
inline constexpr int64_t kCountAlways = INT64_MAX;

// Reads the audio facts of an MP3 stream with a few reads at known places: skips the ID3v2
// tags that begin at `start`, finds the first frame (past junk, bounded) by a run of frame
// headers that follow on from each other, reads its Xing, Info, LAME or VBRI header, and looks
// at the stream's end for trailers. Where no header counts the frames, a few frames at the
// start, middle and end are sampled: when they agree (one bitrate) the length is estimated from
// the bytes. When they differ, or the header contradicts the file (counts more frames or other
// bytes than it holds, or an average bitrate its frames cannot have), every frame is counted
// (WalkStream's walk) if the audio takes at most `countBound` bytes; otherwise the length is
// estimated and `durationInDoubt` set. `found` is false for a stream that holds no MPEG audio
// near its start. Raises only what the stream raises.
TMpegAudioProperties ReadMpegAudio(TStream& stream, int64_t start = 0,
                                   int64_t countBound = kDefaultCountBound);

// Names for showing: "1", "2", "2.5"; "stereo", "joint stereo", "dual channel", "mono";
// "CBR", "VBR", "ABR", "unknown".
const char* BitrateModeName(TBitrateMode mode);

}  // namespace tagscope
