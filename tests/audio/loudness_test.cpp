// TLoudness on MPEG audio that ffmpeg encodes from tones of known level, against ffmpeg's own
// measure of the same bytes and against the definition: a 997 Hz sine of amplitude A in one
// channel measures 20 log10(A) - 3.01 LUFS, the same in two channels 20 log10(A). The encoder
// does not keep a pure tone's level exactly (a few tenths of a dB), so the definition is held
// to a looser bound: it catches a channel weighed wrong (3 dB) or a level misread.
#include "tagscope/audio/loudness.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>

#include "tagscope/rtl/exception.h"

namespace tagscope {
namespace {

// Runs a command and gives what it printed on stdout.
std::string Output(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[65536];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  pclose(pipe);
  return out;
}

// A file ffmpeg encodes from a source expression, in the test's own folder (a file, not a pipe:
// the encoder's delay and padding go into the Info frame only when the output can be rewound).
std::string EncodeFile(const std::string& source, const std::string& codec) {
  static int count = 0;
  const std::string path =
      (std::filesystem::temp_directory_path() /
       ("tagscope-loudness-" + std::to_string(getpid()) + "-" + std::to_string(++count) + ".mp3"))
          .string();
  std::system((std::string(TAGSCOPE_FFMPEG) + " -nostdin -loglevel error -y -f lavfi -i \"" +
               source + "\" " + codec + " -f " +
               (codec.find("mp2") != std::string::npos ? "mp2 " : "mp3 ") + path)
                  .c_str());
  return path;
}

// Its bytes, the file removed; empty where ffmpeg could not make it.
std::string Encode(const std::string& source, const std::string& codec) {
  const std::string path = EncodeFile(source, codec);
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::filesystem::remove(path);
  return bytes;
}

// ffmpeg's own measure of the same bytes (loudness LUFS, true peak), to three decimals.
std::pair<double, double> FfmpegMeasure(const std::string& bytes) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("tagscope-loudness-" + std::to_string(getpid()) + "-m.mp3"))
                               .string();
  std::ofstream(path, std::ios::binary) << bytes;
  const std::string out =
      Output(std::string(TAGSCOPE_FFMPEG) + " -nostdin -loglevel error -i " + path +
             " -af ebur128=metadata=1:peak=true,ametadata=print:file=- -f null -");
  std::filesystem::remove(path);
  const auto last = [&](const std::string& key) {
    const size_t at = out.rfind(key);
    return at == std::string::npos ? NAN : std::atof(out.c_str() + at + key.size());
  };
  return {last("lavfi.r128.I="), last("lavfi.r128.true_peak=")};
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
  const auto [loudness, truePeak] = FfmpegMeasure(bytes);
  EXPECT_NEAR(r.Loudness, loudness, 0.05);
  EXPECT_NEAR(r.TruePeak, truePeak, truePeak * 0.005);
  const double expected = c.dbfs - (c.channels == 1 ? 10 * std::log10(2.0) : 0);
  EXPECT_NEAR(r.Loudness, expected, 0.5);
  EXPECT_NEAR(r.Range, 0, 0.1);
  EXPECT_GE(r.TruePeak, r.SamplePeak);
  EXPECT_EQ(r.Channels, c.channels);
  EXPECT_EQ(r.SampleRate, c.rate);
  // The encoder's delay and padding are not audio: exactly the samples of the tone.
  if (std::string(c.codec).find("mp3") != std::string::npos) {
    EXPECT_EQ(r.Frames, 6 * c.rate);
  }
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
  const double la = a.Finish().Loudness, lb = b.Finish().Loudness;
  c.Finish();
  // Both tones, of one length, pass the relative gate: the mean of their energies; silence is
  // gated out entirely.
  const double expected = 10 * std::log10((std::pow(10.0, la / 10) + std::pow(10.0, lb / 10)) / 2);
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
