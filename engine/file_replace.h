#pragma once

#include <memory>
#include <string>

#include "tagscope/engine/file_system.h"

namespace tagscope {

// The new content of a file, written beside it under a temporary name and then put in its
// place by one rename, so that the file holds either all of its old content or all of its new.
class TFileReplacement {
 public:
  // Creates the new file exclusively, in the folder where the data of `fileName` lives (links
  // resolved), under the writers' pattern (see beside::TempName), and locks it.
  TFileReplacement(TFileSystem& files, const std::string& fileName);
  // Deletes the new file unless Commit succeeded or Keep was called.
  ~TFileReplacement();
  TFileReplacement(const TFileReplacement&) = delete;
  TFileReplacement& operator=(const TFileReplacement&) = delete;

  TStream& Stream() { return *FStream; }
  const std::string& TempName() const { return FTempName; }
  // The digits that tell the new file from other writers' (see beside::TempName).
  std::string Digits() const;

  // Whether a rename would keep what makes the file itself: a single name (a rename would
  // part a hard link from the new content) and its owner, group and permissions, which the
  // new file is given here as far as this process may.
  bool RenameKeepsIdentity();
  // Renames the new file over the old one; the caller flushes it first, and makes the rename
  // durable (TFileSystem::SyncFolder) after. Raises the rename's error, the new file staying
  // for a copy.
  void Commit();
  // The new file stays when this object goes (it is being copied into the file).
  void Keep(bool value = true) { FKept = value; }
  // After Commit: the stream, still open and locked, on the new content under the file's name.
  std::unique_ptr<TStream> TakeStream() { return std::move(FStream); }

  // Deletes the new files that writers of `fileName` killed before their end left behind; a
  // live writer keeps its own locked, and it is left alone.
  static void RemoveLeftovers(TFileSystem& files, const std::string& fileName);
  // Whether a live writer is putting a new file in the place of `fileName` right now.
  static bool Replacing(TFileSystem& files, const std::string& fileName);

 private:
  TFileSystem& FFiles;
  std::string FTarget;
  std::string FTempName;
  std::unique_ptr<TStream> FStream;
  bool FCommitted = false;
  bool FKept = false;
};

}  // namespace tagscope
