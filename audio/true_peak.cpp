#include "audio/true_peak.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tagscope {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr unsigned kTaps = 49;
constexpr double kAlmostZero = 0.000001;
// Frames looked at together when deciding whether a stretch can be skipped.
constexpr size_t kStretch = 256;
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
  FHistory.assign(static_cast<size_t>(channels), std::vector<float>(FDelay, 0.0f));
}

// Runs one channel's samples of a stretch through its ring; with `compute`, also through the
// filter, in the order of libebur128's sums so that the peaks are the same to the bit.
void TTruePeak::Channel(int channel, const float* frames, size_t count, bool compute) {
  std::vector<float>& z = FHistory[static_cast<size_t>(channel)];
  double& peak = FPeaks[static_cast<size_t>(channel)];
  unsigned at = FAt;
  for (size_t i = 0; i < count; ++i) {
    z[at] = frames[i * static_cast<size_t>(FChannels) + static_cast<size_t>(channel)];
    if (compute) {
      for (const auto& phase : FPhases) {
        double acc = 0;
        for (const TTap& tap : phase) {
          int k = static_cast<int>(at) - static_cast<int>(tap.index);
          if (k < 0) k += static_cast<int>(FDelay);
          acc += static_cast<double>(z[static_cast<size_t>(k)]) * tap.coeff;
        }
        const double out = std::fabs(static_cast<double>(static_cast<float>(acc)));
        if (out > peak) peak = out;
      }
    }
    if (++at == FDelay) at = 0;
  }
}

void TTruePeak::Add(const float* frames, size_t count) {
  if (FDelay == 0) return;
  for (size_t from = 0; from < count; from += kStretch) {
    const size_t n = std::min(kStretch, count - from);
    const float* stretch = frames + from * static_cast<size_t>(FChannels);
    for (int c = 0; c < FChannels; ++c) {
      // The outputs of the stretch come from its samples and the ring's.
      float most = 0;
      for (float v : FHistory[static_cast<size_t>(c)]) most = std::max(most, std::fabs(v));
      for (size_t i = 0; i < n; ++i)
        most = std::max(
            most, std::fabs(stretch[i * static_cast<size_t>(FChannels) + static_cast<size_t>(c)]));
      const bool compute = most * FGain * kMargin >= FPeaks[static_cast<size_t>(c)];
      Channel(c, stretch, n, compute);
    }
    FAt = static_cast<unsigned>((FAt + n) % FDelay);
  }
}

}  // namespace tagscope
