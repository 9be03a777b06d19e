#pragma once

#include <string>
#include <string_view>

#include "tagscope/engine/frame_value.h"

namespace tagscope {

// A frame's content on one line as people read it ("Example Song"; "[eng] Notes: text"): texts
// in quotes where several stand side by side, binary data by its size, damage noted at the end.
// Control characters are escaped, so the line never breaks. Always well-formed UTF-8.
std::string FrameContentText(const TFrameValue& value);

// A UTF-8 text in quotes, which show where it begins and ends, control characters and escape
// sequences escaped.
std::string Quoted(const std::string& utf8);

// Whether bytes are short printable ASCII (an identifier, an owner's data) that read as text.
bool IsShortPrintable(std::string_view bytes);

}  // namespace tagscope
