#pragma once

#include <cstdint>

namespace tagscope {

// Messages the viewer sends to its host window (WM_APP + 101 and WM_APP + 102).
inline constexpr std::uint32_t WM_VIEWER_FILEOPENED = 0x8000 + 101;
inline constexpr std::uint32_t WM_VIEWER_EXIT = 0x8000 + 102;

// Passed by address with WM_VIEWER_FILEOPENED; the record and both strings are valid only while
// the host handles the message.
struct TViewerFileInfo {
  const char* FileName = nullptr;
  const char* FileType = nullptr;
};

}  // namespace tagscope
