#pragma once

#include <string>
#include <vector>

#include "tagscope/engine/file_naming.h"
#include "tagscope/engine/id3_tag.h"

namespace tagscope::cli {

// The frames that the fields of a name format write (TPE1 for artist, ...).
std::vector<std::string> FramesOfFormat(const TNameFormat& format);

// Fills the fields of the tag from the file's name (set --from-name): the name's last
// parts, as many as the format has folders, without its extension. A track or disc number
// keeps the count after its "/" that the tag had. Raises EConvertError when the name does not
// match the format.
void SetFromName(TID3Tag& tag, const TNameFormat& format, const std::string& fileName);

}  // namespace tagscope::cli
