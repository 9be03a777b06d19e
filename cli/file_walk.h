#pragma once

#include <string>
#include <vector>

#include "tagscope/rtl/stream.h"

namespace tagscope::cli {

// A file a verb is to work on: named on the command line, or found in a folder named there.
struct TWalkFile {
  std::string path;    // UTF-8
  bool found = false;  // found in a folder: worked on only when its content is MP3
  std::string error;   // why it cannot be worked on (a folder without -r, a FIFO, ...)
};

// The files the arguments name, in their order; with `recursive`, a folder stands for the files
// below it, sorted by path. The walk never follows a link to a folder, reads a folder reached
// twice (a bind mount) once, and passes over FIFOs, devices and sockets without opening them; a
// named one is refused. A folder too deep to be read is an entry with an error.
std::vector<TWalkFile> CollectFiles(const std::vector<std::string>& arguments, bool recursive);

// Whether bytes that begin a file begin an MP3: an ID3v2 tag or an MPEG audio frame header.
bool LooksLikeMp3(const std::string& head);
// The same for a stream (reads its first bytes), and for a file on disk (false when it cannot be
// read).
bool StreamLooksLikeMp3(TStream& stream);
bool FileLooksLikeMp3(const std::string& path);

}  // namespace tagscope::cli
