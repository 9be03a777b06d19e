#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tagscope/engine/file_system.h"

namespace tagscope {

// A file beside the file being changed that says how to bring it back to one whole state if
// the change is interrupted (the process killed, the machine stopped): either the bytes an
// in-place change overwrites and the size the file had (rolled back), or the name of a complete
// copy of the new content that is being copied over it (rolled forward). It is flushed before
// the file is touched and removed once the file is flushed; the next writer of the file finds
// it and finishes the job.
class TTagJournal {
 public:
  // A range of the file an in-place change will overwrite.
  struct TRange {
    int64_t offset, length;
  };

  // The journal's name for a file: beside it, "<name>.ID3JRN" (long names shortened).
  static std::string NameFor(const std::string& target);

  // Saves the ranges' current bytes of `file` (open on `target`) and its size.
  static TTagJournal ForUndo(TFileSystem& files, const std::string& target, TStream& file,
                             const std::vector<TRange>& ranges);
  // Records that the complete new content stands in `source`, to be copied over the target.
  static TTagJournal ForCopy(TFileSystem& files, const std::string& target,
                             const std::string& source, int64_t size);

  // Removes the journal: the change is on the disk (the caller flushed the file).
  void Finish();
  const std::string& FileName() const { return FName; }

  // Brings `file` (open on `target`, locked) to a whole state if a journal is pending, and
  // removes the journal. Returns what was done, for the user; empty when nothing was pending.
  static std::string Recover(TFileSystem& files, const std::string& target, TStream& file);

 private:
  TTagJournal(TFileSystem& files, std::string name) : FFiles(&files), FName(std::move(name)) {}
  void Create(const std::string& content);

  TFileSystem* FFiles;
  std::string FName;
};

}  // namespace tagscope
