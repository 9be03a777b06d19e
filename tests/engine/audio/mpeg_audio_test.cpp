// Audio facts of streams no encoder at hand writes: VBRI headers, a Xing header behind a frame
// checksum, stacked tags, streams cut short, free-format frames, Lyrics3 version 1. The common
// streams are checked against another reader in the tool's tests.
#include <gtest/gtest.h>

#include <string>

#include "tagscope/engine/id3_engine.h"
#include "tagscope/engine/mpeg_audio.h"
#include "tests/engine/tag_builder.h"

namespace tagscope {
namespace {

// MPEG-1 layer III, 128 kbit/s, 44.1 kHz, joint stereo: 417 bytes a frame.
constexpr char kHeader[] = "\xFF\xFB\x90\x64";
constexpr int kFrame = 417;

std::string Frame(std::string header = kHeader) {
  return header + std::string(kFrame - 4, '\0');
}

std::string Frames(int count) {
  std::string s;
  for (int i = 0; i < count; ++i) s += Frame();
  return s;
}

std::string Be32(uint32_t v) {
  return test::Plain4(v);
}
std::string Le32(uint32_t v) {
  return test::Little4(v);
}
// A version 4 tag of the body, without padding.
std::string Id3(const std::string& body) {
  return test::Tag(4, 0, body);
}

TMpegAudioProperties Read(const std::string& bytes) {
  TMemoryStream stream(bytes);
  return ReadMpegAudio(stream);
}

TEST(MpegAudio, VbriHeaderGivesFramesAndAverageBitrate) {
  std::string first = Frame();
  first.replace(36, 18, "VBRI" + std::string("\0\1\2\0\0\x4B", 6) + Be32(100 * kFrame) + Be32(99));
  const TMpegAudioProperties p = Read(first + Frames(99));
  ASSERT_TRUE(p.found);
  EXPECT_EQ(p.vbrHeader, "VBRI");
  EXPECT_EQ(p.bitrateMode, TBitrateMode::bmVBR);
  EXPECT_EQ(p.frameCount, 99);
  EXPECT_NEAR(p.duration, 99 * 1152 / 44100.0, 1e-9);
  EXPECT_EQ(p.encoderDelay, -1);  // VBRI's delay is not the LAME extension's
}

TEST(MpegAudio, XingHeaderAfterAFrameChecksum) {
  // Protection bit clear: two checksum bytes, then 32 bytes of side information.
  std::string first = Frame("\xFF\xFA\x90\x64");
  first.replace(38, 16, "Info" + Be32(3) + Be32(50) + Be32(50 * kFrame));
  const TMpegAudioProperties p = Read(first + Frames(50));
  EXPECT_EQ(p.vbrHeader, "Info");
  EXPECT_EQ(p.bitrateMode, TBitrateMode::bmCBR);
  EXPECT_EQ(p.frameCount, 50);
  EXPECT_EQ(p.bitrate, 128000);
}

TEST(MpegAudio, HeaderCountsTheFileCannotHoldAreNotTakenForItsLength) {
  // A 2 KB file whose Xing header counts hours of frames, or more bytes than the file has: its
  // frames are counted instead, and the reason kept.
  std::string frames = Frame();
  frames.replace(36, 16, "Xing" + Be32(3) + Be32(4'000'000) + Be32(5 * kFrame));
  TMpegAudioProperties p = Read(frames + Frames(4));
  EXPECT_EQ(p.durationSource, TDurationSource::dsCount);
  EXPECT_EQ(p.frameCount, 4);
  EXPECT_LT(p.duration, 1.0);
  EXPECT_EQ(p.vbrHeaderProblem,
            "the Xing header counts 4000000 frames, more than the 1668 bytes of audio can hold");
  frames.replace(44, 8, Be32(4) + Be32(1'000'000));
  p = Read(frames + Frames(4));
  EXPECT_EQ(p.frameCount, 4);
  EXPECT_EQ(p.vbrHeaderProblem, "the Xing header counts 1000000 bytes, more than the file's 2085");
  // Frames the audio could hold at a lower bitrate than its frames have: counted too.
  frames.replace(44, 8, Be32(16) + Be32(5 * kFrame));
  p = Read(frames + Frames(4));
  EXPECT_EQ(p.durationSource, TDurationSource::dsCount);
  EXPECT_EQ(p.frameCount, 4);
  EXPECT_EQ(p.vbrHeaderProblem,
            "the Xing header counts 16 frames, an average of 32 kbit/s for frames of 128 to 128 "
            "kbit/s");
  frames.replace(44, 4, Be32(4));
  EXPECT_EQ(Read(frames + Frames(4)).durationSource, TDurationSource::dsHeader);
}

// 256 kbit/s, 44.1 kHz: 835 bytes a frame.
constexpr char kLoud[] = "\xFF\xFB\xD0\x64";
constexpr int kLoudFrame = 835;

std::string LoudFrames(int count) {
  std::string s;
  for (int i = 0; i < count; ++i) s += kLoud + std::string(kLoudFrame - 4, '\0');
  return s;
}

std::string XingFrame(uint32_t frames, uint32_t bytes) {
  std::string first = Frame();
  first.replace(36, 16, "Xing" + Be32(3) + Be32(frames) + Be32(bytes));
  return first;
}

struct TLengthCase {
  const char* name;
  std::string bytes;
  int64_t countBound;
  TDurationSource source;
  int64_t frames;  // -1: estimated
  bool inDoubt;
};

class Lengths : public testing::TestWithParam<TLengthCase> {};

// Streams whose first frames say little about the rest: 200 loud frames, then 300 quiet ones,
// and the same behind Xing headers that count more frames or bytes than there are.
INSTANTIATE_TEST_SUITE_P(
    MpegAudio, Lengths,
    testing::Values(
        TLengthCase{"VbrWithoutHeader", LoudFrames(200) + Frames(300), kDefaultCountBound,
                    TDurationSource::dsCount, 500, false},
        TLengthCase{"VbrPastTheBound", LoudFrames(200) + Frames(300), 100'000,
                    TDurationSource::dsEstimate, -1, true},
        TLengthCase{"CbrKeepsItsEstimate", Frames(500), kDefaultCountBound,
                    TDurationSource::dsEstimate, -1, false},
        TLengthCase{
            "HeaderCountsTooManyFrames",
            XingFrame(1000, 200 * kLoudFrame + 301 * kFrame) + LoudFrames(200) + Frames(300),
            kDefaultCountBound, TDurationSource::dsCount, 500, false},
        TLengthCase{"HeaderOfAFileCutShort",
                    XingFrame(800, 200 * kLoudFrame + 601 * kFrame) + LoudFrames(200) + Frames(300),
                    kDefaultCountBound, TDurationSource::dsCount, 500, false},
        TLengthCase{"HeaderThatAgrees",
                    XingFrame(500, 200 * kLoudFrame + 301 * kFrame) + LoudFrames(200) + Frames(300),
                    0, TDurationSource::dsHeader, 500, false}),
    [](const testing::TestParamInfo<TLengthCase>& info) { return info.param.name; });

TEST_P(Lengths, AreCountedWhereTheEstimateIsInDoubt) {
  const TLengthCase& c = GetParam();
  TMemoryStream stream(Id3(std::string(100, '\0')) + c.bytes);
  const TMpegAudioProperties p = ReadMpegAudio(stream, 0, c.countBound);
  EXPECT_EQ(p.durationSource, c.source);
  EXPECT_EQ(p.frameCount, c.frames);
  EXPECT_EQ(p.durationInDoubt, c.inDoubt);
  if (c.frames > 0) {
    EXPECT_NEAR(p.duration, c.frames * 1152 / 44100.0, 1e-9);
  }
  // Counted or not, the length is not the first frames' estimate (200 frames' worth short).
  if (c.source != TDurationSource::dsEstimate || c.inDoubt) {
    EXPECT_GT(p.duration, 400 * 1152 / 44100.0);
  }
}

TEST(MpegAudio, StackedTagsAndJunkAreSkipped) {
  const std::string tags = Id3(std::string(300, '\0')) + Id3(std::string(20, 'x'));
  // Syncs that lead nowhere, and one frame header not followed by another.
  const std::string junk = std::string("\xFF\xFB\xFF\xE0\x12", 5) + Frame().substr(0, 200);
  const TMpegAudioProperties p = Read(tags + junk + Frames(6));
  ASSERT_TRUE(p.found);
  EXPECT_EQ(p.firstFrameOffset, static_cast<int64_t>(tags.size() + junk.size()));
  EXPECT_EQ(p.durationSource, TDurationSource::dsCount);
  EXPECT_EQ(p.frameCount, 6);
}

TEST(MpegAudio, ShortAndBrokenStreams) {
  // Two frames that end with the stream count; a lone frame header followed by junk does not.
  EXPECT_EQ(Read(Frames(2)).frameCount, 2);
  EXPECT_FALSE(Read(Frame() + std::string(600, 'j')).found);
  // Free-format frames (bitrate index 0) have no length to follow.
  std::string free;
  for (int i = 0; i < 5; ++i) free += Frame(std::string("\xFF\xFB\x00\x64", 4));
  EXPECT_FALSE(Read(free).found);
  EXPECT_FALSE(Read("").found);
  EXPECT_FALSE(Read(Id3("") + std::string(3, '\xFF')).found);
  // A stream cut inside its last frames: estimated from the bytes there are.
  const TMpegAudioProperties cut = Read(Frames(60).substr(0, 59 * kFrame + 100));
  EXPECT_EQ(cut.bitrateMode, TBitrateMode::bmCBR);
  EXPECT_NEAR(cut.duration, (59 * kFrame + 100) * 8 / 128000.0, 1e-9);
}

TEST(MpegAudio, TrailersInEitherOrder) {
  const std::string v1 = "TAG" + std::string(125, ' ');
  const std::string lyrics1 = "LYRICSBEGINsome words LYRICSEND";
  // Version 2000, 32 bytes (the footer alone), no items, no header.
  const std::string apeFooter =
      "APETAGEX" + Le32(2000) + Le32(32) + Le32(0) + Le32(0) + std::string(8, '\0');
  for (const std::string& tail : {apeFooter + lyrics1 + v1, lyrics1 + apeFooter + v1}) {
    const TMpegAudioProperties p = Read(Frames(5) + tail);
    EXPECT_TRUE(p.apeTag && p.lyrics3 && p.id3v1);
    EXPECT_EQ(p.audioEnd, 5 * kFrame);
    EXPECT_EQ(p.frameCount, 5);
  }
  // An APE size that reaches before the audio is not a tag.
  std::string wild = apeFooter;
  wild.replace(12, 4, Le32(0x7FFFFFFF));
  EXPECT_FALSE(Read(Frames(5) + wild).apeTag);
}

// The engine reads the audio facts through the bytes its read of the tag fetched: they must be
// the file's own, whether the tag fits the first read or not, and after a write the new file's.
TEST(MpegAudio, EngineReadsTheFileItHolds) {
  const std::string frame = std::string("TXXX") + Be32(100001) + std::string(2, '\0');
  for (const size_t payload : {size_t(0), size_t(100000)}) {
    std::string tag = Id3(frame + '\0' + std::string(payload, 'p') + std::string(100, '\0'));
    if (payload == 0) tag = Id3(std::string(50, '\0'));
    const std::string bytes = tag + Frames(300) + "TAG" + std::string(125, ' ');
    const test::ScopedFile file(bytes);
    TID3Engine engine;
    engine.SetFileName(file.Name());
    engine.SetReadOnly(true);
    engine.SetActive(true);
    const TMpegAudioProperties p = engine.ReadAudio();
    EXPECT_EQ(p.firstFrameOffset, static_cast<int64_t>(tag.size()));
    EXPECT_EQ(p.frameCount, Read(bytes).frameCount);
    EXPECT_TRUE(p.id3v1);
    EXPECT_EQ(engine.ReadFileBytes(0, 4), std::string("ID3\x04"));
    EXPECT_EQ(engine.ReadFileBytes(static_cast<int64_t>(bytes.size()) - 3, 10), "   ");
    EXPECT_EQ(engine.ReadFileBytes(static_cast<int64_t>(bytes.size()), 10), "");

    engine.SetActive(false);
    EXPECT_FALSE(engine.ReadAudio().found);
    engine.SetReadOnly(false);
    engine.SetActive(true);
    engine.SetTitleUtf8(std::string(2000, 't'));
    engine.WriteTag();
    EXPECT_EQ(engine.ReadAudio().firstFrameOffset, engine.Status().place.size);
    EXPECT_GT(engine.Status().place.size, static_cast<int64_t>(tag.size()));
    EXPECT_EQ(engine.ReadFileBytes(engine.Status().place.size, 4), std::string(kHeader));
    engine.SetActive(false);
  }
}

}  // namespace
}  // namespace tagscope
