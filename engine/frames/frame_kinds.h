#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/frames/field_reader.h"
#include "engine/frames/field_writer.h"

namespace tagscope {

// A kind of frame content: its name, how its payload is parsed into fields and rendered from
// them. Frames of one kind have the same fields.
struct TFrameKind {
  std::string_view id;
  std::string_view name;
  void (*parse)(TFieldReader&);
  void (*render)(TFieldWriter&);  // nullptr: not written from fields
};

// The kind of a frame ID: its own, else text for IDs starting with T, link for W, raw bytes
// for any other.
const TFrameKind& FrameKindOf(std::string_view id);

// DecodeFrameContent for a frame embedded `depth` frames deep.
TFrameValue DecodeFrameContentAt(std::string_view id, std::string_view payload, uint8_t version,
                                 int depth);

// The payload rebuilt for a tag of `toVersion` by its kind's render from what its parse read
// in a tag of `fromVersion`, its texts in an encoding that version has; nothing when the kind
// has no render or the payload does not read cleanly (it is best left as it is then).
std::optional<std::string> RenderedForVersion(std::string_view id, std::string_view payload,
                                              uint8_t fromVersion, uint8_t toVersion);

}  // namespace tagscope
