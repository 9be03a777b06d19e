#pragma once

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "tagscope/engine/id3_engine.h"

namespace tagscope::cli {

// A tag as the dry run compares it: each frame's ID and its content in words, in tag order,
// with the tag's version and whether an ID3v1 trailer goes with it.
struct TTagLines {
  int version = 0;
  bool v1 = false;
  std::vector<std::pair<std::string, std::string>> frames;
};
TTagLines TagLines(TID3Engine& engine, bool v1);
// What `set --dry-run` prints: what the change does to the tag, frame by frame
// (TALB: "Old" -> "New"; added and removed frames), or that it changes nothing.
void PrintChanges(std::ostream& out, const std::string& fileName, const TTagLines& before,
                  const TTagLines& after);

}  // namespace tagscope::cli
