#include "engine/file/file_replace.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#ifndef _WIN32
#include <pwd.h>
#endif

#include "engine/file/journal_format.h"
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

namespace {

// The user 0 of the system, who gives the new files of other users' files to their owners.
constexpr const char* kAdministrator = "0";

bool IsJournal(TStream& file) {
  char head[sizeof journal::kMagic] = {};
  return file.ReadAt(0, head, sizeof head) == static_cast<int64_t>(sizeof head) &&
         std::equal(head, head + sizeof head, journal::kMagic);
}

}  // namespace

std::string OwnerText(const std::string& owner) {
  if (owner.empty()) return "an unknown user";
  std::string text = "user " + owner;
#ifndef _WIN32
  char* end = nullptr;
  const unsigned long number = std::strtoul(owner.c_str(), &end, 10);
  struct passwd entry {};
  struct passwd* found = nullptr;
  std::vector<char> buffer(16 << 10);
  if (end && *end == '\0' &&
      ::getpwuid_r(static_cast<uid_t>(number), &entry, buffer.data(), buffer.size(), &found) == 0 &&
      found && found->pw_name)
    text += Format(" (%s)", found->pw_name);
#endif
  return text;
}

TNewFiles::TNewFiles(const TBeside& place) : FPlace(place), FUser(place.Files().User()) {
  const std::string target = place.Target();
  for (int slot = 0; slot < beside::kSlots; ++slot) {
    TFound file;
    file.name = beside::TempName(target, beside::SlotDigits(slot));
    if (!place.Look(file.name, file.facts)) continue;
    // A FIFO or device is never opened, a link never followed: only what is a plain file now.
    if (file.facts.regular) try {
        const auto stream = place.Open(file.name, TFileMode::fmOpenReadPlain);
        file.facts = FactsOf(*stream);
        file.opened = true;
        file.held = !stream->Lock(TFileLock::flShared, false);
        file.journal = file.held && IsJournal(*stream);
      } catch (const Exception&) {
        // Gone in the meantime, swapped for what is no plain file, or not this user's to open.
        if (!place.Look(file.name, file.facts)) continue;
      }
    FFound.push_back(std::move(file));
  }
}

bool TNewFiles::Replacing(const std::string& fileOwner) const {
  for (const TFound& file : FFound) {
    const std::string& owner = file.facts.owner;
    if (file.held && !file.journal && (owner.empty() || owner == FUser || owner == fileOwner))
      return true;
  }
  return false;
}

bool TNewFiles::Removable(const TFound& file, const std::string& fileOwner) const {
  if (!file.opened || file.held || !file.facts.regular) return false;
  const std::string& owner = file.facts.owner;
  // The administrator's writer gives its new file to the file's owner before it renames it
  // into place: one killed after that leaves a file of the owner's, which the owner's next
  // writer would remove as well. Under this target's slot names, unlocked, a plain file of the
  // file's owner is taken for such a leftover (the owner may not have made it, but the owner's
  // own writers remove it just the same).
  return owner.empty() || owner == FUser || (FUser == kAdministrator && owner == fileOwner);
}

std::string TNewFiles::RemoveLeftovers(const std::string& fileOwner) const {
  size_t left = 0;
  std::vector<const TFound*> others;
  for (const TFound& file : FFound) {
    if (Removable(file, fileOwner)) {
      // Removed only while the name still leads to the file that was found unlocked.
      TFileFacts now;
      if (FPlace.Look(file.name, now) && now.identity == file.facts.identity &&
          FPlace.Remove(file.name))
        continue;
    }
    ++left;
    const bool ours = file.facts.regular && (file.facts.owner.empty() || file.facts.owner == FUser);
    if (!ours) others.push_back(&file);
  }
  if (left < static_cast<size_t>(beside::kSlots) || others.empty()) return std::string();
  return PlantsNote(others);
}

std::string TNewFiles::PlantsNote(const std::vector<const TFound*>& others) const {
  // Each owner once, in the order found.
  std::vector<std::string> owners;
  for (const TFound* file : others) {
    const std::string& owner = file->facts.owner;
    std::string who =
        owner.empty() || owner == FUser ? "this user (no plain files)" : OwnerText(owner);
    if (std::find(owners.begin(), owners.end(), who) == owners.end()) owners.push_back(who);
  }
  std::string whose;
  for (const std::string& owner : owners) whose += (whose.empty() ? "" : ", ") + owner;
  const std::string target = FPlace.Target();
  const std::string first = beside::TempName(target, beside::SlotDigits(0));
  const std::string last = beside::TempName(target, beside::SlotDigits(beside::kSlots - 1));
  const std::string pattern = first.substr(0, first.size() - std::string("0.tmp").size());
  return Format(
      "All %d names beside \"%s\" that its writers give their new files (\"%s\" to \"%s\") are "
      "taken by files this writer may not remove, of %s; new files get other names until these "
      "are removed (by their owner: rm -- '%s'?'.tmp')",
      beside::kSlots, target.c_str(), first.c_str(), last.c_str(), whose.c_str(), pattern.c_str());
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
