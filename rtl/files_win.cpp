#include <windows.h>

#include "rtl/files.h"

namespace tagscope {

bool FileExists(const std::string& fileName) {
  const DWORD attributes = ::GetFileAttributesA(fileName.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool RemoveFile(const std::string& fileName) {
  return ::DeleteFileA(fileName.c_str()) != 0;
}

bool RenameFile(const std::string& from, const std::string& to) {
  return ::MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

std::string ResolveFileName(const std::string& fileName) {
  return fileName;
}

bool CopyFilePermissions(const std::string& from, const std::string& to) {
  const DWORD attributes = ::GetFileAttributesA(from.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  const DWORD kept = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                   FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
  return ::SetFileAttributesA(to.c_str(), kept ? kept : FILE_ATTRIBUTE_NORMAL) != 0;
}

std::string GetTempDir() {
  char buffer[MAX_PATH + 1] = {};
  const DWORD length = ::GetTempPathA(sizeof buffer, buffer);
  std::string result(buffer, length > 0 && length < sizeof buffer ? length : 0);
  if (result.empty()) result = ".\\";
  if (result.back() != '\\') result += '\\';
  return result;
}

std::string ExtractFilePath(const std::string& fileName) {
  const auto slash = fileName.find_last_of("\\/:");
  return slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
}

std::string LastSystemErrorText() {
  const DWORD code = ::GetLastError();
  char* text = nullptr;
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string result(text ? text : "", length);
  if (text) ::LocalFree(text);
  while (!result.empty() && (result.back() == '\r' || result.back() == '\n')) result.pop_back();
  if (result.empty()) result = "System error " + std::to_string(code);
  return result;
}

char PathDelimiter() {
  return '\\';
}

}  // namespace tagscope
