#pragma once

#include <ostream>
#include <string>

#include "engine/id3_engine.h"

namespace tagscope::cli {

// What the engine holds for the file it has open, as a JSON object (byte strings taken as
// ISO-8859-1 and written as UTF-8) and as text for people.
std::string DumpJson(TID3Engine& engine);
void DumpText(std::ostream& out, TID3Engine& engine);

}  // namespace tagscope::cli
