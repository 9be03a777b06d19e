// Files named on the command line and the MP3 files in folders below them.
#include "cli/file_walk.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <set>

#include "cli/walk_folder.h"
#include "tagscope/engine/mpeg_audio.h"
#include "tagscope/rtl/ascii_case.h"
#include "tagscope/rtl/beside_file.h"
#include "tagscope/rtl/byte_reader.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/file_stream.h"
#include "tagscope/rtl/files.h"

namespace tagscope::cli {

namespace {

namespace fs = std::filesystem;

fs::path PathOf(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8Of(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

constexpr int kMaxDepth = 256;

// A folder that cannot be read: `found` when the walk met it in a folder above.
void AddError(std::vector<TWalkFile>& files, const fs::path& folder, const std::string& reason,
              bool found) {
  files.push_back(
      {Utf8Of(folder), found,
       Format("Cannot read the folder %s: %s", Utf8Of(folder).c_str(), reason.c_str())});
}

// One walk below a folder named on the command line: the folders met so far, by their identity
// on their volume, so that a folder reached again (a bind mount of a folder above it, a loop)
// is read once.
class TWalk {
 public:
  explicit TWalk(std::vector<TWalkFile>& files) : FFiles(files) {}

  // Adds the regular files in `folder` (whose path is `path`) and below it. A folder that
  // cannot be read, or lies too deep, is reported as an error entry and the walk goes on with
  // the others; links to folders are not followed.
  void Walk(const TWalkFolder& folder, const fs::path& path, int depth) {
    if (!FSeen.insert(folder.Identity()).second) return;
    std::vector<TWalkEntry> entries;
    std::string reason;
    const bool listed = folder.List(entries, reason);
    if (!listed) AddError(FFiles, path, reason, depth > 0);
    // Whatever stands under a writer's name, the readers of this folder's files look for
    // their journals; a folder read to its end without one spares them the look.
    const bool noWriters =
        listed && std::none_of(entries.begin(), entries.end(), [](const TWalkEntry& entry) {
          return beside::IsWritersName(entry.name);
        });
    // The folder's part of its files' paths, as path / name joins them, made once: a folder may
    // hold thousands.
    std::string prefix = Utf8Of(path / PathOf("x"));
    prefix.pop_back();
    // In the order of their paths, which share the prefix: a flat folder's files need no sort
    // afterwards (short names sort cheaper than whole paths).
    std::sort(entries.begin(), entries.end(),
              [](const TWalkEntry& a, const TWalkEntry& b) { return a.name < b.name; });
    // Room grows by half at least: a walk over many small folders copies no list over and over.
    if (const size_t need = FFiles.size() + entries.size(); need > FFiles.capacity())
      FFiles.reserve(std::max(need, FFiles.capacity() * 3 / 2));
    std::vector<std::string> folders;
    for (const TWalkEntry& entry : entries) {
      if (entry.kind == TEntryKind::ekFolder)
        folders.push_back(entry.name);
      else if (entry.kind == TEntryKind::ekFile && !beside::IsWritersName(entry.name))
        FFiles.push_back({prefix + entry.name, true, "", noWriters});
    }
    for (const std::string& name : folders) {
      const fs::path sub = path / PathOf(name);
      if (depth >= kMaxDepth) {
        FFiles.push_back({Utf8Of(sub), true,
                          Format("%s lies more than %d folders deep; it is not read",
                                 Utf8Of(sub).c_str(), kMaxDepth)});
        continue;
      }
      const std::unique_ptr<TWalkFolder> opened = folder.OpenSub(name, reason);
      if (opened)
        Walk(*opened, sub, depth + 1);
      else
        AddError(FFiles, sub, reason, true);
    }
  }

 private:
  std::vector<TWalkFile>& FFiles;
  std::set<std::string> FSeen;
};

void WalkFrom(std::vector<TWalkFile>& files, const std::string& argument) {
  const size_t first = files.size();
  std::string reason;
  if (const std::unique_ptr<TWalkFolder> folder = TWalkFolder::Open(argument, reason))
    TWalk(files).Walk(*folder, PathOf(argument), 0);
  else
    AddError(files, PathOf(argument), reason, false);
  const auto byPath = [](const TWalkFile& a, const TWalkFile& b) { return a.path < b.path; };
  const auto from = files.begin() + static_cast<std::ptrdiff_t>(first);
  if (!std::is_sorted(from, files.end(), byPath)) std::sort(from, files.end(), byPath);
}

}  // namespace

std::vector<TWalkFile> CollectFiles(const std::vector<std::string>& arguments, bool recursive) {
  std::vector<TWalkFile> files;
  for (const std::string& argument : arguments) {
    TFileInfo info;
    // A name that is not there goes to the verb, which says so in its own words.
    if (!GetFileInfo(argument, info) || info.regular) {
      files.push_back({argument, false, ""});
    } else if (info.folder && recursive) {
      WalkFrom(files, argument);
    } else {
      files.push_back(
          {argument, false,
           info.folder
               ? Format("%s is a folder (-r reads the files in it)", argument.c_str())
               : Format("%s is not a regular file (a device, FIFO or socket)", argument.c_str())});
    }
  }
  return files;
}

bool LooksLikeMp3(const std::string& head) {
  if (head.size() >= 3 && head.compare(0, 3, "ID3") == 0) return true;
  TMpegFrameHeader header;
  return head.size() >= 4 &&
         ParseMpegFrameHeader(static_cast<uint32_t>(TByteReader(head).BEAt(0, 4)), header);
}

bool StreamLooksLikeMp3(TStream& stream) {
  char head[4];
  const int64_t n = stream.ReadAt(0, head, sizeof head);
  return LooksLikeMp3(std::string(head, static_cast<size_t>(std::max<int64_t>(n, 0))));
}

TContent LookAtFile(const std::string& path, std::string& reason) {
  try {
    TFileStream stream(path, TFileMode::fmOpenRead);
    return StreamLooksLikeMp3(stream) ? TContent::ctMp3 : TContent::ctOther;
  } catch (const Exception& e) {
    reason = e.what();
    return TContent::ctUnreadable;
  }
}

bool NamedMp3(const std::string& path) {
  constexpr std::string_view kExtension = ".mp3";
  return path.size() > kExtension.size() &&
         SameTextAscii(std::string_view(path).substr(path.size() - kExtension.size()), kExtension);
}

}  // namespace tagscope::cli
