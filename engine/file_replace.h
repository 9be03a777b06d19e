#pragma once

#include <memory>
#include <string>

#include "engine/file_system.h"

namespace tagscope {

// The new content of a file, written beside it under a temporary name and then put in its
// place by one rename, so that the file holds either all of its old content or all of its new.
class TFileReplacement {
 public:
  // Creates the new file exclusively, in the folder where the data of `fileName` lives (links
  // resolved), under a name "ID3TMP" + hexadecimal digits + ".tmp".
  TFileReplacement(TFileSystem& files, const std::string& fileName);
  // Deletes the new file unless Commit succeeded.
  ~TFileReplacement();
  TFileReplacement(const TFileReplacement&) = delete;
  TFileReplacement& operator=(const TFileReplacement&) = delete;

  TStream& Stream() { return *FStream; }
  const std::string& TempName() const { return FTempName; }

  // Gives the new file the old one's permissions and renames it over the old one; the caller
  // flushes it first. Raises the rename's error, the new file then being deleted.
  void Commit();
  // After Commit: the stream, still open, on the file's new content under the file's name.
  std::unique_ptr<TStream> TakeStream() { return std::move(FStream); }

 private:
  TFileSystem& FFiles;
  std::string FTarget;
  std::string FTempName;
  std::unique_ptr<TStream> FStream;
  bool FCommitted = false;
};

}  // namespace tagscope
