#include "engine/later_reads.h"

#include <chrono>
#include <thread>

#include "tagscope/rtl/exception.h"

namespace tagscope {

namespace {

bool SameFile(const TFileFacts& a, const TFileFacts& b) {
  return a.identity == b.identity && a.size == b.size && a.modified == b.modified;
}

}  // namespace

TFileFacts FactsOf(TStream& file) {
  TFileFacts facts;
  // A stream that cannot describe its file is known by its size alone.
  if (!file.Describe(facts)) facts.size = file.Size();
  return facts;
}

bool TLaterReads::LockShared() {
  using namespace std::chrono;
  const auto give_up = steady_clock::now() + milliseconds(1000);
  while (!FFile.Lock(TFileLock::flShared, false)) {
    if (steady_clock::now() >= give_up) return false;
    std::this_thread::sleep_for(milliseconds(5));
  }
  return true;
}

void TLaterReads::Read(int64_t position, char* into, int64_t count) {
  std::lock_guard guard(FMutex);
  if (!LockShared())
    throw EReadError(Format("Cannot read the rest of a frame of \"%s\": a writer holds the file",
                            FName.c_str()));
  try {
    if (!SameFile(FactsOf(FFile), FStamp))
      throw EReadError(
          Format("\"%s\" changed after its tag was read: read the tag again", FName.c_str()));
    if (FFile.ReadAt(position, into, count) != count)
      throw EReadError(
          Format("Cannot read the rest of a frame of \"%s\": the file ends early", FName.c_str()));
  } catch (...) {
    FFile.Lock(TFileLock::flNone);
    throw;
  }
  FFile.Lock(TFileLock::flNone);
}

void TDeferredPayload::Fill() const {
  std::call_once(FOnce, [this] {
    const std::shared_ptr<TLaterReads> file = FFile.lock();
    if (!file)
      throw EReadError(
          "Cannot read the rest of a frame: the file was closed after its tag was read");
    file->Read(FPosition, FInto, FCount);
    FFilled.store(true, std::memory_order_release);
  });
}

}  // namespace tagscope
