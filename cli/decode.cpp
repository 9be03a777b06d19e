// tagscope decode PICTURE OUT.ppm: decodes a GIF, BMP or JPEG file through the picture
// registry (chosen by the file's extension) and writes its first frame as a binary PPM.
#include <algorithm>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "cli/verbs.h"
#include "imaging/picture_registry.h"
#include "rtl/exception.h"
#include "rtl/file_stream.h"
#include "rtl/files.h"

namespace tagscope::cli {

namespace {

// Rows are converted and written in blocks of about this many bytes: few writes, and a buffer
// that stays in the cache.
constexpr size_t kBlockBytes = size_t(64) << 10;

// P6: a text header, then red, green and blue bytes row by row from the top.
void WritePpm(const TBitmapData& bitmap, TStream& out) {
  out.WriteString(Format("P6\n%d %d\n255\n", bitmap.Width, bitmap.Height));
  const TRGBRows rows(bitmap);
  const size_t rowBytes = size_t(bitmap.Width) * 3;
  const int blockRows = static_cast<int>(std::max<size_t>(1, kBlockBytes / rowBytes));
  std::vector<uint8_t> block(rowBytes * size_t(std::min(blockRows, bitmap.Height)) + 1);
  for (int y = 0; y < bitmap.Height;) {
    const int count = std::min(blockRows, bitmap.Height - y);
    for (int i = 0; i < count; ++i) rows.Get(y + i, block.data() + rowBytes * size_t(i));
    out.WriteBuffer(block.data(), static_cast<int64_t>(rowBytes * size_t(count)));
    y += count;
  }
}

// A new file beside target with a name of its own, created exclusively.
std::unique_ptr<TFileStream> CreateBeside(const std::string& target, std::string& name) {
  static std::mt19937 generator{std::random_device{}()};
  for (int attempt = 1;; ++attempt) {
    name =
        ExtractFilePath(target) + Format("~tagscope%08X.tmp", static_cast<unsigned>(generator()));
    try {
      return std::make_unique<TFileStream>(name, TFileMode::fmCreateNew);
    } catch (const EFCreateError&) {
      if (attempt == 100 || !FileExists(name)) throw;
    }
  }
}

// Writes the PPM under a temporary name and renames it into place, so that OUT is either left
// as it was or holds the whole picture.
void WritePpmFile(const TBitmapData& bitmap, const std::string& output) {
  std::string temporary;
  auto stream = CreateBeside(output, temporary);
  try {
    WritePpm(bitmap, *stream);
    stream.reset();
    if (!RenameFile(temporary, output))
      throw EFCreateError(
          Format("Cannot create file \"%s\". %s", output.c_str(), LastSystemErrorText().c_str()));
  } catch (...) {
    stream.reset();
    RemoveFile(temporary);
    throw;
  }
}

int RunDecode(const std::string& picture, const std::string& output) {
  try {
    if (SameFile(picture, output)) {
      std::cerr << "tagscope: " << output << ": is the picture itself; it is not overwritten\n";
      return 1;
    }
    const std::unique_ptr<TGraphic> graphic = TPictureRegistry::LoadFromFile(picture);
    if (graphic->FrameCount() == 0) {
      std::cerr << "tagscope: " << picture << ": the file holds no picture\n";
      return 1;
    }
    WritePpmFile(graphic->FrameBitmap(0), output);
  } catch (const Exception& e) {
    std::cerr << "tagscope: " << e.what() << "\n";
    return 1;
  }
  return 0;
}

struct DecodeOptions {
  std::string picture;
  std::string output;
};

static RegisterVerb registration([](CLI::App& app) {
  auto options = std::make_shared<DecodeOptions>();
  CLI::App* cmd = app.add_subcommand(
      "decode", "Decode a GIF, BMP or JPEG picture and write its first frame as a PPM file");
  cmd->add_option("PICTURE", options->picture, "Picture file (.gif, .bmp, .jpg, .jpeg)")
      ->required();
  cmd->add_option("OUT", options->output, "PPM file to write")->required();
  return Verb{cmd, [options] { return RunDecode(options->picture, options->output); }};
});

}  // namespace

}  // namespace tagscope::cli
