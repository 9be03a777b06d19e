#pragma once

#include <string>
#include <string_view>

namespace tagscope {

// The name people read for any frame ID of ID3v2.3, ID3v2.4, the chapter frames and the common
// additions ("Chapter" for CHAP, "Attached picture" for APIC), compared without regard to case
// as DisplayName compares; for an ID the table does not know, the view of `id` itself. One
// table holds every name: the frame-name list (FrameNames) and DisplayName show its published
// rows only.
std::string_view FrameName(std::string_view id);

}  // namespace tagscope
