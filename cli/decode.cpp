// tagscope decode PICTURE OUT.ppm: decodes a GIF, BMP or JPEG file through the picture
// registry (chosen by the file's extension) and writes its first frame as a binary PPM.
#include <iostream>
#include <memory>
#include <string>

#include "cli/verbs.h"
#include "imaging/picture_registry.h"
#include "rtl/exception.h"
#include "rtl/file_stream.h"

namespace tagscope::cli {

namespace {

// P6: a text header, then red, green and blue bytes row by row from the top.
std::string PpmBytes(const TBitmapData& bitmap) {
  std::string out = Format("P6\n%d %d\n255\n", bitmap.Width, bitmap.Height);
  out.reserve(out.size() + size_t(3) * bitmap.Width * bitmap.Height);
  for (int y = 0; y < bitmap.Height; ++y) {
    for (int x = 0; x < bitmap.Width; ++x) {
      uint8_t r, g, b;
      bitmap.PixelRGB(x, y, r, g, b);
      out.push_back(static_cast<char>(r));
      out.push_back(static_cast<char>(g));
      out.push_back(static_cast<char>(b));
    }
  }
  return out;
}

int RunDecode(const std::string& picture, const std::string& output) {
  std::unique_ptr<TGraphic> graphic;
  std::string ppm;
  try {
    graphic = TPictureRegistry::LoadFromFile(picture);
    if (graphic->FrameCount() == 0) {
      std::cerr << "tagscope: " << picture << ": the file holds no picture\n";
      return 1;
    }
    ppm = PpmBytes(graphic->FrameBitmap(0));
  } catch (const Exception& e) {
    std::cerr << "tagscope: " << e.what() << "\n";
    return 1;
  }
  TFileStream out(output, TFileMode::fmCreate);
  out.WriteString(ppm);
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
  cmd->footer("Example:\n  tagscope decode cover.gif cover.ppm");
  return Verb{cmd, [options] { return RunDecode(options->picture, options->output); }};
});

}  // namespace

}  // namespace tagscope::cli
