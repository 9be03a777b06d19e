#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tagscope/engine/file_system.h"

namespace tagscope {

// Journal files that a run of writes keeps for its next writes in the same folder. Making a
// file for each write's journal and deleting it afterwards costs more than renaming one file
// from write to write, on some file systems far more (one without a journal of its own looks
// past every file deleted in the last minutes for each file it makes). A journal that served a
// write takes one of the writers' scratch names of that write's file, a name that file's next
// writer removes as a leftover should this process stop; while it waits it stays locked, so
// that no writer (of this run or of another) takes it for a leftover or a new file of its own.
// The next write in the folder writes its own journal into it, flushes it and renames it to its
// own journal's name. What is kept
// when the run ends is deleted. Where an open file cannot be renamed, nothing is kept.
class TJournalPool {
 public:
  struct TKept {
    std::shared_ptr<TFileSystem> files;
    std::shared_ptr<const TFolder> folder;
    std::string leaf;                 // its name in the folder now
    std::unique_ptr<TStream> stream;  // open on it
    std::string identity;             // of the file the stream is open on
  };

  TJournalPool() = default;
  ~TJournalPool();
  TJournalPool(const TJournalPool&) = delete;
  TJournalPool& operator=(const TJournalPool&) = delete;

  // Whether this platform keeps journals at all.
  static bool Enabled();
  // A journal kept in the folder opened by `folderPath`, if there is one.
  std::optional<TKept> Take(const std::string& folderPath);
  // Keeps `kept` for a later write; when enough are kept, deletes it instead.
  void Keep(TKept kept);

 private:
  std::mutex FMutex;
  std::vector<TKept> FKept;
};

// Deletes a kept journal where its name still leads to the file it is open on.
void Discard(TJournalPool::TKept& kept);

}  // namespace tagscope
