// Decodes a 2000 x 2000, 8-bit GIF with our decoder and with giflib; reports megapixels/s.
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cstring>

#include "imaging/gif_picture.h"
#include "tests/imaging/gif_builder.h"

namespace {

constexpr int kSize = 2000;

// The pictures, by kind:
// 0: drawing-like: bands, blocks and textured patches with a little noise;
// 1: photo-like: smooth shading dithered over neighbouring palette entries;
// 2: worst case: three pixels in four random, so that hardly any string repeats.
std::vector<uint8_t> Pixels(int kind) {
  std::vector<uint8_t> pixels = tagscope::test::TestPicture(kSize, kSize, 256, 3);
  tagscope::test::TRandom random(5);
  if (kind == 1) {
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x) {
        const int shade = (x * x / 3000 + y / 9 + (x * y) / 40000) % 240;
        pixels[static_cast<size_t>(y) * kSize + x] = static_cast<uint8_t>(shade + random.Below(4));
      }
  } else if (kind == 2) {
    for (auto& p : pixels) p = static_cast<uint8_t>(random.Below(4) ? random.Below(256) : p);
  }
  return pixels;
}

const std::string& Picture(int kind) {
  static std::string files[3];
  std::string& file = files[kind];
  if (file.empty()) {
    std::vector<uint8_t> pixels = Pixels(kind);
    tagscope::test::TGifFrameInput frame;
    frame.Width = frame.Height = kSize;
    frame.Pixels = std::move(pixels);
    file = tagscope::test::TGifBuilder()
               .Header()
               .Screen(kSize, kSize, tagscope::test::TestColors(256))
               .Frame(frame)
               .Trailer()
               .Bytes();
  }
  return file;
}

void Ours(benchmark::State& state) {
  const std::string& file = Picture(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    tagscope::TGifPicture picture;
    picture.LoadFromBytes(file);
    benchmark::DoNotOptimize(picture.Bitmap()->Pixels.data());
  }
  state.counters["Mpixel/s"] = benchmark::Counter(double(kSize) * kSize / 1e6,
                                                  benchmark::Counter::kIsIterationInvariantRate);
  state.counters["bytes"] = static_cast<double>(file.size());
}

struct TMemoryInput {
  const std::string* Data;
  size_t Pos;
};

int ReadMemory(GifFileType* gif, GifByteType* buffer, int count) {
  auto* in = static_cast<TMemoryInput*>(gif->UserData);
  const size_t n = std::min(static_cast<size_t>(count), in->Data->size() - in->Pos);
  std::memcpy(buffer, in->Data->data() + in->Pos, n);
  in->Pos += n;
  return static_cast<int>(n);
}

void Giflib(benchmark::State& state) {
  const std::string& file = Picture(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    TMemoryInput input{&file, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&input, ReadMemory, &error);
    if (!gif || DGifSlurp(gif) != GIF_OK) state.SkipWithError("giflib failed");
    benchmark::DoNotOptimize(gif->SavedImages[0].RasterBits);
    DGifCloseFile(gif, &error);
  }
  state.counters["Mpixel/s"] = benchmark::Counter(double(kSize) * kSize / 1e6,
                                                  benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(Ours)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(Giflib)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

}  // namespace
