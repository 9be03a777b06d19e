#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/frames/field_reader.h"
#include "engine/frames/field_writer.h"

namespace tagscope {

// Which versions of the standard define a frame ID.
enum class TKindVersions : uint8_t {
  kvAll,    // both 3 and 4, or neither in particular
  kvOnly3,  // version 3, which version 4 removed
  kvOnly4,  // version 4, which brought it
};

// A kind of frame content: its name, how its payload is parsed into fields and rendered from
// them. Frames of one kind have the same fields.
struct TFrameKind {
  std::string_view id;
  std::string_view name;
  void (*parse)(TFieldReader&);
  void (*render)(TFieldWriter&);  // nullptr: not written from fields
  // What of its content makes two frames of the ID the same frame, of which a tag holds one
  // (see FrameKey); nullptr: a tag holds one frame of the ID.
  std::string (*key)(const TFrameValue&) = nullptr;
  TKindVersions versions = TKindVersions::kvAll;
  // The ID of the other version's frame that holds the same content, where one does: TORY for
  // TDOR and back, IPLS for TIPL, TDRC for TYER, TDAT and TIME.
  std::string_view otherForm = {};
  // Not version 3's, and yet written into its tags by players (sort orders, TCMP).
  bool keptByPlayersIn3 = false;
};

// The kind of a frame ID: its own, else text for IDs starting with T, link for W, raw bytes
// for any other.
const TFrameKind& FrameKindOf(std::string_view id);

// The same-frame key of content of the ID: frames whose keys are equal are one frame, which an
// edit replaces rather than adds to (a comment's language and description, a picture's type).
// None when the ID's kind has no key: a tag holds one frame of the ID, whatever it holds.
std::optional<std::string> FrameKey(std::string_view id, const TFrameValue& value);

// DecodeFrameContent for a frame embedded `depth` frames deep.
TFrameValue DecodeFrameContentAt(std::string_view id, std::string_view payload, uint8_t version,
                                 int depth);

// The payload rebuilt for a tag of `toVersion` by its kind's render from what its parse read
// in a tag of `fromVersion`, its texts in an encoding that version has; nothing when the kind
// has no render or the payload does not read cleanly (it is best left as it is then).
std::optional<std::string> RenderedForVersion(std::string_view id, std::string_view payload,
                                              uint8_t fromVersion, uint8_t toVersion);

}  // namespace tagscope
