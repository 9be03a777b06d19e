#pragma once

#include <functional>
#include <memory>
#include <string>

#include "tagscope/engine/flush_group.h"
#include "tagscope/engine/id3_engine.h"

namespace tagscope::cli {

// Printed before what is shown of a file whose change was cut short (JournalPending).
inline constexpr const char* kJournalPendingWarning =
    "An interrupted change left a journal beside this file: what is shown may be half old, half "
    "new until the next write or erase of the file puts it back";
// What the engines a thread opens for writing share while many files are changed at once
// (ChangeEachFile): the group of their folders' flushes, and where the notes of their
// recoveries go, to be printed in the files' order. Set per thread; none by default.
struct TChangeRun {
  std::shared_ptr<TFlushGroup> flushes;
  std::string notes;
};
void SetChangeRun(TChangeRun* run);
// Prints a line of notes about a file's change on stderr, or into the thread's change run.
void PrintNote(const std::string& line);

// The engine open on an existing file; for writing unless only reading is needed. Opened for
// writing, it says what it did to finish a change that an earlier writer did not end (on
// stderr, or into the thread's change run).
void OpenEngine(TID3Engine& engine, const std::string& fileName, bool readOnly, bool force);

// Runs a write or erase; a refusal that a forced write goes past (a tag not read in full, a
// file that is not MP3) names the way to go ahead.
void Change(TID3Engine& engine, const std::function<void()>& operation);
void Change(TID3Engine& engine, void (TID3Engine::*operation)());

}  // namespace tagscope::cli
