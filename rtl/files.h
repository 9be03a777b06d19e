#pragma once

#include <string>

namespace tagscope {

bool FileExists(const std::string& fileName);
// Deletes a file; returns false when it could not be deleted.
bool RemoveFile(const std::string& fileName);
// Renames a file, replacing the target when it exists; returns false on failure.
bool RenameFile(const std::string& from, const std::string& to);
// The system's temporary folder, always ending with the path delimiter.
std::string GetTempDir();
// The folder part of a path including its trailing delimiter, or "" when it has none.
std::string ExtractFilePath(const std::string& fileName);
// The system's text for its last error (errno or GetLastError).
std::string LastSystemErrorText();
// The platform's path delimiter.
char PathDelimiter();

}  // namespace tagscope
