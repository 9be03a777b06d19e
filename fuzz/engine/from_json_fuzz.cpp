// set --from-json on arbitrary text: what dump --json prints, read back into frames and written
// into a tag. Nothing may crash; text that is refused raises the tool's conversion error and
// leaves the tag as it was; frames that are taken are written in full and read back as many.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "cli/set_from_json.h"
#include "tagscope/engine/id3_tag.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/stream.h"

namespace {

using namespace tagscope;

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  cli::TJsonTag json;
  try {
    json = cli::ParseDumpJson(text);
  } catch (const EConvertError&) {
    return 0;
  }
  for (const uint8_t version : {3, 4}) {
    TID3Tag tag;
    tag.Header().SetVersionNumber(version);
    tag.Frames().Add().SetName("TIT2");
    cli::WriteJsonFrames(json, tag);
    // Frames of an ID3v2.2 dump converted for version 4 merge (dates, people) or go.
    const bool converted = json.frameVersion && !json.version && *json.frameVersion != version;
    Check(converted ? tag.Frames().Count() <= static_cast<int>(json.frames.size())
                    : tag.Frames().Count() == static_cast<int>(json.frames.size()));
    TMemoryStream out;
    tag.WriteFrames(out);
    TID3Tag again;
    again.Header().SetVersionNumber(tag.Header().VersionNumber());
    again.ParseFrames(nullptr, out.Bytes());
    Check(again.Frames().Count() == tag.Frames().Count());
  }
  return 0;
}
