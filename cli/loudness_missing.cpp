// tagscope loudness, in a build without the audio library (no libmpg123 or libebur128 for its
// target): the verb is there to say so.
#include <iostream>

#include "cli/verbs.h"

namespace tagscope::cli {

namespace {

RegisterVerb registerLoudness([](CLI::App& app) {
  auto* cmd = app.add_subcommand("loudness", "Measure loudness (not built in)");
  cmd->allow_extras();
  return Verb{cmd, [] {
                std::cerr << "tagscope: loudness is not built in: this build of tagscope has no "
                             "MPEG decoder and loudness meter (libmpg123, libebur128)\n";
                return 1;
              }};
});

}  // namespace

}  // namespace tagscope::cli
