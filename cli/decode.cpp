// tagscope decode PICTURE OUT.ppm: decodes a GIF, BMP, JPEG or PNG file through the picture
// registry (chosen by the file's content, else its extension) and writes its first frame as a
// binary PPM.
#include <algorithm>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/verbs.h"
#include "tagscope/imaging/picture_registry.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/file_stream.h"
#include "tagscope/rtl/files.h"
#include "tagscope/rtl/output_file.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope::cli {

namespace {

// Rows are converted and written in blocks of about this many bytes: few writes, and a buffer
// that stays in the cache.
constexpr size_t kBlockBytes = size_t(64) << 10;

// P6: a text header, then red, green and blue bytes row by row from the top, gathered into
// blocks.
class TPpmWriter : public TRGBRowSink {
 public:
  explicit TPpmWriter(TStream& out) : FOut(out) {}

  void Start(int width, int height) override {
    FOut.WriteString(Format("P6\n%d %d\n255\n", width, height));
    FRowBytes = size_t(width) * 3;
    const size_t rows = std::max<size_t>(1, kBlockBytes / std::max<size_t>(FRowBytes, 1));
    FBlock.resize(FRowBytes * std::min(rows, size_t(height)) + 1);
  }
  uint8_t* NextRow() override {
    if (FUsed + FRowBytes + 1 > FBlock.size()) Flush();
    uint8_t* row = FBlock.data() + FUsed;
    FUsed += FRowBytes;
    return row;
  }
  void Flush() {
    FOut.WriteBuffer(FBlock.data(), static_cast<int64_t>(FUsed));
    FUsed = 0;
  }

 private:
  TStream& FOut;
  size_t FRowBytes = 0;
  std::vector<uint8_t> FBlock;
  size_t FUsed = 0;
};

void WriteBitmap(const TBitmapData& bitmap, TPpmWriter& ppm) {
  ppm.Start(bitmap.Width, bitmap.Height);
  const TRGBRows rows(bitmap);
  for (int y = 0; y < bitmap.Height; ++y) rows.Get(y, ppm.NextRow());
}

// The picture's first frame as a PPM: decoded straight into the file where the picture's
// class can, else loaded and converted. False when the picture holds no frame.
bool WritePpm(const std::string& picture, TStream& out) {
  std::string bytes;
  {
    // A FIFO or device is refused on opening; a file that grows while it is read is read as
    // far as it went when it was opened.
    TFileStream in(picture, TFileMode::fmOpenRead);
    bytes = in.ReadString(in.Size());
  }
  // The bytes' own signature goes before the name's extension, which may be wrong.
  std::string extension = TPictureRegistry::ExtensionForContent(bytes);
  if (extension.empty()) extension = TPictureRegistry::ExtractExtension(picture);
  const std::unique_ptr<TGraphic> graphic = TPictureRegistry::Create(extension);
  TPpmWriter ppm(out);
  if (!graphic->DecodeRGBRows(bytes, ppm)) {
    graphic->LoadFromBytes(std::move(bytes));
    if (graphic->FrameCount() == 0) return false;
    WriteBitmap(graphic->FrameBitmap(0), ppm);
  }
  ppm.Flush();
  return true;
}

// Writes the PPM under a temporary name and renames it into place, so that OUT is either left
// as it was or holds the whole picture; an OUT that exists is replaced only when asked. False
// when the picture holds no frame.
bool WritePpmFile(const std::string& picture, const std::string& output, bool overwrite) {
  return WriteOutputFile(output, overwrite, [&](TStream& out) { return WritePpm(picture, out); });
}

// A message on stderr: names in it are escaped, as the texts are elsewhere.
int Fail(const std::string& message) {
  std::cerr << "tagscope: " << EscapeForTerminal(message) << "\n";
  return 1;
}

int RunDecode(const std::string& picture, const std::string& output, bool overwrite) {
  try {
    if (SameFile(picture, output))
      return Fail(output + ": is the picture itself; it is not overwritten");
    if (!overwrite && NameTaken(output))
      return Fail(output + ": exists already; it is not replaced (--overwrite replaces it)");
    if (!WritePpmFile(picture, output, overwrite))
      return Fail(picture + ": the file holds no picture");
  } catch (const Exception& e) {
    return Fail(e.what());
  }
  return 0;
}

struct DecodeOptions {
  std::string picture;
  std::string output;
  bool overwrite = false;
};

static RegisterVerb registration([](CLI::App& app) {
  auto options = std::make_shared<DecodeOptions>();
  CLI::App* cmd = app.add_subcommand(
      "decode", "Decode a GIF, BMP, JPEG or PNG picture and write its first frame as a PPM file");
  cmd->add_option("PICTURE", options->picture, "Picture file (.gif, .bmp, .jpg, .jpeg, .png)")
      ->required();
  cmd->add_option("OUT", options->output, "PPM file to write")->required();
  cmd->add_flag("--overwrite", options->overwrite, "Replace OUT when it exists");
  cmd->footer("Example:\n  tagscope decode cover.gif cover.ppm");
  return Verb{
      cmd, [options] { return RunDecode(options->picture, options->output, options->overwrite); }};
});

}  // namespace

}  // namespace tagscope::cli
