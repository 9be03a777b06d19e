#include "engine/file/later_reads.h"

#include "tagscope/rtl/exception.h"

namespace tagscope {

void TLaterReads::Read(int64_t position, char* into, int64_t count) {
  std::lock_guard guard(FMutex);
  // A live writer is waited for a while; the bytes are then the file's as it was read, or none.
  const TLockGuard shared(FFile, TFileLock::flShared, std::chrono::milliseconds(1000));
  if (!shared.Held())
    throw EReadError(
        Format("Cannot read the rest of a frame of \"%s\": another program is writing the file",
               FName.c_str()));
  if (!SameState(FactsOf(FFile), FStamp))
    throw EReadError(Format(
        "\"%s\" changed after its tag was read (another program wrote it): read the tag again",
        FName.c_str()));
  if (FFile.ReadAt(position, into, count) != count)
    throw EReadError(
        Format("Cannot read the rest of a frame of \"%s\": the file ends early", FName.c_str()));
}

}  // namespace tagscope
