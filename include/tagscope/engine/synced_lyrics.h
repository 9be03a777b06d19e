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
// tags before the first time ("[ar:Artist]") and blank lines are skipped, while a "[" after a
// time is text ("[00:12.00][Chorus] la la"). Word stamps inside a line ("<mm:ss.xx>", the
// enhanced form) time its words: the line then comes back as a piece a word, each at its time,
// and every line's first piece but the first line's starts with its line break "\n" (one
// line of words ends with it), as synchronised lyrics mark lines made of syllables.
// The lines come back in order of time (lines of one time in the order given), in
// milliseconds. A line that is none of these (or not UTF-8, or holding a zero byte) is passed
// over, as players do, with why in
// `skipped` when given ("line 4: ..."); a text without a timed line is refused with
// EConvertError.
std::vector<TSyncedLine> ParseLrc(std::string_view text,
                                  std::vector<std::string>* skipped = nullptr);
// The bytes of an LRC file as UTF-8: with a byte-order mark as it says (UTF-8, UTF-16), UTF-8
// as it is, else in `charset`, or when none is named in the one a detector finds for them.
// Bytes the detector finds to be UTF-8 with a flaw stay as they are, for ParseLrc to pass over
// the lines at fault. Raises EConvertError when the bytes do not convert cleanly.
std::string LrcTextToUtf8(std::string_view bytes, std::string_view charset = {});
// Timed texts as the lines they make: each entry its own line, unless some begin or end with a
// line break, which then marks where lines of several pieces (syllables, words) begin and end.
// The pieces keep their texts without those breaks.
std::vector<std::vector<TSyncedLine>> SyncedTextLines(const std::vector<TSyncedLine>& lines);
// The lines as LRC: "[mm:ss.xx]text", with a third digit where the time needs it, and the
// further pieces of a line of several after word stamps ("[00:01.00]Strang<00:01.50>ers").
// Line breaks inside a text become blanks.
std::string FormatLrc(const std::vector<TSyncedLine>& lines);

// The languages of the tag's synchronised lyrics, in tag order, each once.
std::vector<std::string> SyncedLyricsLanguages(const TID3Tag& tag);
// The tag's synchronised lyrics (of the language, when one is named): the first SYLT frame
// holding lyrics, else the first SYLT frame; none when it has none.
std::optional<TSyncLyricsFrame> GetSyncedLyrics(const TID3Tag& tag, std::string_view language = {});
// Puts the lines (times in milliseconds) in a SYLT frame of the language with content type
// lyrics and no description, in place of the one there was, and the words alone, a line each,
// in the USLT frame of that language without description, for players that do not time
// lyrics. No lines remove both.
void SetSyncedLyrics(TID3Tag& tag, const std::string& language,
                     const std::vector<TSyncedLine>& lines);

}  // namespace tagscope
