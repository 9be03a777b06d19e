#include <windows.h>

#include <string>

#include "rtl/files_win.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/file_move.h"
#include "tagscope/rtl/files.h"

namespace tagscope {

namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& name) {
  throw EFCreateError(
      Format("Cannot %s \"%s\": %s", what.c_str(), name.c_str(), LastSystemErrorText().c_str()));
}

std::wstring Wide(const std::string& name) {
  std::wstring wide;
  if (!WideFileName(name, wide)) Fail("use the name", name);
  return wide;
}

}  // namespace

TMoveOutcome MoveWithoutReplacing(const std::string& folder, const std::string& name,
                                  const std::string& target) {
  const std::string base =
      folder.empty() || folder.back() == '\\' || folder.back() == '/' ? folder : folder + "\\";
  // The target's folders, each made where missing; a junction or link where one should be
  // is refused, not followed.
  size_t from = 0;
  for (size_t slash = target.find('/'); slash != std::string::npos;
       from = slash + 1, slash = target.find('/', from)) {
    std::string path = base + target.substr(0, slash);
    for (char& c : path)
      if (c == '/') c = '\\';
    const std::wstring wide = Wide(path);
    if (!::CreateDirectoryW(wide.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
      Fail("make the folder", path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) Fail("open the folder", path);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      ::SetLastError(ERROR_DIRECTORY);
      Fail("open the folder (a link or a file is in the way?)", path);
    }
  }
  std::string to = base + target;
  for (char& c : to)
    if (c == '/') c = '\\';
  // Without MOVEFILE_REPLACE_EXISTING the move fails when the target name is taken.
  if (::MoveFileExW(Wide(base + name).c_str(), Wide(to).c_str(), MOVEFILE_WRITE_THROUGH))
    return TMoveOutcome::moMoved;
  const DWORD error = ::GetLastError();
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
    return TMoveOutcome::moTargetTaken;
  Fail("move", name);
}

}  // namespace tagscope
