#pragma once

#include <array>
#include <string>

#include "tagscope/engine/picture_types.h"  // PictureTypeName
#include "tagscope/engine/shown_fields.h"   // ResolveGenreReference

namespace tagscope {

// Splits "3/12" at its first slash into "3" and "12"; without a slash Second is empty. Nothing
// is trimmed, and further slashes stay in Second.
void SplitPair(const std::string& s, std::string& first, std::string& second);
// True when no byte is below 32 (bytes of 128 and up count as printable); "" is printable.
bool IsPrintableText(const std::string& s);

// Whether a link may be handed to the shell: only http, https, ftp and mailto links (the scheme
// compared without regard to case), never a program or a local path.
bool IsOpenableLink(const std::string& url);

}  // namespace tagscope
