#include "tagscope/engine/file_system.h"

#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/files.h"

namespace tagscope {

std::unique_ptr<TStream> TFileSystem::Open(const std::string& fileName, TFileMode mode) {
  return std::make_unique<TFileStream>(fileName, mode);
}

void TFileSystem::Rename(const std::string& from, const std::string& to) {
  if (!RenameFile(from, to))
    throw EWriteError(
        Format("Cannot replace file \"%s\". %s", to.c_str(), LastSystemErrorText().c_str()));
}

void TFileSystem::RenameNew(const std::string& from, const std::string& to) {
  if (RenameNoReplace(from, to)) return;
  const std::string reason = LastSystemErrorText();
  if (NameTaken(to))
    throw EFCreateError(Format("Cannot create file \"%s\": the name is taken", to.c_str()));
  throw EWriteError(
      Format("Cannot rename \"%s\" to \"%s\". %s", from.c_str(), to.c_str(), reason.c_str()));
}

void TFileSystem::SyncFolder(const std::string& folder) {
  tagscope::SyncFolder(folder);
}

bool TFileSystem::Remove(const std::string& fileName) {
  return RemoveFile(fileName);
}

std::shared_ptr<TFileSystem> PlatformFileSystem() {
  static const auto platform = std::make_shared<TFileSystem>();
  return platform;
}

}  // namespace tagscope
