#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tagscope/rtl/stream.h"

namespace tagscope {

class TID3Engine;
struct TMpegAudioProperties;
struct TTrailerTags;

// How bad a finding is: damage a player meets (skips, wrong lengths, noise), or a note for what
// is legal but unusual.
enum class TStreamSeverity { ssNote, ssDamage };

enum class TStreamFindingKind {
  sfNoAudio,            // no run of MPEG frames anywhere
  sfJunk,               // bytes between frames (or before the first) that are no frame
  sfTruncatedFrame,     // the last frame runs past the audio's end
  sfGarbageAfterAudio,  // bytes after the last frame, before the blocks behind the audio
  sfMixedStream,        // frames of another version, layer or sample rate
  sfVbrWithoutHeader,   // the bitrate varies and no Xing or VBRI header counts the frames
  sfHeaderFrameCount,   // the Xing, Info or VBRI header counts other frames than the stream has
  sfHeaderByteCount,    // ... or other bytes
  sfMidStreamID3v2,     // an ID3v2 tag inside the audio
  sfSecondID3v1,        // an ID3v1 trailer before the one at the end
  sfDamagedTrailer,     // an APEv2 tag or Lyrics3 block behind the audio whose bounds fail
  sfMoreFindings,       // findings past the most a report lists, counted only
  sfLameCrc,            // the LAME extension's checksum does not match the frame it is in
  sfFrameCrc,           // a Layer III frame's checksum does not match its side information
};

struct TStreamFinding {
  int64_t offset = 0;  // in the file
  int64_t length = 0;  // bytes concerned; 0 where the finding has no extent
  TStreamFindingKind kind = TStreamFindingKind::sfJunk;
  TStreamSeverity severity = TStreamSeverity::ssDamage;
  std::string text;  // what was found, in words ("junk between frames (123 bytes)")
};

// What a walk over every frame header of an MP3 stream found.
struct TStreamReport {
  int64_t audioStart = 0;   // after the ID3v2 tags at the start
  int64_t audioEnd = 0;     // where the blocks behind the audio begin, or the file's end
  int64_t firstFrame = -1;  // the first frame's offset; -1 when none was found
  int64_t frames = 0;       // audio frames (a Xing, Info or VBRI header's frame not counted)
  int64_t audioBytes = 0;   // bytes of every frame, a header's frame included
  double duration = 0;      // seconds: each frame's samples over its rate, summed
  std::string vbrHeader;    // "Xing", "Info", "VBRI", or empty
  std::vector<TStreamFinding> findings;  // in the order of their offsets

  bool Damaged() const {
    for (const TStreamFinding& f : findings)
      if (f.severity == TStreamSeverity::ssDamage) return true;
    return false;
  }
};

// Walks every MPEG frame header from the end of the ID3v2 tags that begin at `start` to the
// blocks behind the audio (APEv2, Lyrics3, ID3v1, as located and proven from the end), without
// decoding: counts the frames, bytes and length, and notes junk, lost sync (taken up again only
// where three frame headers follow on from each other), frames of another stream, a last frame
// cut short, garbage after the audio, a VBR header that contradicts the stream, or a VBR stream
// without one, a LAME extension or Layer III frames whose checksums are wrong, ID3v2 tags inside
// the audio, a second ID3v1 trailer, and damaged trailer blocks.
// Reads the stream forward in large blocks, each byte looked at a bounded number of times;
// raises only what the stream raises.
TStreamReport WalkStream(TStream& stream, int64_t start = 0);

// The findings that need no walk over the whole stream, from what a look at the file's start
// and end learns: a VBR header whose counts the file cannot hold (the audio facts), a damaged
// APEv2 tag or Lyrics3 block and a second ID3v1 trailer (the blocks behind the audio). Each is
// reported as WalkStream reports it, at the same offset; the walk finds these and more. Reads
// at most the three bytes below the ID3v1 trailer of the engine's open file; nothing while it
// is inactive.
std::vector<TStreamFinding> QuickStreamFindings(TID3Engine& engine,
                                                const TMpegAudioProperties& audio,
                                                const TTrailerTags& trailers);

// A short name for each kind, for JSON: "junk", "truncated-frame", ...
const char* StreamFindingKindName(TStreamFindingKind kind);
// "damage" or "note".
const char* StreamSeverityName(TStreamSeverity severity);

}  // namespace tagscope
