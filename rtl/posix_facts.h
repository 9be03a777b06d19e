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

}  // namespace tagscope
