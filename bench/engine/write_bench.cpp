// Writing a tag into a 50 MiB file: a change that fits the old tag's bytes, and one that grows
// the tag. Reports the bytes written against the file's size.
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

#include "tagscope/engine/id3_engine.h"
#include "tests/engine/tag_builder.h"
#include "tests/engine/write_test_support.h"

namespace tagscope {
namespace {

using namespace test;

constexpr int64_t kFileSize = 50 << 20;

// A file of 50 MiB: a tag with a 30 KiB picture and 2 KiB of padding, then audio.
std::string MakeFile(const ScratchFolder& folder) {
  const std::string tag =
      Tag(3, 0,
          FrameV3("TIT2", Text("Title")) + FrameV3("TPE1", Text("Artist")) +
              FrameV3("APIC", Bytes({0}) + "image/jpeg" + Bytes({0, 3, 0}) + PatternBytes(30000)),
          2048);
  const std::string name = folder.Path("big.mp3");
  std::ofstream out(name, std::ios::binary);
  out << tag << std::string(kFileSize - tag.size(), '\x55');
  return name;
}

void Report(benchmark::State& state, const FaultyFileSystem& files, int64_t fileSize) {
  const double perWrite = static_cast<double>(files.BytesWritten()) / state.iterations();
  state.counters["bytes_written"] = perWrite;
  state.counters["file_size"] = static_cast<double>(fileSize);
  state.counters["written_per_file_byte"] = perWrite / static_cast<double>(fileSize);
}

void BM_WriteTagThatFits(benchmark::State& state) {
  ScratchFolder folder;
  const std::string name = MakeFile(folder);
  auto files = std::make_shared<FaultyFileSystem>();
  TestEngine engine;
  engine.SetFileSystem(files);
  engine.Open(name);
  int round = 0;
  for (auto _ : state) {
    // A title of the same length: the new tag takes exactly the old one's bytes.
    engine.SetTitle("Titl" + std::to_string(round++ % 10));
    engine.WriteTag();
  }
  Report(state, *files, kFileSize);
}

void BM_WriteTagGrowingIntoPadding(benchmark::State& state) {
  ScratchFolder folder;
  const std::string name = MakeFile(folder);
  auto files = std::make_shared<FaultyFileSystem>();
  TestEngine engine;
  engine.SetFileSystem(files);
  engine.Open(name);
  int round = 0;
  for (auto _ : state) {
    // A title 95 bytes longer, then a short one again, by turns: the padding takes the growth.
    engine.SetTitle(round++ % 2 ? "Title" : "Title" + std::string(95, 'p'));
    engine.WriteTag();
  }
  Report(state, *files, kFileSize);
}

void BM_WriteTagThatGrows(benchmark::State& state) {
  ScratchFolder folder;
  const std::string name = MakeFile(folder);
  auto files = std::make_shared<FaultyFileSystem>();
  TestEngine engine;
  engine.SetFileSystem(files);
  engine.Open(name);
  std::string title = "Title";
  for (auto _ : state) {
    // Each round's title outgrows the tag and its padding that the round before wrote.
    title += std::string(3000, 't');
    engine.SetTitle(title);
    engine.WriteTag();
  }
  Report(state, *files, kFileSize);
}

BENCHMARK(BM_WriteTagThatFits)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteTagGrowingIntoPadding)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteTagThatGrows)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tagscope
