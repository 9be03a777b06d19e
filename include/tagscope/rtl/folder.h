#pragma once

#include <memory>
#include <string>

#include "tagscope/rtl/file_stream.h"
#include "tagscope/rtl/stream.h"

namespace tagscope {

class TFolderHandle;  // the platform's open folder

// A folder opened once. A writer names every file it makes, replaces, looks at or deletes
// beside the file it changes relative to this folder, never by a path resolved anew: a folder
// or link swapped in on the way leads nowhere else. A link standing under a name is never
// followed, by any of these operations.
class TFolder {
 public:
  // Opens the folder `path` ("" for the current one); raises EFOpenError with the reason.
  explicit TFolder(const std::string& path);
  ~TFolder();
  TFolder(const TFolder&) = delete;
  TFolder& operator=(const TFolder&) = delete;

  // The folder's path as opened, ending with the delimiter ("" for the current folder): for
  // messages and for the full names of its files.
  const std::string& Path() const { return FPath; }

  // Opens `leaf` (a name without folder) in the folder as TFileStream opens a file, never
  // following a link under the name: a link is refused as no regular file.
  std::unique_ptr<TFileStream> Open(const std::string& leaf, TFileMode mode) const;
  // What stands under `leaf`, the name itself (a link is described as a link, not regular);
  // false when nothing does.
  bool Look(const std::string& leaf, TFileFacts& facts) const;
  // Renames `from` to `to` within the folder, replacing what `to` names; false, the system's
  // error set, when it fails.
  bool Rename(const std::string& from, const std::string& to) const;
  // Renames `from` to `to` within the folder only when nothing stands under `to` (not even a
  // link); false, the system's error set, when the name is taken or the rename failed.
  bool RenameNew(const std::string& from, const std::string& to) const;
  // Deletes the file `leaf` (a link itself, never its target); false when it could not.
  bool Remove(const std::string& leaf) const;
  // Gives `leaf` the owner, group and access permissions of `like` as far as this process may
  // (the permissions last: a change of owner may clear some of them); false when the
  // permissions could not be set.
  bool SetAccess(const std::string& leaf, const TFileFacts& like) const;
  // Gives `to` the extended attributes of `from` (access control lists among them), both in
  // this folder and neither followed; false when one of them could not be given. `to` ends
  // with the access control list of `from`, or none where `from` has none (a new file may have
  // taken the folder's default one). This program's marks on a file being changed (attributes
  // named "user.tagscope.*") are never copied.
  bool CopyAttributes(const std::string& from, const std::string& to) const;
  // The access control list of `leaf` as the system stores it, to be compared byte for byte;
  // empty when it has none (or the platform keeps it apart from what CopyAttributes copies).
  // False when it cannot be read.
  bool AccessList(const std::string& leaf, std::string& list) const;
  // Makes the folder's list of names durable where the platform needs it; raises EWriteError
  // with the system's reason when the flush fails (a file system that cannot flush folders at
  // all is no failure).
  void Sync() const;

 private:
  friend int FolderDescriptor(const TFolder& folder);
  friend class TFileStream;

  std::string FPath;
  std::unique_ptr<TFolderHandle> FHandle;
};

// The user this process writes files as, as TFileFacts::owner gives it; empty where the
// platform records no owner with a file.
std::string CurrentUser();

}  // namespace tagscope
