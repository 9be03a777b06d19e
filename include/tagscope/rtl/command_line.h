#pragma once

#include <string>
#include <vector>

namespace tagscope {

// A program's arguments as UTF-8, its own name first. POSIX hands them over as they are.
// Windows hands main() its arguments in the ANSI code page, which holds few of the characters
// a name or a text may have, so there they are read from the wide-character command line.
// Throws EConvertError for an argument that is not valid Unicode.
std::vector<std::string> Utf8ProgramArguments(int argc, char** argv);

// Lets a console show the program's UTF-8 output (Windows); the console's own code page returns
// when the program ends.
void UseUtf8ConsoleOutput();

// Whether the standard error stream goes to a terminal (where a progress line may be shown),
// and whether the standard output does.
bool StandardErrorIsTerminal();
bool StandardOutputIsTerminal();

}  // namespace tagscope
