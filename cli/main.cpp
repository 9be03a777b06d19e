#include <iostream>
#include <sstream>
#include <string>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "cli/verbs.h"
#include "tagscope/rtl/command_line.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/files.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope::cli {

std::vector<std::function<Verb(CLI::App&)>>& VerbRegistry() {
  static std::vector<std::function<Verb(CLI::App&)>> registry;
  return registry;
}

// Help goes out as it is; an error quotes the arguments, which may hold escape sequences: each
// of its lines is escaped, as every message of the tool is.
int ExitOnParseError(CLI::App& app, const CLI::ParseError& e) {
  if (e.get_exit_code() == 0) return app.exit(e);
  std::ostringstream out, err;
  const int status = app.exit(e, out, err);
  std::cout << out.str();
  std::istringstream lines(err.str());
  for (std::string line; std::getline(lines, line);)
    std::cerr << tagscope::EscapeForTerminal(line) << "\n";
  return status;
}

}  // namespace tagscope::cli

int main(int argc, char** argv) {
  using namespace tagscope::cli;
#if defined(__GLIBC__)
  // Memory freed after one file is kept for the next rather than handed back to the system,
  // which would fault it in again page by page, file after file.
  mallopt(M_TRIM_THRESHOLD, 32 << 20);
  mallopt(M_MMAP_THRESHOLD, 4 << 20);
#endif
  CLI::App app{"tagscope: shows, dumps and edits the ID3 tags of MP3 files"};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string("tagscope ") + TAGSCOPE_VERSION);
  app.footer(
      "Example:\n  tagscope show song.mp3\nEach verb tells more with --help, as in: tagscope set "
      "--help");
  std::vector<Verb> verbs;
  for (auto& add : VerbRegistry()) verbs.push_back(add(app));
  // Arguments, file names and output are UTF-8 on every platform.
  tagscope::UseUtf8FileNames(true);
  tagscope::UseUtf8ConsoleOutput();
  std::vector<std::string> arguments;
  try {
    arguments = tagscope::Utf8ProgramArguments(argc, argv);
  } catch (const tagscope::Exception& e) {
    std::cerr << "tagscope: " << tagscope::EscapeForTerminal(e.what()) << "\n";
    return 1;
  }
  std::vector<const char*> pointers;
  for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
  try {
    app.parse(static_cast<int>(pointers.size()), pointers.data());
  } catch (const CLI::ParseError& e) {
    return ExitOnParseError(app, e);
  }
  try {
    for (auto& verb : verbs)
      if (verb.command->parsed()) return verb.run();
  } catch (const std::exception& e) {
    // Messages may quote file names and tag texts: shown escaped, as the texts are.
    std::cerr << "tagscope: " << tagscope::EscapeForTerminal(e.what()) << "\n";
    return 1;
  }
  return 1;
}
