#include "tagscope/engine/file_system.h"

#include <array>
#include <functional>
#include <mutex>
#include "tagscope/rtl/exception.h"

#include "tagscope/rtl/files.h"

namespace tagscope {

namespace {

// Renaming or deleting a name takes its folder's lock in the kernel, and the many writers of a
// run that wait for that lock spin for it, taking the processor from the writers with other
// work to do: a third of a run's processor time went to that. Waiting here, asleep, costs
// nothing. One lock serves all the folders whose paths fall on it.
std::mutex& NamesLockOf(const TFolder& folder) {
  static std::array<std::mutex, 64> locks;
  return locks[std::hash<std::string>()(folder.Path()) % locks.size()];
}

}  // namespace

std::unique_ptr<TStream> TFileSystem::Open(const std::string& fileName, TFileMode mode) {
  return std::make_unique<TFileStream>(fileName, mode);
}

bool TFileSystem::Look(const std::string& fileName, TFileFacts& facts, bool follow) {
  return DescribeName(fileName, facts, follow);
}

std::string TFileSystem::Resolve(const std::string& fileName) {
  return ResolveLinkName(fileName);
}

std::shared_ptr<const TFolder> TFileSystem::OpenFolder(const std::string& path) {
  return std::make_shared<const TFolder>(path);
}

std::unique_ptr<TStream> TFileSystem::OpenIn(const TFolder& folder, const std::string& leaf,
                                             TFileMode mode) {
  return folder.Open(leaf, mode);
}

bool TFileSystem::LookIn(const TFolder& folder, const std::string& leaf, TFileFacts& facts) {
  return folder.Look(leaf, facts);
}

void TFileSystem::RenameIn(const TFolder& folder, const std::string& from, const std::string& to) {
  std::string reason;
  {
    const std::lock_guard names(NamesLockOf(folder));
    if (folder.Rename(from, to)) return;
    reason = LastSystemErrorText();
  }
  throw EWriteError(Format("Cannot replace file \"%s\" with \"%s\". %s",
                           (folder.Path() + to).c_str(), (folder.Path() + from).c_str(),
                           reason.c_str()));
}

void TFileSystem::RenameNewIn(const TFolder& folder, const std::string& from,
                              const std::string& to) {
  std::string reason;
  {
    const std::lock_guard names(NamesLockOf(folder));
    if (folder.RenameNew(from, to)) return;
    reason = LastSystemErrorText();
  }
  TFileFacts facts;
  if (folder.Look(to, facts))
    throw EFCreateError(
        Format("Cannot create file \"%s\": the name is taken", (folder.Path() + to).c_str()));
  throw EWriteError(Format("Cannot rename \"%s\" to \"%s\". %s", (folder.Path() + from).c_str(),
                           (folder.Path() + to).c_str(), reason.c_str()));
}

bool TFileSystem::RemoveIn(const TFolder& folder, const std::string& leaf) {
  const std::lock_guard names(NamesLockOf(folder));
  return folder.Remove(leaf);
}

bool TFileSystem::SetAccessIn(const TFolder& folder, const std::string& leaf,
                              const TFileFacts& like) {
  return folder.SetAccess(leaf, like);
}

bool TFileSystem::CopyAttributesIn(const TFolder& folder, const std::string& from,
                                   const std::string& to) {
  return folder.CopyAttributes(from, to);
}

bool TFileSystem::AccessListIn(const TFolder& folder, const std::string& leaf, std::string& list) {
  return folder.AccessList(leaf, list);
}

void TFileSystem::SyncFolder(const TFolder& folder) {
  folder.Sync();
}

std::string TFileSystem::User() {
  return CurrentUser();
}

std::shared_ptr<TFileSystem> PlatformFileSystem() {
  static const auto platform = std::make_shared<TFileSystem>();
  return platform;
}

}  // namespace tagscope
