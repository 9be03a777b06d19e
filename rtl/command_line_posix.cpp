#include "tagscope/rtl/command_line.h"

namespace tagscope {

std::vector<std::string> Utf8ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

void UseUtf8ConsoleOutput() {}

}  // namespace tagscope
