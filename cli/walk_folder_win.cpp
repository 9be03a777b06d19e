// Folders of a walk on Windows: opened by their paths, which the system takes however long.
#include <filesystem>
#include <system_error>

#include "cli/walk_folder.h"
#include "tagscope/rtl/files.h"

namespace tagscope::cli {

namespace fs = std::filesystem;

class TWalkFolderHandle {
 public:
  explicit TWalkFolderHandle(fs::path path) : path(std::move(path)) {}
  fs::path path;
};

namespace {

fs::path PathOf(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8Of(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace

TWalkFolder::TWalkFolder(std::unique_ptr<TWalkFolderHandle> handle, std::string identity)
    : FHandle(std::move(handle)), FIdentity(std::move(identity)) {}

TWalkFolder::~TWalkFolder() = default;

std::unique_ptr<TWalkFolder> TWalkFolder::Open(const std::string& path, std::string& reason) {
  TFileInfo info;
  if (!GetFileInfo(path, info)) {
    reason = LastSystemErrorText();
    return nullptr;
  }
  if (!info.folder) {
    reason = "not a folder";
    return nullptr;
  }
  return std::unique_ptr<TWalkFolder>(
      new TWalkFolder(std::make_unique<TWalkFolderHandle>(PathOf(path)), info.identity));
}

std::unique_ptr<TWalkFolder> TWalkFolder::OpenSub(const std::string& name,
                                                  std::string& reason) const {
  const fs::path path = FHandle->path / PathOf(name);
  std::error_code error;
  if (fs::is_symlink(fs::symlink_status(path, error))) {
    reason = "a link: not followed";
    return nullptr;
  }
  return Open(Utf8Of(path), reason);
}

bool TWalkFolder::List(std::vector<TWalkEntry>& entries, std::string& reason) const {
  std::error_code error;
  fs::directory_iterator it(FHandle->path, error), end;
  for (; !error && it != end; it.increment(error)) {
    std::error_code statusError;
    const fs::file_status own = it->symlink_status(statusError);
    TEntryKind kind = TEntryKind::ekFile;  // not looked at: opening it tells why
    if (!statusError && fs::is_directory(own)) {
      kind = TEntryKind::ekFolder;
    } else if (!statusError) {
      const fs::file_status target = fs::is_symlink(own) ? it->status(statusError) : own;
      if (!statusError && !fs::is_regular_file(target)) kind = TEntryKind::ekOther;
    }
    entries.push_back({Utf8Of(it->path().filename()), kind});
  }
  if (!error) return true;
  reason = error.message();
  return false;
}

}  // namespace tagscope::cli
