#pragma once

#include <cstddef>
#include <vector>

namespace tagscope {

// The true peak of each channel as EBU R 128 measures it: the signal oversampled four times
// (twice from 96 kHz, not at all from 192 kHz) by a 49-tap polyphase interpolator with a
// Hann-windowed sinc, exactly as libebur128 computes it. Most of the work is skipped where it
// cannot change the result: a stretch whose samples, times the most any output of the filter
// can gain over its inputs, stay below the peak found so far cannot hold a higher one.
class TTruePeak {
 public:
  TTruePeak(int channels, long sampleRate);
  // Adds interleaved frames.
  void Add(const float* frames, size_t count);
  // The highest absolute value of the oversampled signal so far (0 where nothing is
  // oversampled: the caller takes the sample peak then).
  double Peak(int channel) const { return FPeaks[static_cast<size_t>(channel)]; }

 private:
  struct TTap {
    size_t index;  // samples back from the one filtered
    double coeff;
  };
  void Filter(double& peak, size_t count);

  int FChannels;
  size_t FDelay = 0;                       // samples each output looks back over
  std::vector<std::vector<TTap>> FPhases;  // one subfilter per output of an input sample
  double FGain = 0;                        // the most any subfilter gains: the sum of its |coeffs|
  std::vector<std::vector<double>> FHistory;  // per channel, its last FDelay samples
  std::vector<double> FSamples;               // one channel's history and stretch, in order
  std::vector<double> FSums;
  std::vector<double> FPeaks;
};

}  // namespace tagscope
