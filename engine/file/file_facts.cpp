#include "engine/file/file_facts.h"

#include <thread>

#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/files.h"

namespace tagscope {

namespace {

// "device:number" and, after a slash, the time of making.
struct TIdentityParts {
  std::string device, number, born;
};

TIdentityParts Split(const std::string& identity) {
  TIdentityParts parts;
  std::string rest = identity;
  if (const size_t slash = rest.find('/'); slash != std::string::npos) {
    parts.born = rest.substr(slash + 1);
    rest.resize(slash);
  }
  const size_t colon = rest.rfind(':');
  parts.device = colon == std::string::npos ? std::string() : rest.substr(0, colon);
  parts.number = colon == std::string::npos ? rest : rest.substr(colon + 1);
  return parts;
}

}  // namespace

TFileFacts FactsOf(TStream& file) {
  TFileFacts facts;
  // A stream that cannot describe its file is known by its size alone.
  if (!file.Describe(facts)) facts.size = file.Size();
  return facts;
}

bool SameState(const TFileFacts& a, const TFileFacts& b) {
  return a.identity == b.identity && a.size == b.size && a.modified == b.modified;
}

std::string RecordedIdentity(const TFileFacts& facts) {
  if (facts.born == 0 || facts.identity.empty()) return facts.identity;
  return facts.identity + "/" + std::to_string(facts.born);
}

bool SameIdentity(const std::string& recorded, const TFileFacts& now, bool* deviceMoved) {
  const TIdentityParts was = Split(recorded);
  const TIdentityParts is = Split(RecordedIdentity(now));
  if (deviceMoved) *deviceMoved = was.device != is.device;
  if (recorded.empty() || was.number != is.number) return false;
  return was.born.empty() || is.born.empty() || was.born == is.born;
}

std::unique_ptr<TStream> TBeside::Open(const std::string& name, TFileMode mode) const {
  return FFiles.OpenIn(*FFolder, LeafOf(name), mode);
}

bool TBeside::Look(const std::string& name, TFileFacts& facts) const {
  return FFiles.LookIn(*FFolder, LeafOf(name), facts);
}

void TBeside::Rename(const std::string& from, const std::string& to) const {
  FFiles.RenameIn(*FFolder, LeafOf(from), LeafOf(to));
}

void TBeside::RenameNew(const std::string& from, const std::string& to) const {
  FFiles.RenameNewIn(*FFolder, LeafOf(from), LeafOf(to));
}

bool TBeside::Remove(const std::string& name) const {
  return FFiles.RemoveIn(*FFolder, LeafOf(name));
}

std::string TBeside::LeafOf(const std::string& name) const {
  const std::string& path = FFolder->Path();
  // Names are derived from the target, in its folder; anything else is taken as a bare name.
  if (name.compare(0, path.size(), path) == 0) return name.substr(path.size());
  return name.substr(ExtractFilePath(name).size());
}

bool LockWithin(TStream& file, TFileLock kind, std::chrono::milliseconds patience) {
  using namespace std::chrono;
  const auto giveUp = steady_clock::now() + patience;
  auto pause = milliseconds(1);
  while (!file.Lock(kind, false)) {
    if (steady_clock::now() >= giveUp) return false;
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, milliseconds(50));
  }
  return true;
}

TLockGuard::TLockGuard(TStream& file, TFileLock kind, std::chrono::milliseconds patience) {
  if (LockWithin(file, kind, patience)) FFile = &file;
}

void TLockGuard::Release() {
  if (!FFile) return;
  TStream* file = std::exchange(FFile, nullptr);
  try {
    file->Lock(TFileLock::flNone);
  } catch (const Exception&) {
    // Closing the stream lets go of the lock as well.
  }
}

}  // namespace tagscope
