#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <vector>

namespace tagscope::cli {

// Each verb adds its sub-command to the application and sets the handler that runs it;
// the handler returns the process exit status.
using VerbRunner = std::function<int()>;
struct Verb {
  CLI::App* command = nullptr;
  VerbRunner run;
};

// Verbs register themselves here from their own source files.
std::vector<std::function<Verb(CLI::App&)>>& VerbRegistry();

struct RegisterVerb {
  explicit RegisterVerb(std::function<Verb(CLI::App&)> add) {
    VerbRegistry().push_back(std::move(add));
  }
};

}  // namespace tagscope::cli
