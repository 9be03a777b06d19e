#pragma once

#include <memory>
#include <string>

#include "tagscope/rtl/file_stream.h"
#include "tagscope/rtl/stream.h"

namespace tagscope {

// The file operations through which the engine opens, replaces and deletes files: the
// platform's unless another set is handed to the engine (one that records, redirects or
// refuses them).
class TFileSystem {
 public:
  virtual ~TFileSystem() = default;

  // Opens a file as TFileStream does, raising its errors.
  virtual std::unique_ptr<TStream> Open(const std::string& fileName, TFileMode mode);
  // Renames `from` over `to`, replacing it; raises EWriteError with the system's reason.
  virtual void Rename(const std::string& from, const std::string& to);
  // Deletes a file; false when it could not be deleted.
  virtual bool Remove(const std::string& fileName);
  // Renames `from` to `to`, where nothing may stand yet; raises EFCreateError when the name
  // is taken, else EWriteError, with the system's reason.
  virtual void RenameNew(const std::string& from, const std::string& to);
  // Makes the names of a folder durable: what was created in it, renamed in or out, survives
  // the machine stopping.
  virtual void SyncFolder(const std::string& folder);
};

// The platform's file operations, shared by every engine that was given no others.
std::shared_ptr<TFileSystem> PlatformFileSystem();

}  // namespace tagscope
