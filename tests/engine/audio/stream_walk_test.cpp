// The walk over every frame of a stream, on damaged files made from the frames of a real MP3:
// each damage is found at its byte offset, and a clean file has no finding.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tagscope/engine/mpeg_audio.h"
#include "tagscope/engine/stream_report.h"
#include "tagscope/rtl/file_stream.h"
#include "tests/engine/tag_builder.h"

namespace tagscope {
namespace {

using Kind = TStreamFindingKind;

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

// The audio frames of the example file: MPEG-1 layer III, 128 kbit/s, 44.1 kHz, real audio
// (bytes of 0xFF and all) after each header.
std::vector<std::string> ExampleFrames() {
  TFileStream in(std::string(TAGSCOPE_TEST_DATA) + "/../../examples/example.mp3",
                 TFileMode::fmOpenRead);
  const std::string file = in.ReadString(in.Size());
  std::vector<std::string> frames;
  for (size_t pos = file.find("\xFF\xFB"); pos + 4 <= file.size();) {
    TMpegFrameHeader h;
    const auto bits = static_cast<uint32_t>(
        static_cast<uint8_t>(file[pos]) << 24 | static_cast<uint8_t>(file[pos + 1]) << 16 |
        static_cast<uint8_t>(file[pos + 2]) << 8 | static_cast<uint8_t>(file[pos + 3]));
    if (!ParseMpegFrameHeader(bits, h) || pos + h.frameLength > file.size()) break;
    frames.push_back(file.substr(pos, h.frameLength));
    pos += h.frameLength;
  }
  return frames;
}

// n frames, the example's taken in turn; each one's offset in `offsets` when asked.
std::string Audio(int n, std::vector<int64_t>* offsets = nullptr) {
  static const std::vector<std::string> frames = ExampleFrames();
  std::string audio;
  for (int i = 0; i < n; ++i) {
    if (offsets) offsets->push_back(static_cast<int64_t>(audio.size()));
    audio += frames[i % frames.size()];
  }
  return audio;
}

// A frame of zeros behind a header: MPEG-1 layer III 44.1 kHz joint stereo at `rateBits`
// (0x90: 128 kbit/s, 417 bytes; 0xA0: 160 kbit/s, 522 bytes), or the header given.
std::string ZeroFrame(const std::string& header, int length) {
  return header + std::string(length - 4, '\0');
}
const std::string k160 = ZeroFrame("\xFF\xFB\xA0\x64", 522);
// MPEG-2 layer III, 64 kbit/s at 22.05 kHz: 576 * 64000 / 8 / 22050 = 208 bytes.
const std::string kMpeg2 = ZeroFrame("\xFF\xF3\x80\x64", 208);

// A Xing header frame counting `frames` frames after it and `bytes` bytes with it.
std::string XingFrame(uint32_t frames, uint32_t bytes) {
  std::string f = ZeroFrame("\xFF\xFB\x90\x64", 417);
  f.replace(36, 16, "Xing" + Be32(3) + Be32(frames) + Be32(bytes));
  return f;
}

const std::string kV1 = "TAG" + std::string(125, 'v');

// CRC-16 of 0x8005 bit-reversed from 0 (the LAME extension's), and high bit first from 0xFFFF
// (a frame's), a bit at a time.
uint16_t Crc(const std::string& bytes, bool reversed) {
  uint16_t crc = reversed ? 0 : 0xFFFF;
  for (const char c : bytes)
    for (int bit = 0; bit < 8; ++bit) {
      const bool in = reversed ? ((static_cast<uint8_t>(c) >> bit) & 1) != 0
                               : ((static_cast<uint8_t>(c) >> (7 - bit)) & 1) != 0;
      const bool top = reversed ? (crc & 1) != 0 : (crc & 0x8000) != 0;
      crc = static_cast<uint16_t>(reversed ? crc >> 1 : crc << 1);
      if (top != in) crc ^= reversed ? 0xA001 : 0x8005;
    }
  return crc;
}

std::string Be16(uint16_t v) {
  return std::string{static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)};
}

// An Info frame (every field) with a LAME extension, its checksum summed over `span` bytes
// (190, or where it sits) and xor'ed with `wrong`. `header` "\xFF\xFB\x90\xC4" makes it mono:
// the extension then begins at 141 and the checksum sits at 175.
std::string LameFrame(const std::string& header, size_t span, uint16_t wrong = 0) {
  const bool mono = (static_cast<uint8_t>(header[3]) >> 6) == 3;
  std::string f = ZeroFrame(header, 417);
  const size_t xing = mono ? 21 : 36, lame = xing + 120, at = lame + 34;
  f.replace(xing, 16, "Info" + Be32(15) + Be32(40) + Be32(417 * 41));
  f.replace(lame, 9, "LAME3.100");
  f[lame + 20] = 'x';  // some byte the sum covers
  std::string summed = f.substr(0, span);
  summed.resize(span, '\0');
  f.replace(at, 2, Be16(Crc(summed, true) ^ wrong));
  return f;
}

// n frames of 128 kbit/s that carry a checksum; the one at `bad` (if any) a wrong one.
std::string CheckedAudio(int n, int bad, std::vector<int64_t>* offsets) {
  std::string audio;
  for (int i = 0; i < n; ++i) {
    std::string f = ZeroFrame("\xFF\xFA\x90\x64", 417);
    f[10] = static_cast<char>(i);  // side information that differs from frame to frame
    f.replace(4, 2, Be16(Crc(f.substr(2, 2) + f.substr(6, 32), false) ^ (i == bad ? 1 : 0)));
    offsets->push_back(static_cast<int64_t>(audio.size()));
    audio += f;
  }
  return audio;
}

TStreamReport Walk(const std::string& bytes) {
  TMemoryStream stream(bytes);
  return WalkStream(stream);
}

// A damaged file and the one finding expected of it.
struct TDamage {
  std::string name;
  std::string file;
  Kind kind;
  int64_t offset;
  int64_t length;  // -1: not checked
  int64_t frames;  // audio frames the walk counts
  TStreamSeverity severity = TStreamSeverity::ssDamage;
};

void PrintTo(const TDamage& d, std::ostream* out) {
  *out << d.name;
}

std::vector<TDamage> Damages() {
  std::vector<int64_t> at;
  const std::string audio = Audio(40, &at);
  const auto size = static_cast<int64_t>(audio.size());
  const std::string tag = Id3(std::string(100, '\0'));
  const auto t = static_cast<int64_t>(tag.size());
  // Junk with syncs in it, one a whole frame header that no frame follows.
  const std::string junk = std::string("\xFF\xFB\x90\x64junk\xFF\xE0", 10) + std::string(90, 'j');
  // A tag header in junk that claims the frames after it.
  const std::string fakeTag = std::string("ID3\x04\0\0\0\0\x03\0", 10) + std::string(90, 'j');
  const std::string xing = XingFrame(80, static_cast<uint32_t>(417 + size));
  std::string vbr;
  for (int i = 0; i < 10; ++i) vbr += Audio(1) + k160;
  std::vector<int64_t> checked;
  const std::string crcAudio = CheckedAudio(40, 25, &checked);
  const std::string ape = "APETAGEX" + Le32(2000) + Le32(32) + Le32(5) + Le32(0) +
                          std::string(8, '\0');  // five items counted in no bytes
  return {
      {"junk between frames", tag + audio.substr(0, at[20]) + junk + audio.substr(at[20]),
       Kind::sfJunk, t + at[20], 100, 40},
      {"junk with a tag header", audio.substr(0, at[20]) + fakeTag + audio.substr(at[20]),
       Kind::sfJunk, at[20], 100, 40},
      {"last frame cut short", tag + audio.substr(0, at[39] + 200), Kind::sfTruncatedFrame,
       t + at[39], 200, 39},
      {"garbage after the audio", tag + audio + std::string(300, 'g') + kV1,
       Kind::sfGarbageAfterAudio, t + size, 300, 40},
      {"Xing frame count doubled", xing + audio, Kind::sfHeaderFrameCount, 0, -1, 40},
      {"VBR without a Xing header", vbr, Kind::sfVbrWithoutHeader, 0, -1, 20,
       TStreamSeverity::ssNote},
      {"second ID3v1 trailer", audio + kV1 + kV1, Kind::sfSecondID3v1, size, 128, 40},
      {"ID3v2 tag in the middle", audio.substr(0, at[10]) + tag + audio.substr(at[10]),
       Kind::sfMidStreamID3v2, at[10], t, 40},
      {"frames of another stream",
       audio.substr(0, at[30]) + kMpeg2 + kMpeg2 + kMpeg2 + audio.substr(at[30]),
       Kind::sfMixedStream, at[30], 208, 43},
      {"damaged APE tag", audio + ape, Kind::sfDamagedTrailer, -1, -1, 40},
      {"LAME checksum wrong", LameFrame("\xFF\xFB\x90\x64", 190, 0x100) + audio, Kind::sfLameCrc,
       190, 2, 40},
      {"mono LAME checksum wrong", LameFrame("\xFF\xFB\x90\xC4", 175, 1) + audio, Kind::sfLameCrc,
       175, 2, 40},
      {"a frame's checksum wrong", crcAudio, Kind::sfFrameCrc, checked[25], 417, 40},
  };
}

class StreamWalkDamage : public testing::TestWithParam<TDamage> {};

TEST_P(StreamWalkDamage, IsFoundAtItsOffset) {
  const TDamage& d = GetParam();
  const TStreamReport r = Walk(d.file);
  ASSERT_EQ(r.findings.size(), 1u) << r.findings.front().text;
  const TStreamFinding& f = r.findings.front();
  EXPECT_EQ(f.kind, d.kind) << f.text;
  if (d.offset >= 0) {
    EXPECT_EQ(f.offset, d.offset) << f.text;
  }
  if (d.length >= 0) {
    EXPECT_EQ(f.length, d.length) << f.text;
  }
  EXPECT_EQ(f.severity, d.severity);
  EXPECT_EQ(r.Damaged(), d.severity == TStreamSeverity::ssDamage);
  EXPECT_EQ(r.frames, d.frames);
}

INSTANTIATE_TEST_SUITE_P(Files, StreamWalkDamage, testing::ValuesIn(Damages()));

// A mono frame's LAME checksum summed as the extension's layout has it (the 175 bytes before it)
// or over the frame's first 190 bytes, as one common encoder sums it, is sound; so are frames
// whose own checksums match.
TEST(StreamWalk, ChecksumsSummedEitherWayAreSound) {
  std::vector<int64_t> at;
  for (size_t span : {175, 190}) {
    const TStreamReport r = Walk(LameFrame("\xFF\xFB\x90\xC4", span) + Audio(40));
    EXPECT_TRUE(r.findings.empty()) << span << ": " << r.findings.front().text;
  }
  const TStreamReport r = Walk(CheckedAudio(40, -1, &at));
  EXPECT_TRUE(r.findings.empty()) << r.findings.front().text;
  std::string twice = CheckedAudio(40, -1, &at);
  for (int i : {3, 30}) twice[static_cast<size_t>(at[static_cast<size_t>(i)]) + 12] ^= 1;
  const TStreamReport bad = Walk(twice);
  ASSERT_EQ(bad.findings.size(), 1u);
  EXPECT_EQ(bad.findings[0].offset, at[3]);
  EXPECT_NE(bad.findings[0].text.find("2 frames"), std::string::npos) << bad.findings[0].text;
}

TEST(StreamWalk, CleanFileHasNoFindingAndItsExactLength) {
  const std::string audio = Audio(40);
  const std::string tag = Id3(std::string(200, '\0'));
  const auto bytes = static_cast<uint32_t>(417 + audio.size());
  const TStreamReport r = Walk(tag + XingFrame(40, bytes) + audio + kV1);
  EXPECT_TRUE(r.findings.empty()) << r.findings.front().text;
  EXPECT_EQ(r.vbrHeader, "Xing");
  EXPECT_EQ(r.audioStart, static_cast<int64_t>(tag.size()));
  EXPECT_EQ(r.firstFrame, r.audioStart);
  EXPECT_EQ(r.frames, 40);
  EXPECT_EQ(r.audioBytes, bytes);
  EXPECT_DOUBLE_EQ(r.duration, 40 * 1152 / 44100.0);
  // Zeros between the tag and the first frame are a writer's padding: a note.
  const TStreamReport padded = Walk(tag + std::string(50, '\0') + audio);
  ASSERT_EQ(padded.findings.size(), 1u);
  EXPECT_EQ(padded.findings[0].severity, TStreamSeverity::ssNote);
  EXPECT_FALSE(padded.Damaged());
}

TEST(StreamWalk, NothingButNoiseIsNoAudio) {
  EXPECT_EQ(Walk("").findings.at(0).kind, Kind::sfNoAudio);
  EXPECT_EQ(Walk(Id3("x") + std::string(3, '\xFF')).findings.at(0).kind, Kind::sfNoAudio);
  // One frame header followed by nothing that continues it is not audio.
  const TStreamReport lone = Walk(ZeroFrame("\xFF\xFB\x90\x64", 417) + std::string(600, 'j'));
  EXPECT_EQ(lone.firstFrame, -1);
  EXPECT_EQ(lone.frames, 0);
}

// A stream that counts its reads: the walk reads in blocks, never the whole file at once.
class TCountingStream : public TMemoryStream {
 public:
  using TMemoryStream::TMemoryStream;
  int64_t ReadAt(int64_t position, void* buffer, int64_t count) override {
    largest = std::max(largest, count);
    total += count;
    return TMemoryStream::ReadAt(position, buffer, count);
  }
  int64_t largest = 0, total = 0;
};

TEST(StreamWalk, ReadsInBlocksAndFindsFramesPastMegabytesOfNoise) {
  // 3 MB of noise full of syncs and headers that lead nowhere, then audio: the noise is one run
  // of junk before the first frame, however the blocks cut it.
  std::string noise;
  uint32_t x = 12345;
  while (noise.size() < (3u << 20)) {
    x = x * 1103515245 + 12345;
    noise += (x >> 16) % 5 == 0 ? "\xFF\xFB\x90\x64"[(x >> 8) % 4] : static_cast<char>(x >> 24);
  }
  const std::string audio = Audio(30);
  TCountingStream stream(noise + audio + std::string(3u << 20, '\xFF') + audio);
  const TStreamReport r = WalkStream(stream);
  EXPECT_LE(stream.largest, int64_t(1) << 20);
  // Each byte once, but for the look at the end for the blocks behind the audio.
  EXPECT_LE(stream.total, stream.Size() + 8 * 1024);
  EXPECT_EQ(r.firstFrame, static_cast<int64_t>(noise.size()));
  EXPECT_EQ(r.frames, 60);
  ASSERT_EQ(r.findings.size(), 2u);
  EXPECT_EQ(r.findings[1].kind, Kind::sfJunk);
  EXPECT_EQ(r.findings[1].offset, static_cast<int64_t>(noise.size() + audio.size()));
  EXPECT_EQ(r.findings[1].length, int64_t(3) << 20);
}

TEST(StreamWalk, FindingsOfANoisyFileAreCapped) {
  // Three frames, a byte of junk, three frames, ...: every gap is found, as far as the list
  // holds.
  std::string file;
  const std::string frames = Audio(3);
  for (int i = 0; i < 1000; ++i) file += frames + "j";
  const TStreamReport r = Walk(file);
  EXPECT_EQ(r.frames, 3000);
  ASSERT_EQ(r.findings.size(), 257u);
  EXPECT_EQ(r.findings.back().kind, Kind::sfMoreFindings);
  EXPECT_EQ(r.findings.back().severity, TStreamSeverity::ssDamage);
}

}  // namespace
}  // namespace tagscope
