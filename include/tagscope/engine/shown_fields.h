#pragma once

#include <string>

namespace tagscope {

class TID3Engine;

// The genre a content-type text stands for: a reference "(n)" with n below 80 reads as that
// entry of the genre list; any other text stays as it is.
std::string ResolveGenreReference(const std::string& contentType);

// The genre and year, in full as UTF-8, as a reader of the tag is shown them. The genre: the
// content-group frame (the engine's Genre), else the content type (TCON) with its reference
// resolved. The year: the year frame (TYER), else the year at the front of the recording time
// (TDRC).
std::string ShownGenre(const TID3Engine& engine);
std::string ShownYear(const TID3Engine& engine);

}  // namespace tagscope
