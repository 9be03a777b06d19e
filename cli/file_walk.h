#pragma once

#include <string>
#include <vector>

#include "tagscope/rtl/stream.h"

namespace tagscope::cli {

// A file a verb is to work on: named on the command line, or found in a folder named there.
struct TWalkFile {
  std::string path;    // UTF-8
  bool found = false;  // found in a folder: worked on only when its content is MP3
  std::string error;   // why it cannot be worked on (a folder without -r, a FIFO, a folder
                       // the walk could not read, ...): a failure
  // Found in a folder whose listing held no writer's name (a journal, a new file beside one):
  // see TEngineOptions::noJournalListed.
  bool noJournalListed = false;
};

// The files the arguments name, in their order; with `recursive`, a folder stands for the files
// below it, sorted by path. The walk never follows a link to a folder, reads a folder reached
// twice (a bind mount) once, and passes over FIFOs, devices and sockets without opening them; a
// named one is refused. It leaves out the files writers make beside a file (new content,
// journals), which are not the user's. A folder that cannot be read, or lies too deep, is an
// entry with an error.
std::vector<TWalkFile> CollectFiles(const std::vector<std::string>& arguments, bool recursive);

// Whether bytes that begin a file begin an MP3: an ID3v2 tag or an MPEG audio frame header.
bool LooksLikeMp3(const std::string& head);
// The same for a stream (reads its first bytes).
bool StreamLooksLikeMp3(TStream& stream);

// What a file's first bytes say, for a file found in a folder.
enum class TContent { ctMp3, ctOther, ctUnreadable };
// Reads the first bytes of the file `path`; `reason` says why they could not be read.
TContent LookAtFile(const std::string& path, std::string& reason);
// Whether a file is named as an MP3 (".mp3", in any case): one found in a folder that cannot be
// read is a failure, like one named on the command line; any other is only noted.
bool NamedMp3(const std::string& path);

}  // namespace tagscope::cli
