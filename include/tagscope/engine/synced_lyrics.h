#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tagscope/engine/timed_frames.h"

namespace tagscope {

class TID3Tag;

// Reads lyrics in the LRC form (UTF-8, a byte-order mark allowed): lines that begin with one
// or more time stamps "[mm:ss]", "[mm:ss.xx]" or "[mm:ss.xxx]" ("[mm:ss:xx]" too), each giving
// the line's text a time; "[offset:+/-ms]" moves every time earlier (+) or later (-); other
// tags ("[ar:Artist]") and blank lines are skipped. The lines come back in order of time (lines
// of one time in the order given), in milliseconds. A line that is none of these, or a text
// without a timed line, is refused with EConvertError naming the line.
std::vector<TSyncedLine> ParseLrc(std::string_view text);
// The lines as LRC: "[mm:ss.xx]text", with a third digit where the time needs it. Line breaks
// in a text become blanks.
std::string FormatLrc(const std::vector<TSyncedLine>& lines);

// The tag's synchronised lyrics: the first SYLT frame holding lyrics, else the first SYLT
// frame; none when it has none.
std::optional<TSyncLyricsFrame> GetSyncedLyrics(const TID3Tag& tag);
// Puts the lines (times in milliseconds) in a SYLT frame of the language with content type
// lyrics and no description, in place of the one there was, and the words alone, a line each,
// in the USLT frame of that language without description, for players that do not time
// lyrics. No lines remove both.
void SetSyncedLyrics(TID3Tag& tag, const std::string& language,
                     const std::vector<TSyncedLine>& lines);

}  // namespace tagscope
