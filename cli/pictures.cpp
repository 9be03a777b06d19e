// tagscope pictures [-r] FILE... [--extract DIR]: lists the pictures attached to an MP3 file's tag
// with their type, MIME type, description and decoded size (or the decoder's message), and writes
// their bytes to DIR when asked to.
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "cli/many_files.h"
#include "cli/open_engine.h"
#include "cli/verbs.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/engine/picture_types.h"
#include "tagscope/imaging/picture_registry.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/file_stream.h"
#include "tagscope/rtl/files.h"
#include "tagscope/rtl/output_file.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope::cli {

namespace {

// What the preview shows under a picture: its size, or why it cannot be shown.
std::string SizeText(const TID3Picture& picture, const TMemoryStream& data) {
  try {
    auto graphic = TPictureRegistry::LoadPicture(picture.MimeType, data.Bytes());
    return Format("%dx%d [%lld bytes]", graphic->Width(), graphic->Height(),
                  static_cast<long long>(data.Bytes().size()));
  } catch (const Exception& e) {
    return EscapeForTerminal(e.what());
  }
}

// A file name made of the picture's index and an extension for its MIME type; nothing of the
// tag's own text reaches the name.
std::string ExtractName(int index, const std::string& mimeType) {
  static const std::map<std::string, std::string> extensions = {
      {"image/jpeg", "jpg"},     {"image/jpg", "jpg"},  {"image/pjpeg", "jpg"},
      {"image/png", "png"},      {"image/gif", "gif"},  {"image/bmp", "bmp"},
      {"image/x-ms-bmp", "bmp"}, {"image/tiff", "tif"}, {"image/webp", "webp"}};
  const auto it = extensions.find(mimeType);
  return Format("picture%d.%s", index, it == extensions.end() ? "bin" : it->second.c_str());
}

// Writes the picture's bytes to the file `path`; a name that is taken is replaced only when
// asked, and a link under it is never written through.
void WritePicture(const std::string& path, const TMemoryStream& data, bool overwrite) {
  if (!overwrite && NameTaken(path))
    throw EFCreateError(
        Format("%s exists already; it is not replaced (--overwrite replaces it)", path.c_str()));
  WriteOutputFile(path, overwrite, [&](TStream& out) {
    data.SaveToStream(out);
    return true;
  });
}

// Writes the picture's bytes to a file in `dir`, as WritePicture; returns its name.
std::string Extract(const std::string& dir, const std::string& prefix, int index,
                    const TID3Picture& picture, const TMemoryStream& data, bool overwrite) {
  // The name is UTF-8 (a plain string would be read in the ANSI code page on Windows).
  std::filesystem::create_directories(std::u8string(dir.begin(), dir.end()));
  std::string path = dir;
  if (!path.empty() && path.back() != PathDelimiter() && path.back() != '/')
    path += PathDelimiter();
  path += prefix + ExtractName(index, picture.MimeType);
  WritePicture(path, data, overwrite);
  return path;
}

struct PicturesOptions {
  std::vector<std::string> files;
  std::string extractDir;
  bool recursive = false;
  std::string output;  // --output: the name for the one picture extracted
  int index = -1;      // --index: which picture, where the file has several
  bool overwrite = false;
};

// One file's pictures. With several files, each is headed by its name, and the pictures it
// extracts by its number among them ("3-picture0.jpg"), so that no two files write one name.
TFileOutcome PicturesOfFile(const std::string& file, const PicturesOptions& o,
                            const std::string& prefix) {
  TFileStream probe(file, TFileMode::fmOpenRead);  // names the reason a file cannot be opened
  TID3Engine engine;
  engine.SetReadOnly(true);
  engine.SetFileName(file);
  engine.SetActive(true);
  std::ostringstream out;
  TFileOutcome outcome;
  if (!prefix.empty()) out << "File: " << EscapeForTerminal(file) << "\n";
  if (engine.Status().journalPending) out << kJournalPendingWarning << "\n";
  const int count = engine.FrameCount("APIC");
  if (count == 0) out << "No pictures.\n";
  for (int i = 0; i < count; ++i) {
    TMemoryStream data;
    TID3Picture picture;
    if (!engine.GetPicture(i, data, picture)) break;
    out << i << ": " << PictureTypeName(picture.PictureType) << ", "
        << EscapeForTerminal(Latin1ToUtf8(picture.MimeType)) << ", \""
        << EscapeForTerminal(picture.DescriptionUtf8) << "\", " << SizeText(picture, data) << "\n";
    if (o.extractDir.empty()) continue;
    // A picture that cannot be written fails the file; the others are still written.
    try {
      const std::string written = Extract(o.extractDir, prefix, i, picture, data, o.overwrite);
      out << "   written to " << EscapeForTerminal(written) << "\n";
    } catch (const Exception& e) {
      outcome.err += ErrorLine(e.what());
      outcome.failed = true;
    }
  }
  outcome.out = out.str();
  return outcome;
}

// --output NAME: the one picture (the file's only one, or the one --index names) written to the
// file NAME; a file already there is replaced only with --overwrite.
int ExtractOne(const PicturesOptions& o) {
  if (o.files.size() != 1 || o.recursive || !o.extractDir.empty())
    throw EConvertError(
        "--output names the file for one picture: give one FILE, without -r or "
        "--extract");
  TFileStream probe(o.files[0], TFileMode::fmOpenRead);  // names the reason it cannot be opened
  TID3Engine engine;
  engine.SetReadOnly(true);
  engine.SetFileName(o.files[0]);
  engine.SetActive(true);
  const int count = engine.FrameCount("APIC");
  if (count == 0) throw EConvertError(Format("%s has no pictures", o.files[0].c_str()));
  if (o.index < 0 && count > 1)
    throw EConvertError(Format("%s has %d pictures: choose one with --index (0 to %d)",
                               o.files[0].c_str(), count, count - 1));
  const int index = o.index < 0 ? 0 : o.index;
  if (index >= count)
    throw EConvertError(Format("%s has no picture %d: its pictures are 0 to %d", o.files[0].c_str(),
                               index, count - 1));
  TMemoryStream data;
  TID3Picture picture;
  engine.GetPicture(index, data, picture);
  WritePicture(o.output, data, o.overwrite);
  std::cout << index << ": " << PictureTypeName(picture.PictureType) << ", written to "
            << EscapeForTerminal(o.output) << "\n";
  return 0;
}

int RunPictures(const PicturesOptions& o) {
  if (!o.output.empty()) return ExtractOne(o);
  const std::vector<TWalkFile> files = CollectFiles(o.files, o.recursive);
  return RunForEachFile(files, [&](const TWalkFile& f) {
    const auto number = static_cast<size_t>(&f - files.data()) + 1;
    const std::string prefix = files.size() > 1 ? Format("%zu-", number) : std::string();
    return PicturesOfFile(f.path, o, prefix);
  });
}

static RegisterVerb registration([](CLI::App& app) {
  auto options = std::make_shared<PicturesOptions>();
  CLI::App* cmd = app.add_subcommand(
      "pictures", "List the pictures attached to MP3 files' tags, and extract them");
  cmd->add_flag("-r,--recursive", options->recursive, "List the MP3 files in the folders named");
  cmd->add_option("FILE", options->files, "MP3 files (and folders, with -r)")->required();
  cmd->add_option("--extract", options->extractDir,
                  "Folder to write the pictures to (picture<index>.<extension>)");
  cmd->add_option("-o,--output", options->output,
                  "Write the one picture (or the one --index names) to this new file");
  cmd->add_option("--index", options->index, "With --output, which picture (0, 1, ...)")
      ->check(CLI::NonNegativeNumber);
  cmd->add_flag("--overwrite", options->overwrite,
                "Replace picture files of the same names in the folder, or the --output file");
  cmd->footer(
      "Examples:\n  tagscope pictures song.mp3\n  tagscope pictures song.mp3 --extract covers\n"
      "  tagscope pictures song.mp3 --index 1 --output back.jpg");
  return Verb{cmd, [options] { return RunPictures(*options); }};
});

}  // namespace

}  // namespace tagscope::cli
