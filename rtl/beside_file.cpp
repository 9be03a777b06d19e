#include "tagscope/rtl/beside_file.h"

#include <cctype>
#include <cstdio>
#include <random>
#include <string_view>

#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/files.h"
#include "tagscope/rtl/sha256.h"

namespace tagscope::beside {

namespace {

constexpr const char* kMark = ".ID3TMP";
constexpr const char* kEnd = ".tmp";
constexpr size_t kDigits = 8;
constexpr int kAttempts = 100;

std::string BaseName(const std::string& path) {
  return path.substr(ExtractFilePath(path).size());
}

std::string OwnPart(const std::string& target) {
  return OwnName(BaseName(target)) + kMark;
}

}  // namespace

std::string RandomDigits() {
  // One generator for every scratch name, each thread drawing from its own copy.
  thread_local std::mt19937 generator{std::random_device{}()};
  char digits[16];
  std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(generator()));
  return digits;
}

std::string OwnName(const std::string& name) {
  if (name.size() <= kNameRoom) return name;
  // A long name keeps its start, for a person to see whose it is, and a digest of the whole
  // name: two names that share their start still get names of their own. The result is longer
  // than any name kept whole, so it never equals one.
  return name.substr(0, kNameRoom) + "." + Sha256Hex(name).substr(0, 16);
}

std::string SlotDigits(int slot) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(slot));
  return digits;
}

std::string TempPrefix(const std::string& target) {
  return ExtractFilePath(target) + OwnPart(target);
}

std::string TempName(const std::string& target, const std::string& digits) {
  return TempPrefix(target) + digits + kEnd;
}

bool ValidDigits(const std::string& digits) {
  if (digits.size() != kDigits) return false;
  for (const char c : digits)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

bool IsTempNameOf(const std::string& entry, const std::string& target, std::string* digits) {
  const std::string own = OwnPart(target);
  const std::string end = kEnd;
  if (entry.size() != own.size() + kDigits + end.size() || entry.compare(0, own.size(), own) != 0 ||
      entry.compare(own.size() + kDigits, end.size(), end) != 0)
    return false;
  const std::string found = entry.substr(own.size(), kDigits);
  if (!ValidDigits(found)) return false;
  if (digits) *digits = found;
  return true;
}

std::unique_ptr<TStream> CreateTemp(
    const std::string& target, std::string& name,
    const std::function<std::unique_ptr<TStream>(const std::string&)>& create, bool slots,
    const std::function<bool(const std::string&)>& taken) {
  // Files that are not this writer's may fill every slot (planted by another user in a shared
  // folder): random names follow, so that they hold no write up.
  const int attempts = slots ? kSlots + kAttempts : kAttempts;
  for (int attempt = 1;; ++attempt) {
    const bool slot = slots && attempt <= kSlots;
    name = TempName(target, slot ? SlotDigits(attempt - 1) : RandomDigits());
    try {
      return create(name);
    } catch (const EFCreateError& e) {
      // Taken by another writer's new file, or by anything else: the next name is tried.
      if (attempt < attempts && (taken ? taken(name) : NameTaken(name))) continue;
      // The message names the new file that could not be made, and says what it was for.
      throw EFCreateError(
          Format("%s (the new content of \"%s\" is written there first, then "
                 "put in its place; \"%s\" itself was not changed)",
                 e.what(), target.c_str(), target.c_str()));
    }
  }
}

void RenameOver(const std::string& temp, const std::string& target) {
  if (!RenameFile(temp, target))
    throw EFCreateError(
        Format("Cannot create file \"%s\". %s", target.c_str(), LastSystemErrorText().c_str()));
}

namespace {

// The writers' names beside a file, after its own part: a journal's (see the engine's journal)
// and the mark of one set aside, which adds digits.
constexpr std::string_view kJournal = ".ID3JRN";
constexpr std::string_view kSetAside = ".stale";

// Takes `end` off the end of `name`; false when `name` does not end so.
bool CutEnd(std::string_view& name, std::string_view end) {
  if (!name.ends_with(end)) return false;
  name.remove_suffix(end.size());
  return true;
}

// Takes eight hexadecimal digits, and the dot before them when `dotted`, off the end of `name`.
bool CutDigits(std::string_view& name, bool dotted) {
  const size_t n = kDigits + (dotted ? 1 : 0);
  if (name.size() < n || (dotted && name[name.size() - n] != '.') ||
      !ValidDigits(std::string(name.substr(name.size() - kDigits))))
    return false;
  name.remove_suffix(n);
  return true;
}

// Whether `own` is what OwnName makes of some name: one kept whole, or a long one cut to its
// start, a dot and 16 hexadecimal digits.
bool IsOwnName(std::string_view own) {
  if (own.empty()) return false;
  if (own.size() <= kNameRoom) return true;
  constexpr size_t kDigest = 16;
  if (own.size() != kNameRoom + 1 + kDigest || own[kNameRoom] != '.') return false;
  for (const char c : own.substr(kNameRoom + 1))
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

}  // namespace

bool IsWritersName(const std::string& leaf) {
  std::string_view name = leaf;
  if (CutEnd(name, kEnd)) return CutDigits(name, false) && CutEnd(name, kMark) && IsOwnName(name);
  if (CutEnd(name, kSetAside) && !CutDigits(name, true)) return false;
  return CutEnd(name, kJournal) && IsOwnName(name);
}

}  // namespace tagscope::beside
