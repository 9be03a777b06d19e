#pragma once

#include <string>
#include <string_view>

namespace tagscope {

// The name people read for any frame ID of ID3v2.3, ID3v2.4, the chapter frames and the common
// additions ("Chapter" for CHAP, "Attached picture" for APIC); for an ID no list knows, the
// view of `id` itself. The frame-name list (FrameNames) and DisplayName keep their published
// rows; this one adds the rest.
std::string_view FrameName(std::string_view id);

}  // namespace tagscope
