#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "tagscope/engine/id3_engine.h"

namespace tagscope::cli {

// A tag as the dry run compares it: each frame's ID, its payload and its content in words, in
// tag order, with what else a write gives the file (the tag's version, the padding asked for,
// the footer, whether an ID3v1 trailer goes with it).
struct TTagLines {
  struct TFrame {
    std::string id;       // as shown
    std::string payload;  // as the tag holds it, which the comparison goes by
    std::string flags;    // the frame's flags set, in words
    std::string text;     // every field, every value
  };
  int version = 0;
  bool present = false;  // the file holds an ID3v2 tag
  std::string unread;    // what its read did not account for, which a write drops
  bool v1 = false;
  bool footer = false;
  int64_t padding = 0;         // the padding after the frames, as read or as asked for
  bool paddingChosen = false;  // asked for: the write gives the tag at least that much
  std::vector<TFrame> frames;
};
TTagLines TagLines(TID3Engine& engine, bool v1);
// What `set --dry-run` prints: what the change does to the tag, frame by frame
// (TALB: "Old" -> "New"; added and removed frames), or that it changes nothing. A frame whose
// bytes change shows, although its words may read the same (a picture's bytes, an encoding).
void PrintChanges(std::ostream& out, const std::string& fileName, const TTagLines& before,
                  const TTagLines& after);

}  // namespace tagscope::cli
