// The genre and year of an engine's tag as a reader is shown them, which the ID3v1 trailer's
// write reads: nothing while no file is open.
#include "tagscope/engine/id3_engine.h"
#include "tagscope/engine/shown_fields.h"

namespace tagscope {

std::string ShownGenre(const TID3Engine& engine) {
  return engine.Active() ? ShownGenre(engine.Tag()) : std::string();
}

std::string ShownYear(const TID3Engine& engine) {
  return engine.Active() ? ShownYear(engine.Tag()) : std::string();
}

}  // namespace tagscope
