#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tagscope {

class TID3Tag;

// The genre a content-type text stands for: a text that is just a reference "(n)" to a genre
// of the list reads as that genre's entry ("(17)" reads "(17) Rock"); any other text stays as
// it is.
std::string ResolveGenreReference(const std::string& contentType);

// The genre and year, in full as UTF-8, as a reader of the tag is shown them. The genre: the
// content-group frame (the Genre field), else the content type (TCON) with its reference
// resolved. The year: the year frame (TYER), else the year at the front of the recording time
// (TDRC).
std::string ShownGenre(const TID3Tag& tag);
std::string ShownYear(const TID3Tag& tag);

// Sets the year (UTF-8) in the frame that readers of the tag's version show first: TDRC in an
// ID3v2.4 tag, TYER before. The date frames of the other version go, or readers would go on
// showing a stale one, and so do the day and time of the old date, which belonged to it.
void SetShownYear(TID3Tag& tag, const std::string& year);

// The text values of the first frame with the ID, each value in full (a list in an ID3v2.4
// tag has several), empty values left out; none when the tag has no such frame.
std::vector<std::string> TextValues(const TID3Tag& tag, std::string_view id);

}  // namespace tagscope
