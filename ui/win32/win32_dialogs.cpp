#include "ui/win32/win32_dialogs.h"

#include <windows.h>

#include <cderr.h>
#include <commdlg.h>

#include <vector>

#include "tagscope/rtl/exception.h"
#include "ui/win32/win32_factory.h"
#include "ui/win32/win32_handles.h"

namespace tagscope {

namespace {

// Room for any path the dialog can return.
constexpr size_t kFileBufferSize = 32768;

DWORD DialogFlags(TOpenOptions options) {
  DWORD flags = OFN_EXPLORER;
  if (options & ofHideReadOnly) flags |= OFN_HIDEREADONLY;
  if (options & ofPathMustExist) flags |= OFN_PATHMUSTEXIST;
  if (options & ofFileMustExist) flags |= OFN_FILEMUSTEXIST;
  if (options & ofEnableSizing) flags |= OFN_ENABLESIZING;
  return flags;
}

const char* OrNull(const std::string& text) {
  return text.empty() ? nullptr : text.c_str();
}

}  // namespace

std::string DoubleZeroFilter(const std::string& filter) {
  if (filter.empty()) return {};
  std::string result = filter;
  for (char& c : result)
    if (c == '|') c = '\0';
  result.push_back('\0');
  result.push_back('\0');
  return result;
}

bool TWin32OpenDialog::Execute() {
  const std::string filter = DoubleZeroFilter(FProps.Filter);
  std::vector<char> file(kFileBufferSize, '\0');
  FFileName.copy(file.data(), file.size() - 1);
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = ToHwnd(FFactory.DialogOwner());
  ofn.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrTitle = OrNull(FProps.Title);
  ofn.lpstrInitialDir = OrNull(FProps.InitialDir);
  ofn.lpstrDefExt = OrNull(FProps.DefaultExt);
  ofn.Flags = DialogFlags(FProps.Options);
  BOOL chosen = GetOpenFileNameA(&ofn);
  DWORD error = chosen ? 0 : CommDlgExtendedError();
  if (error == FNERR_INVALIDFILENAME && file[0]) {
    // A name the dialog refuses to offer must not keep it from opening at all.
    file.assign(file.size(), '\0');
    chosen = GetOpenFileNameA(&ofn);
    error = chosen ? 0 : CommDlgExtendedError();
  }
  if (chosen) {
    FFileName = file.data();
    return true;
  }
  // Cancelling leaves no error code; anything else kept the dialog from working.
  if (error)
    throw Exception(
        Format("The Open dialog failed (error 0x%lX)", static_cast<unsigned long>(error)));
  return false;
}

}  // namespace tagscope
