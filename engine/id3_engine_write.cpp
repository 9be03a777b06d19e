// Writing and erasing the tag in the file, through the writer and the file side.
#include "engine/tag_file.h"
#include "engine/tag_writer.h"
#include "tagscope/engine/id3_engine.h"

namespace tagscope {

void TID3Engine::SaveTag() {
  if (!Active()) return;
  TTagWriter(*this, *FFile).Save();
}

void TID3Engine::RemoveTag() {
  if (!Active()) return;
  TTagWriter(*this, *FFile).Remove();
}

}  // namespace tagscope
