#pragma once

#include <cstdint>
#include <string>

#include "tagscope/rtl/stream.h"

namespace tagscope {

// What a writer must know about a file before it changes or replaces it.
struct TFileInfo {
  bool regular = false;  // a plain file: not a device, FIFO, socket or folder
  bool folder = false;
  uint64_t links = 1;    // names (hard links) that share its data
  std::string identity;  // equal for two names of one file, and for an open stream on it
  int64_t size = 0;
  int64_t modified = 0;  // last write, in the platform's finest unit
};

bool FileExists(const std::string& fileName);
// Whether anything at all stands under the name (a file, a folder, a link, even a dangling one):
// the name itself is looked at, no link followed.
bool NameTaken(const std::string& fileName);
// The name itself when it is no symbolic link; else, links resolved, the name its data is
// stored under (as ResolveFileName). Costs one look at the name where it is no link.
std::string ResolveLinkName(const std::string& fileName);
// Gives file `to` the extended attributes of file `from` (on POSIX, access control lists among
// them; links not followed), and its access control list or none; this program's own marks
// ("user.tagscope.") are not copied. False when one of them could not be given. True where the
// platform keeps none with the file.
bool CopyExtendedAttributes(const std::string& from, const std::string& to);
// Deletes a file; returns false when it could not be deleted.
bool RemoveFile(const std::string& fileName);
// Renames a file, replacing the target when it exists; returns false on failure.
bool RenameFile(const std::string& from, const std::string& to);
// Renames a file only when nothing stands under the target name (not even a link, which is not
// followed); returns false, nothing moved, when the name is taken or the rename failed.
bool RenameNoReplace(const std::string& from, const std::string& to);
// The name under which a file's data is stored: symbolic links resolved. The name itself where
// the platform has no such links or the name cannot be resolved.
std::string ResolveFileName(const std::string& fileName);
// Gives file `to` the access permissions of file `from` (and, on POSIX, its owner and group as
// far as this process may); false when the permissions could not be copied.
bool CopyFilePermissions(const std::string& from, const std::string& to);
// Describes the file a name leads to (links followed); false when there is none or it cannot
// be examined.
bool GetFileInfo(const std::string& fileName, TFileInfo& info);
// What stands under a name, as TFileStream::Describe tells it: with `follow`, the file a link
// there leads to, else the name itself (a link is no regular file); false when nothing does.
bool DescribeName(const std::string& fileName, TFileFacts& facts, bool follow);
// Makes the folder's list of names durable (a rename or a new file in it survives a crash)
// where the platform needs it, as TFolder::Sync; raises EFOpenError when the folder cannot be
// opened, EWriteError with the system's reason when the flush fails.
void SyncFolder(const std::string& folder);
// The system's temporary folder, always ending with the path delimiter.
std::string GetTempDir();
// The folder part of a path including its trailing delimiter, or "" when it has none.
std::string ExtractFilePath(const std::string& fileName);
// The system's text for its last error (errno or GetLastError).
std::string LastSystemErrorText();
// The platform's path delimiter.
char PathDelimiter();

// How the file functions and TFileStream read file names, process-wide. On Windows names are
// taken in the ANSI code page by default, as a host hands them over; a program that selects
// UTF-8 can name every file the file system holds, and LastSystemErrorText then gives UTF-8 as
// well, so a message that quotes a name stays in one encoding. POSIX names are bytes: there
// this changes nothing.
void UseUtf8FileNames(bool utf8);

// Whether two names reach the same file (the same name, another spelling, a link, a hard link):
// compared by the file's identity on its volume. False when either cannot be looked at.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace tagscope
