// TLoudness on MPEG audio that ffmpeg encodes from tones of known level. The expected loudness
// follows from the definition: a 997 Hz sine of amplitude A in one channel measures
// 20 log10(A) - 3.01 LUFS, the same in two channels 20 log10(A).
#include "tagscope/audio/loudness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "tagscope/rtl/exception.h"

namespace tagscope {
namespace {

// Raw MPEG audio bytes from ffmpeg's output for a source expression; empty without ffmpeg.
std::string Encode(const std::string& source, const std::string& codec) {
  const std::string command = std::string(TAGSCOPE_FFMPEG) +
                              " -nostdin -loglevel error -f lavfi -i \"" + source + "\" " + codec +
                              " -f " + (codec.find("mp2") != std::string::npos ? "mp2" : "mp3") +
                              " -";
  std::string bytes;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return bytes;
  char buffer[65536];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) bytes.append(buffer, n);
  pclose(pipe);
  return bytes;
}

// A 997 Hz sine of `dbfs` in each of `channels` channels.
std::string Tone(double dbfs, int channels, int rate, double seconds) {
  const std::string wave = "(" + std::to_string(std::pow(10.0, dbfs / 20)) + ")*sin(2*PI*997*t)";
  return "aevalsrc=" + wave + (channels == 2 ? "|" + wave : "") + ":s=" + std::to_string(rate) +
         ":d=" + std::to_string(seconds);
}

TLoudnessResult Measure(const std::string& bytes) {
  TLoudness loudness;
  loudness.Feed(bytes);
  return loudness.Finish();
}

#define NEED(bytes) \
  if ((bytes).empty()) GTEST_SKIP() << "ffmpeg cannot encode here"

struct TToneCase {
  const char* name;
  double dbfs;
  int channels;
  int rate;
  const char* codec;
};

class ToneTest : public ::testing::TestWithParam<TToneCase> {};

TEST_P(ToneTest, MeasuresTheDefinedLoudnessAndPeak) {
  const TToneCase& c = GetParam();
  const std::string bytes = Encode(Tone(c.dbfs, c.channels, c.rate, 6), c.codec);
  NEED(bytes);
  const TLoudnessResult r = Measure(bytes);
  const double expected = c.dbfs - (c.channels == 1 ? 10 * std::log10(2.0) : 0);
  EXPECT_NEAR(r.Loudness, expected, 0.05);
  EXPECT_NEAR(r.Range, 0, 0.05);
  const double amplitude = std::pow(10.0, c.dbfs / 20);
  EXPECT_NEAR(r.SamplePeak, amplitude, amplitude * 0.005);
  EXPECT_GE(r.TruePeak, r.SamplePeak);
  EXPECT_NEAR(r.TruePeak, amplitude, amplitude * 0.005);
  EXPECT_EQ(r.Channels, c.channels);
  EXPECT_EQ(r.SampleRate, c.rate);
  // The encoder's delay and padding are not audio: exactly the samples of the tone.
  if (std::string(c.codec).find("mp3") != std::string::npos) EXPECT_EQ(r.Frames, 6 * c.rate);
}

INSTANTIATE_TEST_SUITE_P(
    Tones, ToneTest,
    ::testing::Values(TToneCase{"stereo44k", -20, 2, 44100, "-c:a libmp3lame -b:a 320k"},
                      TToneCase{"mono48k", -10, 1, 48000, "-c:a libmp3lame -b:a 192k"},
                      TToneCase{"stereo22k", -6, 2, 22050, "-c:a libmp3lame -b:a 160k"},
                      TToneCase{"layer2", -15, 2, 48000, "-c:a mp2 -b:a 384k"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LoudnessTest, PiecesOfAnySizeMeasureAsTheWhole) {
  const std::string bytes = Encode(Tone(-12, 2, 44100, 3), "-c:a libmp3lame -q:a 2");
  NEED(bytes);
  TLoudness pieces;
  for (size_t at = 0; at < bytes.size(); at += 7) pieces.Feed(bytes.substr(at, 7));
  const TLoudnessResult a = pieces.Finish(), b = Measure(bytes);
  EXPECT_EQ(a.Loudness, b.Loudness);
  EXPECT_EQ(a.TruePeak, b.TruePeak);
  EXPECT_EQ(a.Frames, b.Frames);
  TMemoryStream stream(bytes);
  TLoudness fromStream;
  fromStream.FeedStream(stream);
  EXPECT_EQ(fromStream.Finish().Loudness, b.Loudness);
}

TEST(LoudnessTest, PeaksAboveFullScaleAreKept) {
  const std::string bytes = Encode(Tone(3, 2, 44100, 3), "-c:a libmp3lame -b:a 320k");
  NEED(bytes);
  const TLoudnessResult r = Measure(bytes);
  EXPECT_NEAR(r.SamplePeak, std::pow(10.0, 3.0 / 20), 0.01);
  EXPECT_NEAR(r.Loudness, 3, 0.05);
}

TEST(LoudnessTest, SilenceHasNoLoudness) {
  const std::string bytes = Encode("anullsrc=r=44100:cl=stereo:d=4", "-c:a libmp3lame");
  NEED(bytes);
  const TLoudnessResult r = Measure(bytes);
  EXPECT_TRUE(r.Silent());
  EXPECT_EQ(r.TruePeak, 0);
  EXPECT_EQ(r.Frames, 4 * 44100);
}

TEST(LoudnessTest, AlbumIsOneProgrammeOfItsTracks) {
  const std::string loud = Encode(Tone(-20, 2, 44100, 5), "-c:a libmp3lame -b:a 320k");
  const std::string quiet = Encode(Tone(-30, 2, 44100, 5), "-c:a libmp3lame -b:a 320k");
  const std::string silent = Encode("anullsrc=r=44100:cl=stereo:d=5", "-c:a libmp3lame");
  NEED(loud);
  TLoudness a, b, c;
  a.Feed(loud);
  b.Feed(quiet);
  c.Feed(silent);
  a.Finish();
  b.Finish();
  c.Finish();
  // Both tones pass the relative gate: their mean energy; silence is gated out entirely.
  const double expected = 10 * std::log10((std::pow(10.0, -2.0) + std::pow(10.0, -3.0)) / 2);
  EXPECT_NEAR(TLoudness::AlbumLoudness({&a, &b, &c}), expected, 0.05);
  EXPECT_NEAR(TLoudness::AlbumRange({&a, &b}), 10, 0.2);
  EXPECT_TRUE(std::isinf(TLoudness::AlbumLoudness({&c})));
}

TEST(LoudnessTest, RefusesWhatItCannotMeasure) {
  TLoudness junk;
  junk.Feed(std::string(5000, 'x'));
  EXPECT_THROW(junk.Finish(), EConvertError);
  TLoudness nothing;
  EXPECT_THROW(nothing.Finish(), EConvertError);
  // A stream whose sample rate changes part-way is no one programme.
  const std::string a = Encode(Tone(-20, 2, 44100, 1), "-c:a libmp3lame -write_xing 0");
  const std::string b = Encode(Tone(-20, 2, 48000, 1), "-c:a libmp3lame -write_xing 0");
  NEED(a);
  TLoudness changing;
  EXPECT_THROW(
      {
        changing.Feed(a + b);
        changing.Finish();
      },
      EConvertError);
}

}  // namespace
}  // namespace tagscope
