#pragma once

#include <functional>
#include <memory>
#include <string>

#include "tagscope/rtl/stream.h"

namespace tagscope {

// Writing a file's new content beside it and renaming it into the file's place. One pattern
// names the new files, "<name>.ID3TMP<8 hexadecimal digits>.tmp" in the file's folder (long
// names cut, with a digest of the whole name, see OwnName), so that a writer can tell its own
// leftovers from anything else; one loop finds a free name. The digits are drawn at random, or
// taken from a few fixed slots, so that a writer finds its leftovers by name alone.
namespace beside {

// Names longer than this are cut in the names made from them, leaving room in a 255-byte name
// for what follows.
inline constexpr size_t kNameRoom = 200;
// The fixed slots: the digits 00000000 to 0000000F.
inline constexpr int kSlots = 16;

// What stands for a file's name (without folder) in the names made beside it: the name itself
// when it is short enough, else its start and 16 hexadecimal digits of its SHA-256.
std::string OwnName(const std::string& name);
// The digits of a slot.
std::string SlotDigits(int slot);

// Eight random hexadecimal digits.
std::string RandomDigits();
// The new files' names for `target` start with this: its folder, its name (shortened) and mark.
std::string TempPrefix(const std::string& target);
// The name of the new file for `target` with the given digits.
std::string TempName(const std::string& target, const std::string& digits);
// Whether `digits` are eight hexadecimal digits, as the pattern has them.
bool ValidDigits(const std::string& digits);
// Whether `entry` (a name without folder) is a new file's name for `target`, and its digits.
bool IsTempNameOf(const std::string& entry, const std::string& target, std::string* digits);

// Creates the new file for `target` through `create`, which must create exclusively (never
// taking over a name that exists, nor following a link under it) and raise EFCreateError when
// it cannot; a name that turns out to be taken is replaced by another. `name` receives the
// name used. The error names the new file that could not be made, the reason and `target`.
// With `slots`, the names of the fixed slots are tried in order, then (all of them taken) random
// ones; else random ones only. `taken` says whether anything stands under a name (by default,
// looked up by the name).
std::unique_ptr<TStream> CreateTemp(
    const std::string& target, std::string& name,
    const std::function<std::unique_ptr<TStream>(const std::string&)>& create, bool slots = false,
    const std::function<bool(const std::string&)>& taken = nullptr);

// Renames `temp` over `target`, replacing it; raises EFCreateError naming `target` and the
// system's reason.
void RenameOver(const std::string& temp, const std::string& target);

// Whether `leaf` (a name without folder) is one that writers give their own files beside a
// file: new content or a journal kept for the next write ("<name>.ID3TMP<digits>.tmp"), a
// journal ("<name>.ID3JRN") or a journal set aside ("<name>.ID3JRN.<digits>.stale"), <name>
// as OwnName makes it. Only these exact forms count: they are not the user's files.
bool IsWritersName(const std::string& leaf);

}  // namespace beside

}  // namespace tagscope
