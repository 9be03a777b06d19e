#include "rtl/files_win.h"

#include <windows.h>
// After windows.h, which it needs.
#include <aclapi.h>

#include <atomic>
#include <vector>

#include "tagscope/rtl/files.h"
#include "tagscope/rtl/folder.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope {

namespace {

std::atomic<bool> utf8FileNames{false};

// The code page of the names: UTF-8 when selected, else the one the ANSI file API would use.
UINT FileNameCodePage() {
  if (utf8FileNames) return CP_UTF8;
  return ::AreFileApisANSI() ? CP_ACP : CP_OEMCP;
}

}  // namespace

void UseUtf8FileNames(bool utf8) {
  utf8FileNames = utf8;
}

bool WideFileName(const std::string& name, std::wstring& wide) {
  const UINT codePage = FileNameCodePage();
  // A zero byte would end the name early, and bytes that are not UTF-8 would turn into U+FFFD:
  // either could name another file.
  if (name.find('\0') != std::string::npos) {
    ::SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  if (codePage == CP_UTF8) {
    if (!IsValidUtf8(name)) {
      ::SetLastError(ERROR_INVALID_NAME);
      return false;
    }
    const std::u16string units = Utf8ToUtf16(name);
    wide.assign(units.begin(), units.end());
    return true;
  }
  const int length = ::MultiByteToWideChar(codePage, 0, name.c_str(), -1, nullptr, 0);
  if (length <= 0) {
    ::SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  wide.assign(length, L'\0');
  ::MultiByteToWideChar(codePage, 0, name.c_str(), -1, wide.data(), length);
  wide.pop_back();  // the terminator
  return true;
}

std::string NarrowFileName(const std::wstring& wide) {
  const UINT codePage = FileNameCodePage();
  if (codePage == CP_UTF8) return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
  const int size = static_cast<int>(wide.size());
  const int length =
      ::WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::string();
  std::string result(length, '\0');
  ::WideCharToMultiByte(codePage, 0, wide.data(), size, result.data(), length, nullptr, nullptr);
  return result;
}

bool FileExists(const std::string& fileName) {
  std::wstring name;
  if (!WideFileName(fileName, name)) return false;
  const DWORD attributes = ::GetFileAttributesW(name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool RemoveFile(const std::string& fileName) {
  std::wstring name;
  return WideFileName(fileName, name) && ::DeleteFileW(name.c_str()) != 0;
}

bool RenameFile(const std::string& from, const std::string& to) {
  std::wstring wideFrom, wideTo;
  return WideFileName(from, wideFrom) && WideFileName(to, wideTo) &&
         ::MoveFileExW(wideFrom.c_str(), wideTo.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool RenameNoReplace(const std::string& from, const std::string& to) {
  std::wstring wideFrom, wideTo;
  // Without MOVEFILE_REPLACE_EXISTING the move fails on any name that is taken, a link's too.
  return WideFileName(from, wideFrom) && WideFileName(to, wideTo) &&
         ::MoveFileExW(wideFrom.c_str(), wideTo.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
}

std::string ResolveFileName(const std::string& fileName) {
  return fileName;
}

std::string ResolveLinkName(const std::string& fileName) {
  return ResolveFileName(fileName);
}

bool NameTaken(const std::string& fileName) {
  std::wstring name;
  // The attributes of a link or junction are its own: nothing is followed.
  return WideFileName(fileName, name) &&
         ::GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CopyExtendedAttributes(const std::string& from, const std::string& to) {
  // The access rules the old file has of its own (a new file inherits only the folder's): its
  // list is given to the new file, which inherits the folder's rules anew unless the old one
  // was shut off from them.
  std::wstring wideFrom, wideTo;
  if (!WideFileName(from, wideFrom) || !WideFileName(to, wideTo)) return false;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetNamedSecurityInfoW(wideFrom.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
    return false;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ::GetSecurityDescriptorControl(descriptor, &control, &revision);
  const SECURITY_INFORMATION what =
      DACL_SECURITY_INFORMATION |
      ((control & SE_DACL_PROTECTED) ? PROTECTED_DACL_SECURITY_INFORMATION
                                     : UNPROTECTED_DACL_SECURITY_INFORMATION);
  std::vector<wchar_t> name(wideTo.begin(), wideTo.end());
  name.push_back(L'\0');
  const DWORD result =
      ::SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, what, nullptr, nullptr, dacl, nullptr);
  ::LocalFree(descriptor);
  return result == ERROR_SUCCESS;
}

bool CopyFilePermissions(const std::string& from, const std::string& to) {
  std::wstring wideFrom, wideTo;
  if (!WideFileName(from, wideFrom) || !WideFileName(to, wideTo)) return false;
  const DWORD attributes = ::GetFileAttributesW(wideFrom.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  const DWORD kept = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                   FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
  return ::SetFileAttributesW(wideTo.c_str(), kept ? kept : FILE_ATTRIBUTE_NORMAL) != 0;
}

bool GetFileInfo(const std::string& fileName, TFileInfo& info) {
  std::wstring name;
  if (!WideFileName(fileName, name)) return false;
  // No access asked for: devices and folders open too, to be told apart.
  const HANDLE h =
      ::CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION data{};
  const bool disk = ::GetFileType(h) == FILE_TYPE_DISK;
  const bool known = ::GetFileInformationByHandle(h, &data) != 0;
  ::CloseHandle(h);
  info.folder = known && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  info.regular = disk && known && !info.folder;
  info.links = known ? data.nNumberOfLinks : 1;
  info.size = known ? static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) |
                                           data.nFileSizeLow)
                    : 0;
  info.modified = known ? static_cast<int64_t>(
                              (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                              data.ftLastWriteTime.dwLowDateTime)
                        : 0;
  info.identity = known ? std::to_string(data.dwVolumeSerialNumber) + ":" +
                              std::to_string((static_cast<uint64_t>(data.nFileIndexHigh) << 32) |
                                             data.nFileIndexLow)
                        : std::string();
  return true;
}

bool DescribeName(const std::string& fileName, TFileFacts& facts, bool follow) {
  if (!follow) {
    const TFolder folder(ExtractFilePath(fileName));
    return folder.Look(fileName.substr(ExtractFilePath(fileName).size()), facts);
  }
  TFileInfo info;
  if (!GetFileInfo(fileName, info)) return false;
  facts.identity = info.identity;
  facts.size = info.size;
  facts.modified = info.modified;
  facts.changed = info.modified;
  facts.links = info.links;
  facts.regular = info.regular;
  facts.folder = info.folder;
  return true;
}

void SyncFolder(const std::string&) {}

std::string GetTempDir() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
  std::string result =
      length > 0 && length <= MAX_PATH ? NarrowFileName(std::wstring(buffer, length)) : "";
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
  std::string result;
  const DWORD flags =
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  if (utf8FileNames) {
    wchar_t* text = nullptr;
    const DWORD length =
        ::FormatMessageW(flags, nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (text) {
      const int size =
          ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
      if (size > 0) {
        result.assign(size, '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, text, length, result.data(), size, nullptr, nullptr);
      }
      ::LocalFree(text);
    }
  } else {
    char* text = nullptr;
    const DWORD length =
        ::FormatMessageA(flags, nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    result.assign(text ? text : "", length);
    if (text) ::LocalFree(text);
  }
  while (!result.empty() && (result.back() == '\r' || result.back() == '\n')) result.pop_back();
  if (result.empty()) result = "System error " + std::to_string(code);
  return result;
}

char PathDelimiter() {
  return '\\';
}

namespace {

// Volume serial number and file index: what tells one file from another on Windows.
bool FileIdentity(const std::string& fileName, BY_HANDLE_FILE_INFORMATION& info) {
  std::wstring name;
  if (!WideFileName(fileName, name)) return false;
  // No access rights are needed to read a file's identity; directories open with the flag.
  const HANDLE handle =
      ::CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool ok = ::GetFileInformationByHandle(handle, &info) != 0;
  ::CloseHandle(handle);
  return ok;
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION first{}, second{};
  return FileIdentity(a, first) && FileIdentity(b, second) &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

}  // namespace tagscope
