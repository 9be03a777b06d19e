#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tagscope {

// ID3v2.2 frames: three-character IDs, most of which have a four-character equivalent of the
// same content in later versions.

// The four-character ID of a three-character one, or "" when it has none.
std::string_view V22FrameID(std::string_view id3);
// True when the three bytes are each '0'-'9' or 'A'-'Z'.
bool ValidV22FrameID(std::string_view id3);
// A PIC payload (encoding, three-letter image format, picture type, description, data) as the
// APIC payload of later versions, the format turned into a MIME type; nothing when the payload
// is too short to hold the format.
std::optional<std::string> V22PictureToAPIC(std::string_view pic);
// A LNK payload (the linked frame's three-character ID, URL, ID data) as a LINK payload, the
// ID turned into its four-character equivalent; nothing when it has none.
std::optional<std::string> V22LinkToLINK(std::string_view lnk);

}  // namespace tagscope
