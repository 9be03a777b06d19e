#pragma once

#include <string>

#include "cli/set_request.h"
#include "tagscope/engine/id3_engine.h"

namespace tagscope::cli {

// Chapters and synchronised lyrics for the set verb, read from the files named before any file
// is changed: a chapter list is checked for its form now and against each file's audio when
// that file is changed.
void ReadChapterList(const std::string& fileName, TSetRequest& request);
// The lyrics file is read in `charset`, else as UTF-8 or in the set its bytes show; lines that
// are no lyrics are passed over with a note.
void ReadLrc(const std::string& fileName, const std::string& charset, TSetRequest& request);
// Puts the chapters and lyrics asked for into the engine's tag (open on `fileName`).
void ApplyTimed(const TSetRequest& request, TID3Engine& engine, const std::string& fileName);

}  // namespace tagscope::cli
