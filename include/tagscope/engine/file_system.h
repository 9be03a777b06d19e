#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "tagscope/rtl/file_stream.h"
#include "tagscope/rtl/folder.h"
#include "tagscope/rtl/stream.h"

namespace tagscope {

// Every operation through which the engine reaches files: the platform's unless another set is
// handed to the engine (one that records, redirects, refuses or interferes with them). The file
// the user names is opened by its name once; from then on a writer works in the folder that
// holds the file's data, opened once, and names what it makes there relative to it.
class TFileSystem : public std::enable_shared_from_this<TFileSystem> {
 public:
  virtual ~TFileSystem() = default;

  // Opens a file by its name as TFileStream does (a link at the name followed, except for
  // fmOpenReadPlain), raising its errors.
  virtual std::unique_ptr<TStream> Open(const std::string& fileName, TFileMode mode);
  // What stands under a name: with `follow`, the file a link there leads to; false when
  // nothing does.
  virtual bool Look(const std::string& fileName, TFileFacts& facts, bool follow);
  // The name under which a file's data is stored, links resolved; the name itself when it is
  // no link.
  virtual std::string Resolve(const std::string& fileName);

  // Opens a folder once (see TFolder); raises EFOpenError.
  virtual std::shared_ptr<const TFolder> OpenFolder(const std::string& path);
  // The operations of TFolder, on names in an open folder; none follows a link under a name.
  virtual std::unique_ptr<TStream> OpenIn(const TFolder& folder, const std::string& leaf,
                                          TFileMode mode);
  virtual bool LookIn(const TFolder& folder, const std::string& leaf, TFileFacts& facts);
  // Renames `from` over `to`, replacing it; raises EWriteError with the system's reason.
  virtual void RenameIn(const TFolder& folder, const std::string& from, const std::string& to);
  // Renames `from` to `to` only when nothing stands under `to` yet; raises EFCreateError when
  // the name is taken, else EWriteError, with the system's reason.
  virtual void RenameNewIn(const TFolder& folder, const std::string& from, const std::string& to);
  // Deletes a file; false when it could not be deleted.
  virtual bool RemoveIn(const TFolder& folder, const std::string& leaf);
  virtual bool SetAccessIn(const TFolder& folder, const std::string& leaf, const TFileFacts& like);
  virtual bool CopyAttributesIn(const TFolder& folder, const std::string& from,
                                const std::string& to);
  // The access control list of a file as stored (see TFolder::AccessList); false when it
  // cannot be read.
  virtual bool AccessListIn(const TFolder& folder, const std::string& leaf, std::string& list);
  // Makes the names of a folder durable: what was created in it, renamed in or out, survives
  // the machine stopping. Raises EWriteError with the system's reason when that fails.
  virtual void SyncFolder(const TFolder& folder);
  // The user this process writes files as (see CurrentUser).
  virtual std::string User();
  // How long a writer waits for others to let go of the file it is to change, and a reader for
  // a writer at work, before giving up with a message.
  virtual std::chrono::milliseconds LockPatience() { return std::chrono::seconds(10); }
};

// The platform's file operations, shared by every engine that was given no others.
std::shared_ptr<TFileSystem> PlatformFileSystem();

}  // namespace tagscope
