#include "tagscope/engine/flush_group.h"

#include "engine/file/journal_pool.h"

namespace tagscope {

TFlushGroup::TFlushGroup() : FJournals(std::make_unique<TJournalPool>()) {}

TFlushGroup::~TFlushGroup() = default;

void TFlushGroup::SyncFolder(TFileSystem& files, const TFolder& folder) {
  std::unique_lock lock(FMutex);
  // Folders are told apart by the path they were opened by.
  TFolderState& state = FFolders[folder.Path()];
  if (!state.waiting) state.waiting = std::make_shared<TRound>();
  const std::shared_ptr<TRound> round = state.waiting;
  // A flush that began after this request serves it; one that was under way does not.
  while (!round->finished) {
    if (state.flushing) {
      FDone.wait(lock);
      continue;
    }
    state.flushing = true;
    state.waiting.reset();
    ++FFlushes;
    lock.unlock();
    std::exception_ptr error;
    try {
      files.SyncFolder(folder);
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    state.flushing = false;
    round->error = error;
    round->finished = true;
    FDone.notify_all();
  }
  if (round->error) std::rethrow_exception(round->error);
}

int64_t TFlushGroup::FolderFlushes() const {
  std::lock_guard lock(FMutex);
  return FFlushes;
}

}  // namespace tagscope
