#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "engine/tag/tag_locator.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/rtl/file_stream.h"
#include "tests/engine/tag_builder.h"

namespace tagscope {
namespace {

using namespace test;

// A typical tag: a dozen text frames, two comments, a link and a 30 KiB picture.
std::string TypicalTag() {
  std::string body;
  for (const char* id : {"TIT2", "TPE1", "TALB", "TCOM", "TPE2", "TPE3", "TEXT", "TIT1", "TMOO",
                         "TPUB", "TYER", "TRCK", "TENC", "TIT3"})
    body += FrameV3(id, Text(std::string("value of ") + id));
  body += FrameV3("COMM", Bytes({0}) + "ENG" + Bytes({0}) + "first comment");
  body += FrameV3("COMM", Bytes({0}) + "ENG" + "d" + Bytes({0}) + "second comment");
  body += FrameV3("WXXX", Bytes({0}) + "home" + Bytes({0}) + "http://example.com/");
  body += FrameV3("APIC", Bytes({0}) + "image/jpeg" + Bytes({0, 3, 0}) + std::string(30000, 'j'));
  return Tag(3, 0, body, 2048);
}

void BM_ReadTag(benchmark::State& state) {
  ScopedFile file(TypicalTag() + std::string(200000, '\x55'));
  TID3Engine engine;
  engine.SetReadOnly(true);
  engine.SetFileName(file.Name());
  for (auto _ : state) {
    engine.SetActive(true);
    std::string fields = engine.Title() + engine.Artist() + engine.Album() + engine.Genre() +
                         engine.Year() + engine.Track() + engine.EncodedBy() + engine.SubTitle();
    TID3Comment comment;
    for (int i = 0; engine.GetComment(i, comment); ++i) fields += comment.Text;
    TMemoryStream picture;
    TID3Picture info;
    engine.GetPicture(0, picture, info);
    benchmark::DoNotOptimize(fields);
    engine.SetActive(false);
  }
}
BENCHMARK(BM_ReadTag)->Unit(benchmark::kMicrosecond);

constexpr int64_t k64MiB = 64 << 20;

// A 64 MiB file of audio-like bytes (with many 'I', "ID" and "ID3" + bad version decoys) and
// a tag near its end.
std::unique_ptr<ScopedFile> MakeBigFile(int64_t size) {
  std::string bytes(static_cast<size_t>(size), '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 2654435761u) >> 13);
  for (size_t i = 1000; i + 4 < bytes.size(); i += 65521) bytes.replace(i, 4, "ID3\x07");
  const std::string tag = TypicalTag();
  bytes.replace(bytes.size() - tag.size() - 5000, tag.size(), tag);
  return std::make_unique<ScopedFile>(bytes);
}

void BM_FullSearch64MiB(benchmark::State& state) {
  const auto file = MakeBigFile(k64MiB);
  TID3Engine engine;
  engine.SetReadOnly(true);
  engine.SetFullID3TagSeek(true);
  engine.SetFileName(file->Name());
  for (auto _ : state) {
    engine.SetActive(true);
    if (engine.Status().place.offset == 0) state.SkipWithError("tag not found");
    engine.SetActive(false);
  }
  state.SetBytesProcessed(state.iterations() * k64MiB);
}
BENCHMARK(BM_FullSearch64MiB)->Unit(benchmark::kMillisecond);

// The search as one seek and one 3-byte read per byte of the file, on 1 MiB (64 MiB would take
// minutes): what the chunked search is measured against.
void BM_BytewiseSearch1MiB(benchmark::State& state) {
  const auto file = MakeBigFile(1 << 20);
  TFileStream stream(file->Name(), TFileMode::fmOpenRead);
  for (auto _ : state) {
    int64_t found = -1;
    const int64_t size = stream.Size();
    for (int64_t p = 0; p < size; ++p) {
      stream.SetPosition(p);
      char sig[3];
      if (stream.Read(sig, 3) == 3 && sig[0] == 'I' && sig[1] == 'D' && sig[2] == '3') {
        uint8_t version = 0xFF;
        if (stream.Read(&version, 1) == 1 && version <= 4 &&
            (found < 0 || p / 4096 != found / 4096))
          found = p;
      }
    }
    if (found != FindTagSignature(stream)) state.SkipWithError("results differ");
    benchmark::DoNotOptimize(found);
  }
  state.SetBytesProcessed(state.iterations() * (1 << 20));
}
BENCHMARK(BM_BytewiseSearch1MiB)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tagscope
