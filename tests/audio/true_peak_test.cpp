// TTruePeak against libebur128's own true peak, which it must equal to the bit while skipping
// the stretches that cannot raise it.
#include "audio/true_peak.h"

#include <ebur128.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace tagscope {
namespace {

constexpr double kPi = std::numbers::pi;
struct TPeakCase {
  const char* name;
  int channels;
  long rate;
};

class TruePeakTest : public ::testing::TestWithParam<TPeakCase> {};

// Noise under a swell with sudden loud bursts, and a tone whose peaks fall between samples: the
// running peak rises late and often, so stretches are both skipped and computed.
std::vector<float> Signal(int channels, long rate) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
  const size_t frames = static_cast<size_t>(rate) * 3;
  std::vector<float> samples(frames * static_cast<size_t>(channels));
  for (size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rate;
    const double swell = 0.2 + 0.3 * std::fabs(std::sin(t * 2));
    const bool burst = (i / 4000) % 7 == 3;
    for (int c = 0; c < channels; ++c) {
      const double tone = 0.9 * std::sin(2 * kPi * rate / 4.0 * t + kPi / 4 + c);
      samples[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] = static_cast<float>(
          i > frames / 2 ? tone * (1 + c * 0.1) : noise(random) * swell * (burst ? 3 : 1));
    }
  }
  return samples;
}

TEST_P(TruePeakTest, EqualsLibebur128ToTheBit) {
  const TPeakCase& p = GetParam();
  const std::vector<float> samples = Signal(p.channels, p.rate);
  const size_t frames = samples.size() / static_cast<size_t>(p.channels);
  TTruePeak ours(p.channels, p.rate);
  ebur128_state* theirs = ebur128_init(static_cast<unsigned>(p.channels),
                                       static_cast<unsigned long>(p.rate), EBUR128_MODE_TRUE_PEAK);
  ASSERT_NE(theirs, nullptr);
  // In pieces of odd sizes, as a decoder hands them over.
  for (size_t at = 0, piece = 1; at < frames; at += piece, piece = piece * 7 % 1153 + 1) {
    const size_t n = std::min(piece, frames - at);
    const float* from = samples.data() + at * static_cast<size_t>(p.channels);
    ours.Add(from, n);
    ebur128_add_frames_float(theirs, from, n);
  }
  for (int c = 0; c < p.channels; ++c) {
    double truePeak = 0, samplePeak = 0;
    ebur128_true_peak(theirs, static_cast<unsigned>(c), &truePeak);
    ebur128_sample_peak(theirs, static_cast<unsigned>(c), &samplePeak);
    EXPECT_EQ(std::max(ours.Peak(c), samplePeak), truePeak) << "channel " << c;
  }
  ebur128_destroy(&theirs);
}

INSTANTIATE_TEST_SUITE_P(Rates, TruePeakTest,
                         ::testing::Values(TPeakCase{"stereo44k", 2, 44100},
                                           TPeakCase{"mono8k", 1, 8000},
                                           TPeakCase{"stereo96k", 2, 96000},
                                           TPeakCase{"mono192k", 1, 192000}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tagscope
