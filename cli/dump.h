#pragma once

#include <ostream>
#include <string>

#include "cli/frame_print.h"
#include "tagscope/engine/id3_engine.h"

namespace tagscope::cli {

// What the engine holds for the file it has open, as a JSON object (texts in full as UTF-8;
// "fileBytes" in hexadecimal beside a file name that was not UTF-8) and as text for people
// (UTF-8, control characters escaped). Besides the engine's fields, both give the genre and
// year as the viewer shows them, with its fallbacks. Every frame's content is decoded by its kind;
// `binary` says how much of binary payloads the JSON gives.
std::string DumpJson(TID3Engine& engine, TBinaryDetail binary = TBinaryDetail::bdSize);
void DumpText(std::ostream& out, TID3Engine& engine);

}  // namespace tagscope::cli
