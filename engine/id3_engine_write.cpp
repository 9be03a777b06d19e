// Writing and erasing a tag in the file.
// Placeholder until the tag writer is built: both operations refuse with a clear message.
#include "engine/id3_engine.h"
#include "rtl/exception.h"

namespace tagscope {

void TID3Engine::SaveTag() {
  throw Exception("Writing a tag is not available in this build");
}

void TID3Engine::RemoveTag() {
  throw Exception("Erasing a tag is not available in this build");
}

}  // namespace tagscope
