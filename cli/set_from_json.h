#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tagscope/engine/frame_value.h"

namespace tagscope {
class TID3Tag;
}

namespace tagscope::cli {

// One frame of `dump --json` output, as `set --from-json` writes it: its ID, its flags, and its
// content to render, or the payload's own bytes where the JSON gives them.
struct TJsonFrame {
  std::string id;
  TFrameValue value;
  std::optional<std::string> payload;
  bool tagAlterDiscardable = false, fileAlterDiscardable = false, readOnly = false,
       compress = false, encrypted = false, unsynchronisation = false, dataLengthIndicator = false,
       grouping = false;
  uint8_t groupId = 0, encryptionId = 0;
};

// The frames of one file's `dump --json` output, and the tag version it names (3 or 4).
struct TJsonTag {
  std::optional<uint8_t> version;
  // The version whose forms the frames are in: 3 for a dump of an ID3v2.2 tag, whose frames
  // were read as their ID3v2.3 equivalents; none when the JSON names no version.
  std::optional<uint8_t> frameVersion;
  std::vector<TJsonFrame> frames;
  // The IDs of the ID3v2.2 frames that later versions have no form for, left out with force.
  std::vector<std::string> dropped;
};

// Reads what `dump --json` prints for one file (binary payloads as `--binary` gives them) and
// checks that each frame can be written. Raises EConvertError naming the JSON path of what is
// wrong ("frames[3].content.owner"), or the byte where the text stops being JSON. An ID3v2.2
// frame that later versions have no form for is refused, or with `force` left out.
TJsonTag ParseDumpJson(std::string_view json, bool force = false);

// Replaces the tag's frames by the frames, in order, rendered for the tag's version: frames in
// the forms of another version are converted as a version change converts them. Returns the
// IDs of the frames the tag's version has no form for, which went, each once.
std::vector<std::string> WriteJsonFrames(const TJsonTag& json, TID3Tag& tag);

}  // namespace tagscope::cli
