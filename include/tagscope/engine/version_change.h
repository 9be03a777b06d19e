#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tagscope {

class TID3Tag;

// Makes the tag one of version 3 or 4 for the next write, its frames converted as the
// standards say. To version 3: the recording time TDRC becomes TYER, TDAT and TIME (a time not
// in the standard form gives TYER the year it starts with), TDOR becomes TORY, the people lists
// TIPL and TMCL one IPLS, the values of a text list are joined with "/", and the frames version
// 3 has no form for (RVA2, TSOP, TMOO, ...; IsVersion4Frame) go; texts in the encodings version
// 3 lacks (UTF-8, UTF-16 without a byte-order mark) become UTF-16 with a mark, and what only
// version 4 has (footer, tag restrictions, update flag) goes. To version 4: TYER, TDAT and TIME
// become TDRC, TORY becomes TDOR and IPLS becomes TIPL (a year or original year not in the
// standard form moves as it is); a "/" in a text stays (it may be part of a name, "AC/DC"), and
// the frames version 4 removed (RVAD, EQUA, TRDA, TSIZ, a day or time without a year) go.
// Returns the IDs of the frames that went, each once, in tag order.
std::vector<std::string> ChangeTagVersion(TID3Tag& tag, uint8_t version);

// Whether a frame ID is one of those ID3v2.4 brought, which a tag of version 3 lacks, and the
// version 3 frame that holds the same content ("" where there is none): TDRC's is TYER (with
// TDAT and TIME), TDOR's TORY, TIPL's and TMCL's IPLS.
bool IsVersion4Frame(std::string_view id);
std::string_view Version3Equivalent(std::string_view id);

// How a frame that an edit sets fits a tag of the version (3 or 4).
enum class TVersionFit {
  vfFits,       // the version has it, or it is of no version in particular
  vfConverted,  // the other version's form of content the version has: TYER, TDAT, TIME, TORY
                // and IPLS in version 4; TDRC, TDOR, TIPL and TMCL in version 3
  vfKept,       // not the version's, and yet written into its tags by players: the sort orders
                // TSOP, TSOA, TSOT and the additions TSO2 and TCMP in version 3
  vfMissing     // the version has no form for it (TDRL, RVA2 in version 3; TRDA, TSIZ in 4)
};
TVersionFit FrameVersionFit(std::string_view id, uint8_t version);

// Puts the frames of `frames`, a tag of the other version than `tag`'s, into `tag` converted
// as a version change converts them (FrameVersionFit's vfConverted); the frames of `tag` whose
// content they replace go first (a new date replaces the year, day and time frames). Returns
// the IDs of the frames that have no form in `tag`'s version and did not go in.
std::vector<std::string> AddConvertedFrames(TID3Tag& tag, TID3Tag& frames);
// Puts into `to` the year, day and time frames of version 3 (TYER, TDAT, TIME) that the
// recording time (TDRC) of `from`, a tag of version 4, comes to: an edit of one of them then
// changes that part of the date. Nothing when `from` has no recording time in the standard form.
void AddVersion3Dates(TID3Tag& to, const TID3Tag& from);

}  // namespace tagscope
