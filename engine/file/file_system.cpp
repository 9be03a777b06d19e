#include "tagscope/engine/file_system.h"

#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/files.h"

namespace tagscope {

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
  if (!folder.Rename(from, to))
    throw EWriteError(Format("Cannot replace file \"%s\" with \"%s\". %s",
                             (folder.Path() + to).c_str(), (folder.Path() + from).c_str(),
                             LastSystemErrorText().c_str()));
}

void TFileSystem::RenameNewIn(const TFolder& folder, const std::string& from,
                              const std::string& to) {
  if (folder.RenameNew(from, to)) return;
  const std::string reason = LastSystemErrorText();
  TFileFacts facts;
  if (folder.Look(to, facts))
    throw EFCreateError(
        Format("Cannot create file \"%s\": the name is taken", (folder.Path() + to).c_str()));
  throw EWriteError(Format("Cannot rename \"%s\" to \"%s\". %s", (folder.Path() + from).c_str(),
                           (folder.Path() + to).c_str(), reason.c_str()));
}

bool TFileSystem::RemoveIn(const TFolder& folder, const std::string& leaf) {
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
