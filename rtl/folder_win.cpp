#include <windows.h>

#include "rtl/files_win.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/files.h"
#include "tagscope/rtl/folder.h"

namespace tagscope {

// The folder is held open without sharing deletion, so that it cannot be renamed or removed,
// nor its path made to lead elsewhere, while a writer works in it. Its files are reached by
// the folder's path and their names, links and junctions among them opened as themselves and
// refused.
class TFolderHandle {
 public:
  explicit TFolderHandle(HANDLE h) : handle(h) {}
  ~TFolderHandle() { ::CloseHandle(handle); }
  HANDLE handle;
};

namespace {

int64_t Time(const FILETIME& t) {
  return static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

}  // namespace

TFolder::TFolder(const std::string& path) : FPath(path) {
  if (!FPath.empty() && FPath.back() != '\\' && FPath.back() != '/') FPath += '\\';
  std::wstring name;
  HANDLE h = INVALID_HANDLE_VALUE;
  if (WideFileName(FPath.empty() ? "." : FPath, name))
    h = ::CreateFileW(name.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    throw EFOpenError(
        Format(SFOpenErrorEx, FPath.empty() ? "." : FPath.c_str(), LastSystemErrorText().c_str()));
  FHandle = std::make_unique<TFolderHandle>(h);
}

TFolder::~TFolder() = default;

std::unique_ptr<TFileStream> TFolder::Open(const std::string& leaf, TFileMode mode) const {
  return std::make_unique<TFileStream>(*this, leaf, mode);
}

bool TFolder::Look(const std::string& leaf, TFileFacts& facts) const {
  std::wstring name;
  if (!WideFileName(FPath + leaf, name)) return false;
  const HANDLE h = ::CreateFileW(
      name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool disk = ::GetFileType(h) == FILE_TYPE_DISK;
  const bool known = ::GetFileInformationByHandle(h, &info) != 0;
  ::CloseHandle(h);
  if (!known) return false;
  facts.identity =
      std::to_string(info.dwVolumeSerialNumber) + ":" +
      std::to_string((static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow);
  facts.owner.clear();
  facts.size =
      static_cast<int64_t>((static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
  facts.modified = Time(info.ftLastWriteTime);
  facts.changed = facts.modified;
  facts.born = 0;  // as TFileStream::Describe: the index alone tells a file made anew
  facts.links = info.nNumberOfLinks;
  facts.folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  facts.regular =
      disk && !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
  return true;
}

bool TFolder::Rename(const std::string& from, const std::string& to) const {
  return RenameFile(FPath + from, FPath + to);
}

bool TFolder::RenameNew(const std::string& from, const std::string& to) const {
  return RenameNoReplace(FPath + from, FPath + to);
}

bool TFolder::Remove(const std::string& leaf) const {
  // A link is deleted itself, never what it leads to.
  return RemoveFile(FPath + leaf);
}

bool TFolder::SetAccess(const std::string&, const TFileFacts&) const {
  // The file's attributes and access rules go with CopyAttributes.
  return true;
}

bool TFolder::CopyAttributes(const std::string& from, const std::string& to) const {
  return CopyFilePermissions(FPath + from, FPath + to) &&
         CopyExtendedAttributes(FPath + from, FPath + to);
}

bool TFolder::AccessList(const std::string&, std::string& list) const {
  // CopyAttributes gives the new file the old one's own access rules and the folder's inherited
  // ones anew, as the old file has them: nothing is left to compare.
  list.clear();
  return true;
}

// NTFS keeps its names in its own journal, and a rename asked for with MOVEFILE_WRITE_THROUGH
// is on the disk when it returns: there is no folder to flush.
void TFolder::Sync() const {}

std::string CurrentUser() {
  return std::string();
}

}  // namespace tagscope
