#include "engine/file_replace.h"

#include "tagscope/rtl/beside_file.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/files.h"

namespace tagscope {

TFileReplacement::TFileReplacement(TFileSystem& files, const std::string& fileName)
    : FFiles(files), FTarget(ResolveLinkName(fileName)) {
  // Creating exclusively never takes over another file (or a link planted under the name).
  // The new file takes the first free slot, where the next writer looks for leftovers.
  FStream = beside::CreateTemp(
      FTarget, FTempName,
      [&](const std::string& name) { return FFiles.Open(name, TFileMode::fmCreateNew); }, true);
  // Held until the new content is in place, and on by the stream that then serves the file.
  FStream->Lock(TFileLock::flExclusive);
}

TFileReplacement::~TFileReplacement() {
  if (FCommitted || FKept) return;
  FStream.reset();
  FFiles.Remove(FTempName);
}

std::string TFileReplacement::Digits() const {
  std::string digits;
  beside::IsTempNameOf(FTempName.substr(ExtractFilePath(FTempName).size()), FTarget, &digits);
  return digits;
}

bool TFileReplacement::RenameKeepsIdentity() {
  TFileInfo info;
  if (!GetFileInfo(FTarget, info) || info.links > 1) return false;
  CopyFilePermissions(FTarget, FTempName);
  // Access control lists and other extended attributes go with the content; where one cannot
  // be given to the new file, the content is copied into the old one instead.
  if (!CopyExtendedAttributes(FTarget, FTempName)) return false;
  return SameOwnership(FTarget, FTempName);
}

void TFileReplacement::Commit() {
  FFiles.Rename(FTempName, FTarget);
  FCommitted = true;
}

namespace {

// The new files beside `fileName` that name it, with whether a live writer holds each. What
// stands under such a name but is no plain file (a link, a FIFO, a folder) is nobody's new
// file, and left alone. Writers put their new files in the fixed slots, so the slots' names
// are looked at, not the folder's list: the cost does not grow with the folder.
std::vector<std::pair<std::string, bool>> NewFilesOf(TFileSystem& files,
                                                     const std::string& fileName) {
  const std::string target = ResolveLinkName(fileName);
  std::vector<std::pair<std::string, bool>> found;
  for (int slot = 0; slot < beside::kSlots; ++slot) {
    const std::string name = beside::TempName(target, beside::SlotDigits(slot));
    if (!NameTaken(name)) continue;
    bool held = false;
    try {
      held = !files.Open(name, TFileMode::fmOpenReadPlain)->Lock(TFileLock::flShared, false);
    } catch (const Exception&) {
      // Gone in the meantime, no plain file, or not ours to open.
      continue;
    }
    found.emplace_back(name, held);
  }
  return found;
}

}  // namespace

void TFileReplacement::RemoveLeftovers(TFileSystem& files, const std::string& fileName) {
  for (const auto& [name, held] : NewFilesOf(files, fileName))
    if (!held) files.Remove(name);
}

bool TFileReplacement::Replacing(TFileSystem& files, const std::string& fileName) {
  for (const auto& [name, held] : NewFilesOf(files, fileName))
    if (held) return true;
  return false;
}

}  // namespace tagscope
