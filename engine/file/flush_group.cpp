#include "tagscope/engine/flush_group.h"

#include <algorithm>

#include "engine/file/journal_pool.h"

namespace tagscope {

TFlushGroup::TFlushGroup() : FJournals(std::make_unique<TJournalPool>()) {}

TFlushGroup::~TFlushGroup() = default;

void TFlushGroup::SyncFolder(TFileSystem& files, const TFolder& folder) {
  std::unique_lock lock(FMutex);
  // Folders are told apart by the path they were opened by.
  TFolderState& state = FFolders[folder.Path()];
  const uint64_t ticket = ++state.asked;
  // A flush that began after this request serves it; one that was under way does not.
  while (state.done < ticket) {
    if (state.flushing) {
      FDone.wait(lock);
      continue;
    }
    state.flushing = true;
    const uint64_t serves = state.asked;
    ++FFlushes;
    lock.unlock();
    try {
      files.SyncFolder(folder);
    } catch (...) {
      // The requests stay unserved: the next one waiting flushes again.
      lock.lock();
      state.flushing = false;
      lock.unlock();
      FDone.notify_all();
      throw;
    }
    lock.lock();
    state.flushing = false;
    state.done = std::max(state.done, serves);
    FDone.notify_all();
  }
}

int64_t TFlushGroup::FolderFlushes() const {
  std::lock_guard lock(FMutex);
  return FFlushes;
}

}  // namespace tagscope
