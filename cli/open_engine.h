#pragma once

#include <cstdint>
#include <string>

#include "tagscope/engine/id3_engine.h"

namespace tagscope::cli {

// The engine open on an existing file; for writing unless only reading is needed. Opened for
// writing, it says what it did to finish a change that an earlier writer did not end.
void OpenEngine(TID3Engine& engine, const std::string& fileName, bool readOnly, bool force);

// A file's time of last write, taken before a change and set back after it (--preserve-mtime).
// Set back through a handle on the file the name leads to once the change is done, which is
// the new file where the change replaced the old one.
class TKeptModified {
 public:
  // Takes the time when `keep` is set; else Restore does nothing.
  TKeptModified(const std::string& fileName, bool keep);
  // Raises EWriteError when the time could not be set back: the change itself is done.
  void Restore() const;

 private:
  std::string FFileName;
  bool FKeep;
  int64_t FModified = 0;
};

// Runs a write or erase; a refusal over a tag not read in full names the way to go ahead.
void Change(TID3Engine& engine, void (TID3Engine::*operation)());

}  // namespace tagscope::cli
