#include "tagscope/rtl/command_line.h"

#include <unistd.h>

namespace tagscope {

std::vector<std::string> Utf8ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

void UseUtf8ConsoleOutput() {}

bool StandardErrorIsTerminal() {
  return isatty(STDERR_FILENO) != 0;
}

bool StandardOutputIsTerminal() {
  return isatty(STDOUT_FILENO) != 0;
}

}  // namespace tagscope
