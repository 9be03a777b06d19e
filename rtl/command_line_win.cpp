#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdlib>
#include <cwchar>

#include "tagscope/rtl/command_line.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/files.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope {

namespace {

UINT consoleCodePage = 0;  // the console's output code page before the program changed it

void RestoreConsoleCodePage() {
  ::SetConsoleOutputCP(consoleCodePage);
}

}  // namespace

std::vector<std::string> Utf8ProgramArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!wide) throw EConvertError("Cannot read the command line. " + LastSystemErrorText());
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) {
    const std::u16string units(wide[i], wide[i] + std::wcslen(wide[i]));
    // A lone surrogate has no UTF-8 form; replacing it would name another file.
    if (!IsValidUtf16(units)) {
      ::LocalFree(wide);
      throw EConvertError(Format("Argument %d is not valid Unicode", i));
    }
    arguments.push_back(Utf16ToUtf8(units));
  }
  ::LocalFree(wide);
  return arguments;
}

void UseUtf8ConsoleOutput() {
  if (consoleCodePage != 0) return;
  const UINT current = ::GetConsoleOutputCP();  // 0 without a console
  if (current == 0 || current == CP_UTF8 || !::SetConsoleOutputCP(CP_UTF8)) return;
  consoleCodePage = current;
  std::atexit(RestoreConsoleCodePage);
}

bool StandardErrorIsTerminal() {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

bool StandardOutputIsTerminal() {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

}  // namespace tagscope
