#pragma once

#include <string>

#include "tagscope/engine/id3_engine.h"

namespace tagscope::cli {

// The engine open on an existing file; for writing unless only reading is needed. Opened for
// writing, it says what it did to finish a change that an earlier writer did not end.
void OpenEngine(TID3Engine& engine, const std::string& fileName, bool readOnly, bool force);

// Runs a write or erase; a refusal over a tag not read in full names the way to go ahead.
void Change(TID3Engine& engine, void (TID3Engine::*operation)());

}  // namespace tagscope::cli
