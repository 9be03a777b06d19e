#include "engine/file/journal_pool.h"

#include "tagscope/rtl/exception.h"

namespace tagscope {

namespace {

// As many as the writers of a run that wait on the disk at once, and a few.
constexpr size_t kMostKept = 80;

}  // namespace

TJournalPool::~TJournalPool() {
  for (TKept& kept : FKept) Discard(kept);
}

bool TJournalPool::Enabled() {
#ifdef _WIN32
  return false;
#else
  return true;
#endif
}

std::optional<TJournalPool::TKept> TJournalPool::Take(const std::string& folderPath) {
  std::lock_guard lock(FMutex);
  for (auto kept = FKept.rbegin(); kept != FKept.rend(); ++kept)
    if (kept->folder->Path() == folderPath) {
      TKept taken = std::move(*kept);
      FKept.erase(std::next(kept).base());
      return taken;
    }
  return std::nullopt;
}

void TJournalPool::Keep(TKept kept) {
  {
    std::lock_guard lock(FMutex);
    if (FKept.size() < kMostKept) {
      FKept.push_back(std::move(kept));
      return;
    }
  }
  Discard(kept);
}

void Discard(TJournalPool::TKept& kept) {
  try {
    TFileFacts now;
    if (kept.files->LookIn(*kept.folder, kept.leaf, now) && now.identity == kept.identity)
      kept.files->RemoveIn(*kept.folder, kept.leaf);
  } catch (const Exception&) {
    // Left as a leftover of the file whose scratch name it has; its next writer removes it.
  }
  kept.stream.reset();
}

}  // namespace tagscope
