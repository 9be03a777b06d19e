#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tagscope {

// The picture types of attached pictures, 0 ("Other") to 20 ("Publisher logotype").
inline constexpr int PictureTypeCount = 21;

// The name people read for a picture type ("Cover (front)"); "" for a type past the list.
std::string_view PictureTypeLabel(int pictureType);
// The same, "Unknown (n)" for a type past the list.
std::string PictureTypeName(int pictureType);
// The short word a command line names it by ("front"), indexed by type.
const std::vector<std::string>& PictureTypeKeywords();
// The type a keyword names (compared without regard to case), or -1.
int PictureTypeFromKeyword(std::string_view keyword);

}  // namespace tagscope
