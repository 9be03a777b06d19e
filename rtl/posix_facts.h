#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "tagscope/rtl/folder.h"
#include "tagscope/rtl/stream.h"

namespace tagscope {

// The open folder's descriptor.
int FolderDescriptor(const TFolder& folder);
// What the system records of the open file `fd`, or, with `leaf`, of what stands under that
// name in the folder `fd` (AT_FDCWD: the current one; no link followed unless `follow`);
// false when it cannot be looked at.
bool DescribeFile(int fd, const char* leaf, TFileFacts& facts, bool follow = false);
// The names of a file's extended attributes, listed by `list` as listxattr lists them (with no
// room given, the room needed); false when unreadable.
bool AttributeNames(const std::function<ssize_t(char*, size_t)>& list,
                    std::vector<std::string>& names);

// The calls that reach one file's extended attributes, as listxattr, getxattr, setxattr and
// removexattr (on a descriptor, or on a name with no link followed).
struct TAttributeCalls {
  std::function<ssize_t(char*, size_t)> list;
  std::function<ssize_t(const char*, void*, size_t)> get;
  std::function<int(const char*, const void*, size_t)> set;
  std::function<int(const char*)> remove;
};
// The access control list as the system stores it (an extended attribute of its own).
inline constexpr const char* kAccessListAttribute = "system.posix_acl_access";
// Gives file `to` the extended attributes of file `from`, and its access control list or none:
// a new file may have taken its folder's default list, which goes where `from` has none. The
// marks this program puts on a file it is changing ("user.tagscope.") are never copied. False
// when one could not be given, the system's error set.
bool CopyAttributeSet(const TAttributeCalls& from, const TAttributeCalls& to);
// The value of the attribute `name`, read through `get`; false, the system's error set
// (ENODATA: there is none), when it cannot be read.
bool AttributeValue(const std::function<ssize_t(const char*, void*, size_t)>& get, const char* name,
                    std::string& value);

}  // namespace tagscope
