#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tagscope/engine/file_system.h"

namespace tagscope {

class TJournalPool;

// Writes of many files at once, each engine on a thread of its own, sharing the flushes of
// their folders. A write makes the names it created in its folder durable before it touches
// the file (its journal) or after it renamed the new file into place; with a group, one flush
// of the folder serves every write of the group that asked for it before the flush began, so a
// run over a folder flushes it about once per round of writes rather than once per file. Hand
// one group to every engine of the run (TEngineOptions::flushGroup); each file is still written
// whole, old or new, whatever stops and wherever.
class TFlushGroup {
 public:
  TFlushGroup();
  ~TFlushGroup();
  TFlushGroup(const TFlushGroup&) = delete;
  TFlushGroup& operator=(const TFlushGroup&) = delete;

  // Returns once the folder's names as they were at the call are durable; raises what the
  // flush that served this call raised, in every caller it served: a flush that failed is not
  // tried again for them (a second one may succeed without the names being on the disk).
  void SyncFolder(TFileSystem& files, const TFolder& folder);
  // Returns once the folder's names as they were before the group's first write in it are
  // durable: a flush of the folder that finished in this group serves, else one is made.
  void SyncFolderOnce(TFileSystem& files, const TFolder& folder);
  // Notes that a name was removed from the folder (a journal once the change it guarded is
  // done): the folder is flushed once the group's writes in it are done, when more folders
  // than a few wait, or at SyncWaiting. Nothing is held open for a folder but the waiting few.
  void SyncLater(TFileSystem& files, std::shared_ptr<const TFolder> folder);
  // Flushes every folder that waits; the run calls it before it ends, and raises what a flush
  // raised. The group's end flushes what still waits, its errors lost.
  void SyncWaiting();
  // How many flushes of folders the group made.
  int64_t FolderFlushes() const;
  // The journal files the group's writes pass on to each other (see TJournalPool).
  TJournalPool& Journals() { return *FJournals; }

 private:
  // The requests one flush serves: those made before it began and after the one before.
  struct TRound {
    bool finished = false;
    std::exception_ptr error;  // what the flush raised
  };
  struct TFolderState {
    std::shared_ptr<TRound> waiting;  // the requests no flush has begun for yet
    bool flushing = false;
    bool flushed = false;  // a flush of the folder finished without error
  };
  mutable std::mutex FMutex;
  std::condition_variable FDone;
  std::map<std::string, TFolderState> FFolders;
  struct TWaiting {
    TFileSystem* files;
    std::shared_ptr<const TFolder> folder;
  };
  std::vector<TWaiting> FWaiting;  // folders with removals not yet durable, the oldest first
  int64_t FFlushes = 0;
  std::unique_ptr<TJournalPool> FJournals;
};

}  // namespace tagscope
