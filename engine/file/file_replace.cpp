#include "engine/file/file_replace.h"

#include <algorithm>
#include <vector>

#include "tagscope/rtl/beside_file.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/files.h"

namespace tagscope {

TFileReplacement::TFileReplacement(const TBeside& place) : FPlace(place), FTarget(place.Target()) {
  // Creating exclusively never takes over another file (or a link planted under the name).
  // The new file takes the first free slot, where the next writer looks for leftovers.
  FStream = beside::CreateTemp(
      FTarget, FTempName,
      [&](const std::string& name) { return FPlace.Open(name, TFileMode::fmCreateNew); }, true,
      [&](const std::string& name) { return FPlace.Taken(name); });
  // Held until the new content is in place, and on by the stream that then serves the file.
  FStream->Lock(TFileLock::flExclusive);
}

TFileReplacement::~TFileReplacement() {
  if (FCommitted || FKept) return;
  FStream.reset();
  FPlace.Remove(FTempName);
}

std::string TFileReplacement::Digits() const {
  std::string digits;
  beside::IsTempNameOf(FTempName.substr(ExtractFilePath(FTempName).size()), FTarget, &digits);
  return digits;
}

bool TFileReplacement::RenameKeepsIdentity(const TFileFacts& old) {
  if (old.links > 1) return false;
  TFileSystem& files = FPlace.Files();
  const std::string temp = FPlace.LeafOf(FTempName);
  files.SetAccessIn(FPlace.Folder(), temp, old);
  // Access control lists and other extended attributes go with the content; where one cannot
  // be given to the new file, the content is copied into the old one instead.
  if (!files.CopyAttributesIn(FPlace.Folder(), FPlace.Leaf(), temp)) return false;
  // The access control list too, byte for byte: a new file may have taken the folder's default
  // one, which gives others access the file never gave them.
  std::string oldList, newList;
  if (!files.AccessListIn(FPlace.Folder(), FPlace.Leaf(), oldList) ||
      !files.AccessListIn(FPlace.Folder(), temp, newList))
    return false;
  TFileFacts made;
  if (!files.LookIn(FPlace.Folder(), temp, made)) return false;
  return made.owner == old.owner && made.group == old.group && made.mode == old.mode &&
         newList == oldList;
}

bool TFileReplacement::Commit(const TFileFacts& old) {
  // The name must still lead to the file that was opened, and not through a link: one put in
  // its place since (or a file moved there) is not replaced.
  TFileFacts now;
  if (!FPlace.Look(FTarget, now) || !now.regular || now.identity != old.identity) return false;
  FPlace.Rename(FTempName, FTarget);
  FCommitted = true;
  return true;
}

TNewFiles::TNewFiles(const TBeside& place) : FPlace(place), FUser(place.Files().User()) {
  const std::string target = place.Target();
  for (int slot = 0; slot < beside::kSlots; ++slot) {
    TFound file;
    file.name = beside::TempName(target, beside::SlotDigits(slot));
    TFileFacts facts;
    if (!place.Look(file.name, facts)) continue;
    try {
      const auto stream = place.Open(file.name, TFileMode::fmOpenReadPlain);
      file.owner = FactsOf(*stream).owner;
      file.held = !stream->Lock(TFileLock::flShared, false);
    } catch (const Exception&) {
      // Gone in the meantime, no plain file, or not ours to open.
      continue;
    }
    FFound.push_back(std::move(file));
  }
}

bool TNewFiles::Replacing(const std::string& fileOwner) const {
  for (const TFound& file : FFound)
    if (file.held && (file.owner.empty() || file.owner == FUser || file.owner == fileOwner))
      return true;
  return false;
}

void TNewFiles::RemoveLeftovers() const {
  for (const TFound& file : FFound)
    if (!file.held && (file.owner.empty() || file.owner == FUser)) FPlace.Remove(file.name);
}

void ReserveFor(TStream& source, TStream& file, int64_t size) {
  const TFileFacts facts = FactsOf(source);
  const bool holes = facts.allocated >= 0 && facts.allocated < facts.size;
  file.Reserve(size, holes ? facts.allocated : -1);
}

void CopyContent(TStream& source, TStream& file, int64_t size) {
  const TFileFacts facts = FactsOf(source);
  const bool holes = facts.allocated >= 0 && facts.allocated < facts.size;
  std::vector<char> buffer(64 << 10);
  for (int64_t at = 0; at < size;) {
    const int64_t n = source.ReadAt(at, buffer.data(), std::min<int64_t>(size - at, buffer.size()));
    if (n <= 0)
      throw EReadError(Format("The new content ended at byte %lld of %lld: it was cut short",
                              static_cast<long long>(at), static_cast<long long>(size)));
    if (holes && std::all_of(buffer.begin(), buffer.begin() + n, [](char c) { return c == 0; })) {
      file.Zero(at, n);
    } else {
      file.SetPosition(at);
      file.WriteBuffer(buffer.data(), n);
    }
    at += n;
  }
  file.SetSize(size);
}

}  // namespace tagscope
