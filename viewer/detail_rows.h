#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tagscope/engine/id3v1_trailer.h"
#include "tagscope/engine/mpeg_audio.h"
#include "tagscope/engine/stream_report.h"

namespace tagscope {

class TID3Engine;
struct TTrailerTags;

// One row of the "Details" page: a property, its value on one line for the list, and the
// whole value for the text box below it (several lines for lyrics). A heading row leads each
// group and has no value.
struct TDetailRow {
  std::string Property;
  std::string Value;
  std::string Whole;
  bool Heading = false;
};

// The captions of the group headings, in the order the groups appear.
inline constexpr const char* kDetailsAudio = "Audio";
inline constexpr const char* kDetailsGain = "ReplayGain";
inline constexpr const char* kDetailsFindings = "Findings";
inline constexpr const char* kDetailsTag = "Tag";
inline constexpr const char* kDetailsFrames = "Frames";

// The rows of the page, all as UTF-8: the audio facts, the ReplayGain values (of the tag, and
// of the APE tag in `trailerTags`) and the `findings` of the stream, each group only where it
// holds any, what the tag is (version, size, padding, flags, how its read went, the ID3v1
// trailer's fields, the other trailers behind the audio, with the items of `trailerTags` where
// given) and every frame the other pages do not show, in tag order. Reads nothing but what the
// engine already holds and what is handed in.
std::vector<TDetailRow> DetailRows(const TID3Engine& engine, const TMpegAudioProperties& audio,
                                   const std::optional<TID3v1Trailer>& trailer,
                                   const TTrailerTags* trailerTags = nullptr,
                                   const std::vector<TStreamFinding>& findings = {});

// A length in seconds as minutes and seconds, "3:07" (rounded down; minutes past 59 go on).
std::string MinutesSeconds(double seconds);
// A POPM rating byte (1 to 255) as a number of stars out of five; 0 for 0, "unrated".
int RatingStars(int rating);

}  // namespace tagscope
