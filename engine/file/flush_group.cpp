#include "tagscope/engine/flush_group.h"

#include <algorithm>
#include <exception>

#include "engine/file/journal_pool.h"

namespace tagscope {

TFlushGroup::TFlushGroup() : FJournals(std::make_unique<TJournalPool>()) {}

TFlushGroup::~TFlushGroup() {
  try {
    SyncWaiting();
  } catch (const std::exception&) {
  }
}

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
    state.flushed = state.flushed || !error;
    round->error = error;
    round->finished = true;
    FDone.notify_all();
  }
  if (round->error) std::rethrow_exception(round->error);
}

void TFlushGroup::SyncFolderOnce(TFileSystem& files, const TFolder& folder) {
  {
    std::lock_guard lock(FMutex);
    const auto found = FFolders.find(folder.Path());
    if (found != FFolders.end() && found->second.flushed) return;
  }
  SyncFolder(files, folder);
}

void TFlushGroup::SyncLater(TFileSystem& files, std::shared_ptr<const TFolder> folder) {
  // The folders a run writes come one after another, a few at once: a folder that waits while
  // more than this many newer ones do is done with.
  constexpr size_t kMostWaiting = 8;
  std::vector<TWaiting> due;
  {
    std::lock_guard lock(FMutex);
    const auto same = [&](const TWaiting& w) { return w.folder->Path() == folder->Path(); };
    FWaiting.erase(std::remove_if(FWaiting.begin(), FWaiting.end(), same), FWaiting.end());
    FWaiting.push_back({&files, std::move(folder)});
    if (FWaiting.size() > kMostWaiting) {
      due.assign(FWaiting.begin(), FWaiting.begin() + 1);
      FWaiting.erase(FWaiting.begin());
    }
  }
  for (const TWaiting& w : due) SyncFolder(*w.files, *w.folder);
}

void TFlushGroup::SyncWaiting() {
  std::vector<TWaiting> due;
  {
    std::lock_guard lock(FMutex);
    due.swap(FWaiting);
  }
  // Every folder is flushed, whichever fails; the first failure is raised.
  std::exception_ptr failed;
  for (const TWaiting& w : due) try {
      SyncFolder(*w.files, *w.folder);
    } catch (...) {
      if (!failed) failed = std::current_exception();
    }
  if (failed) std::rethrow_exception(failed);
}

int64_t TFlushGroup::FolderFlushes() const {
  std::lock_guard lock(FMutex);
  return FFlushes;
}

}  // namespace tagscope
