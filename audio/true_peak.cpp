#include "audio/true_peak.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>

namespace tagscope {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr unsigned kTaps = 49;
constexpr double kAlmostZero = 0.000001;
// Frames looked at together when deciding whether a stretch can be skipped.
constexpr size_t kStretch = 64;
// Rounding in the filter's sums and in their single-precision result may lift an output a hair
// above the bound; the margin keeps a skipped stretch certain to hold no higher peak.
constexpr double kMargin = 1.0001;

}  // namespace

TTruePeak::TTruePeak(int channels, long sampleRate)
    : FChannels(channels), FPeaks(static_cast<size_t>(channels), 0.0) {
  const unsigned factor = sampleRate < 96000 ? 4 : sampleRate < 192000 ? 2 : 0;
  if (factor == 0) return;
  FDelay = (kTaps + factor - 1) / factor;
  FPhases.resize(factor);
  for (unsigned j = 0; j < kTaps; ++j) {
    const double m = static_cast<double>(j) - (kTaps - 1) / 2.0;
    double c = 1.0;
    if (std::fabs(m) > kAlmostZero) c = std::sin(m * kPi / factor) / (m * kPi / factor);
    c *= 0.5 * (1 - std::cos(2 * kPi * j / (kTaps - 1)));
    if (std::fabs(c) > kAlmostZero) FPhases[j % factor].push_back({j / factor, c});
  }
  for (const auto& phase : FPhases) {
    double gain = 0;
    for (const TTap& tap : phase) gain += std::fabs(tap.coeff);
    FGain = std::max(FGain, gain);
  }
  FHistory.assign(static_cast<size_t>(channels), std::vector<double>(FDelay, 0.0));
  FSamples.resize(FDelay + kStretch);
  FSums.resize(kStretch);
}

// The filter's outputs for the `count` samples that follow the history in FSamples. Each sum
// adds its taps in libebur128's order, so that the peaks are the same to the bit; the sums of
// neighbouring samples are independent, which lets the compiler do several at once.
void TTruePeak::Filter(double& peak, size_t count) {
  const double* x = FSamples.data() + FDelay;
  double* sums = FSums.data();
  for (const auto& phase : FPhases) {
    std::fill(sums, sums + count, 0.0);
    for (const TTap& tap : phase) {
      const double* from = x - tap.index;
      const double c = tap.coeff;
      for (size_t i = 0; i < count; ++i) sums[i] += from[i] * c;
    }
    for (size_t i = 0; i < count; ++i)
      peak = std::max(peak, std::fabs(static_cast<double>(static_cast<float>(sums[i]))));
  }
}

void TTruePeak::Add(const float* frames, size_t count) {
  if (FDelay == 0) return;
  const size_t channels = static_cast<size_t>(FChannels);
  for (size_t from = 0; from < count; from += kStretch) {
    const size_t n = std::min(kStretch, count - from);
    const float* stretch = frames + from * channels;
    for (size_t c = 0; c < channels; ++c) {
      // The stretch's outputs come from its samples and the history's.
      std::vector<double>& history = FHistory[c];
      std::copy(history.begin(), history.end(), FSamples.begin());
      double most = 0;
      for (double v : history) most = std::max(most, std::fabs(v));
      for (size_t i = 0; i < n; ++i) {
        const double v = stretch[i * channels + c];
        FSamples[FDelay + i] = v;
        most = std::max(most, std::fabs(v));
      }
      if (most * FGain * kMargin >= FPeaks[c]) Filter(FPeaks[c], n);
      std::copy(FSamples.begin() + static_cast<std::ptrdiff_t>(n),
                FSamples.begin() + static_cast<std::ptrdiff_t>(n + FDelay), history.begin());
    }
  }
}

}  // namespace tagscope
