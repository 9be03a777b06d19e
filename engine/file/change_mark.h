#pragma once

#include <optional>
#include <string>

#include "tagscope/rtl/stream.h"

namespace tagscope {

class TBeside;

// The mark a writer stores with the file itself (an extended attribute) while a journalled
// change of it is under way: set before the first byte of the file changes (and flushed first
// where the file has other names), removed once the change is flushed. It names the change (a
// random nonce, which its journal records too) and where its journal stands, so that every name of
// the file, in any folder, sees the change pending, a rename carries it, and a journal applies only
// to the change it was made for. It is never copied onto another file.
struct TChangeMark {
  // The attribute's name: in the namespace any user who may write the file may set.
  static constexpr const char* kAttribute = "user.tagscope.change";

  std::string nonce;  // the change's; its journal records the same
  // Where the journal stands, for a file with other names (hard links), which look for it
  // there: the folder, absolute, ending with the delimiter, and the name in it the change was
  // made through. Empty for a file of one name, whose journal stands beside it (or beside the
  // name it had in the same folder): a mark that short stays within the file's own record on
  // the disk, where a longer one costs a block of its own to set and to remove.
  std::string folder;
  std::string target;

  // A new mark of a change through `place`, with a nonce of its own; with the journal's place
  // where `located`.
  static TChangeMark For(const TBeside& place, bool located);
  // The absolute path of the folder of `place`, as a mark records it.
  static std::string FolderOf(const TBeside& place);
  // Whether the mark is flushed before the change begins: a mark that names the journal's
  // place, which the file's other names depend on to find it. A mark of a file of one name is
  // a guide only (to a journal left under a name the file had), flushed with the change.
  bool FlushedFirst() const { return !folder.empty(); }
  std::string Encode() const;
  // The mark an attribute's value holds; nullopt when it is none of a writer's.
  static std::optional<TChangeMark> Decode(const std::string& value);

  // Reads the mark of the file `file` is open on: nullopt when it has none. `supported` tells
  // whether the file system keeps such marks at all.
  static std::optional<TChangeMark> Read(TStream& file, bool* supported = nullptr);
  // Stores the mark on the file; false where the file system keeps none (nothing stored).
  bool Store(TStream& file) const;
  static void Remove(TStream& file);
};

}  // namespace tagscope
