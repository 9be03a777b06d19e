// Writing and erasing the tag in the file.
#include "engine/id3_engine.h"
#include "engine/tag_writer.h"

namespace tagscope {

void TID3Engine::SaveTag() {
  if (Active()) TTagWriter(*this).Save();
}

void TID3Engine::RemoveTag() {
  if (Active()) TTagWriter(*this).Remove();
}

}  // namespace tagscope
