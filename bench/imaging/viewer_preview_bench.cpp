// The viewer's way from an MP3 file to the preview on the headless backend, whole and by
// stage, for a large GIF cover (2000 x 2000, 8 bits) and a JPEG cover of about 325 KB:
//   LoadFile  - the viewer's LoadFile: tag read, lists filled, first picture previewed;
//   TagRead   - the engine opening the file and handing over the picture's bytes;
//   Decode    - the picture registry decoding those bytes into a bitmap;
//   SetImage  - the image control taking the bitmap (a copy, as the Win32 control keeps one).
// The Win32 backend's drawing (StretchDIBits onto 144 x 144) is not measured here.
#include <benchmark/benchmark.h>

#include <csetjmp>
#include <cstdio>
#include <string>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

#include "tagscope/engine/id3_engine.h"
#include "tagscope/imaging/picture_registry.h"
#include "tests/imaging/gif_builder.h"
#include "tests/viewer/mp3_builder.h"
#include "ui/headless/headless_factory.h"
#include "viewer/viewer_frame.h"

namespace {

using namespace tagscope;

std::string LargeGif() {
  test::TGifFrameInput frame;
  frame.Width = frame.Height = 2000;
  frame.Pixels = test::TestPicture(2000, 2000, 256, 3);
  return test::TGifBuilder()
      .Header()
      .Screen(2000, 2000, test::TestColors(256))
      .Frame(frame)
      .Trailer()
      .Bytes();
}

// A photo-like 1000 x 1000 picture at quality 90: about 320 KB.
std::string CoverJpeg() {
  constexpr int kSize = 1000;
  jpeg_compress_struct info{};
  jpeg_error_mgr error{};
  info.err = jpeg_std_error(&error);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = info.image_height = kSize;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 90, TRUE);
  jpeg_start_compress(&info, TRUE);
  std::vector<unsigned char> row(kSize * 3);
  test::TRandom random(3);
  while (info.next_scanline < kSize) {
    const int y = static_cast<int>(info.next_scanline);
    for (int x = 0; x < kSize; ++x) {
      row[x * 3] = static_cast<unsigned char>((x * y / 900 + random.Below(21)) & 255);
      row[x * 3 + 1] = static_cast<unsigned char>((x / 5 + y / 7 + random.Below(21)) & 255);
      row[x * 3 + 2] = static_cast<unsigned char>(((x ^ y) / 3 + random.Below(21)) & 255);
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  std::string bytes(reinterpret_cast<char*>(buffer), size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return bytes;
}

struct TCover {
  std::string Mime;
  std::string Bytes;
};

const TCover& Cover(int kind) {
  static const TCover covers[2] = {{"image/gif", LargeGif()}, {"image/jpeg", CoverJpeg()}};
  return covers[kind];
}

const test::TempFile& Mp3(int kind) {
  static const test::TempFile files[2] = {
      test::TempFile(test::Tag({test::TextFrame("TIT2", "Cover"),
                                test::PictureFrame(Cover(0).Mime, 3, "front", Cover(0).Bytes)}) +
                     test::Audio()),
      test::TempFile(test::Tag({test::TextFrame("TIT2", "Cover"),
                                test::PictureFrame(Cover(1).Mime, 3, "front", Cover(1).Bytes)}) +
                     test::Audio())};
  return files[kind];
}

void Label(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  state.SetLabel(Format("%s, %zu bytes", kind == 0 ? "GIF 2000x2000" : "JPEG 1000x1000",
                        Cover(kind).Bytes.size()));
}

void LoadFile(benchmark::State& state) {
  const std::string& name = Mp3(static_cast<int>(state.range(0))).Name();
  THeadlessFactory factory;
  TViewerFrame frame(factory, 0x1000);
  for (auto _ : state) {
    frame.LoadFile(name);
    benchmark::DoNotOptimize(frame.imgPicture->Picture().Pixels.data());
  }
  if (!frame.imgPicture->HasPicture()) state.SkipWithError("no picture shown");
  Label(state);
}

void TagRead(benchmark::State& state) {
  const std::string& name = Mp3(static_cast<int>(state.range(0))).Name();
  for (auto _ : state) {
    TID3Engine engine;
    engine.SetReadOnly(true);
    engine.SetFileName(name);
    engine.SetActive(true);
    TMemoryStream data;
    TID3Picture picture;
    engine.GetPicture(0, data, picture);
    benchmark::DoNotOptimize(data.Bytes().data());
  }
  Label(state);
}

void Decode(benchmark::State& state) {
  const TCover& cover = Cover(static_cast<int>(state.range(0)));
  const std::string extension = TPictureRegistry::ExtensionForMimeType(cover.Mime);
  for (auto _ : state) {
    auto picture = TPictureRegistry::LoadFromBytes(extension, cover.Bytes);
    benchmark::DoNotOptimize(picture->Bitmap()->Pixels.data());
  }
  Label(state);
}

void SetImage(benchmark::State& state) {
  const TCover& cover = Cover(static_cast<int>(state.range(0)));
  auto picture = TPictureRegistry::LoadFromBytes(TPictureRegistry::ExtensionForMimeType(cover.Mime),
                                                 cover.Bytes);
  THeadlessFactory factory;
  TViewerFrame frame(factory, 0x1000);
  for (auto _ : state) {
    frame.imgPicture->SetPicture(*picture->Bitmap());
    benchmark::DoNotOptimize(frame.imgPicture->Picture().Pixels.data());
  }
  Label(state);
}

BENCHMARK(LoadFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(TagRead)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Decode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(SetImage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
