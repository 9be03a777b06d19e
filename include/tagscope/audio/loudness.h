#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "tagscope/rtl/stream.h"

namespace tagscope {

// The loudness of one stretch of audio as ReplayGain 2.0 reports it.
struct TLoudnessResult {
  // Integrated loudness in LUFS; -infinity for digital silence (or audio too short to gate).
  double Loudness = 0;
  double Range = 0;       // loudness range in LU
  double TruePeak = 0;    // the highest true peak over the channels, 1.0 being full scale
  double SamplePeak = 0;  // the highest sample, 1.0 being full scale (may exceed it)
  int64_t Frames = 0;     // samples per channel decoded
  int Channels = 0;
  long SampleRate = 0;

  // No loudness could be measured: nothing but digital silence, or no audio at all.
  bool Silent() const;
};

// The ReplayGain 2.0 reference: gains bring the loudness to this level.
inline constexpr double kReplayGainReference = -18.0;
// The gain in dB that brings `loudness` (LUFS) to the reference.
inline double ReplayGainOf(double loudness) {
  return kReplayGainReference - loudness;
}

// Measures the loudness of MPEG audio (layers 1, 2 and 3): the frames are decoded to floating
// point, peaks above full scale kept, and measured as EBU R 128 defines integrated loudness,
// loudness range and true peak. The bytes are handed in, in order, by the caller; nothing is
// opened here. An encoder's delay and padding recorded in the stream are left out of the
// measure. A stream whose sample rate or channels change part-way is refused.
class TLoudness {
 public:
  TLoudness();
  ~TLoudness();
  TLoudness(TLoudness&&) noexcept;
  TLoudness& operator=(TLoudness&&) noexcept;
  TLoudness(const TLoudness&) = delete;
  TLoudness& operator=(const TLoudness&) = delete;

  // Hands in the next bytes of the stream and measures the audio they complete. Raises
  // EConvertError for a stream that cannot be measured (its format changes, the decoder fails).
  void Feed(std::string_view bytes);
  // Feeds `count` bytes of `stream` from `offset` (to its end for -1), read in pieces.
  void FeedStream(TStream& stream, int64_t offset = 0, int64_t count = -1);
  // The measure of everything fed so far: the last frames are decoded first. Once only: the
  // decoder is let go, and a later Feed or Finish raises EConvertError. Raises EConvertError
  // when the bytes held no MPEG audio frame at all.
  TLoudnessResult Finish();

  // The loudness (LUFS) and range (LU) of several measures taken as one programme, as an album
  // is: each measure must have been finished. -infinity when all of them are silent.
  static double AlbumLoudness(const std::vector<const TLoudness*>& tracks);
  static double AlbumRange(const std::vector<const TLoudness*>& tracks);

 private:
  struct TState;
  std::unique_ptr<TState> d;
};

}  // namespace tagscope
