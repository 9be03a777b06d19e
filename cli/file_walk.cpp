// Files named on the command line and the MP3 files in folders below them.
#include "cli/file_walk.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

#include "tagscope/engine/mpeg_audio.h"
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

void AddError(std::vector<TWalkFile>& files, const fs::path& folder, const std::error_code& e) {
  files.push_back(
      {Utf8Of(folder), false,
       Format("Cannot read the folder %s: %s", Utf8Of(folder).c_str(), e.message().c_str())});
}

// One walk below a folder named on the command line: the folders met so far, by their identity
// on their volume, so that a folder reached again (a bind mount of a folder above it, a loop)
// is read once.
class TWalk {
 public:
  explicit TWalk(std::vector<TWalkFile>& files) : FFiles(files) {}

  // Adds the regular files below `folder`. A folder that cannot be listed, or lies too deep, is
  // reported as an error entry and the walk goes on with the others; links to folders are not
  // followed.
  void Walk(const fs::path& folder, int depth) {
    TFileInfo info;
    if (GetFileInfo(Utf8Of(folder), info) && !FSeen.insert(info.identity).second) return;
    std::error_code error;
    fs::directory_iterator it(folder, error), end;
    std::vector<fs::path> folders;
    for (; !error && it != end; it.increment(error)) {
      std::error_code statusError;
      const fs::file_status own = it->symlink_status(statusError);
      if (statusError) continue;
      if (fs::is_directory(own)) {
        folders.push_back(it->path());
        continue;
      }
      // A link counts when it leads to a regular file.
      const fs::file_status target = fs::is_symlink(own) ? it->status(statusError) : own;
      if (!statusError && fs::is_regular_file(target))
        FFiles.push_back({Utf8Of(it->path()), true, ""});
    }
    if (error) AddError(FFiles, folder, error);
    for (const fs::path& sub : folders) {
      if (depth >= kMaxDepth) {
        FFiles.push_back({Utf8Of(sub), false,
                          Format("%s lies more than %d folders deep; it is not read",
                                 Utf8Of(sub).c_str(), kMaxDepth)});
        continue;
      }
      Walk(sub, depth + 1);
    }
  }

 private:
  std::vector<TWalkFile>& FFiles;
  std::set<std::string> FSeen;
};

}  // namespace

std::vector<TWalkFile> CollectFiles(const std::vector<std::string>& arguments, bool recursive) {
  std::vector<TWalkFile> files;
  for (const std::string& argument : arguments) {
    TFileInfo info;
    // A name that is not there goes to the verb, which says so in its own words.
    if (!GetFileInfo(argument, info) || info.regular) {
      files.push_back({argument, false, ""});
    } else if (info.folder && recursive) {
      const size_t first = files.size();
      TWalk(files).Walk(PathOf(argument), 0);
      std::sort(files.begin() + static_cast<std::ptrdiff_t>(first), files.end(),
                [](const TWalkFile& a, const TWalkFile& b) { return a.path < b.path; });
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

bool FileLooksLikeMp3(const std::string& path) {
  try {
    TFileStream stream(path, TFileMode::fmOpenRead);
    return StreamLooksLikeMp3(stream);
  } catch (const Exception&) {
    return false;
  }
}

}  // namespace tagscope::cli
