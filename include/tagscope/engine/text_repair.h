#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tagscope/engine/text_plausible.h"

namespace tagscope {

class TID3Tag;

// Texts stored in one character set and read in another: tags that old software wrote in the
// system's code page (Cyrillic, Central European, Western, Japanese, Chinese, Korean) marked as
// ISO-8859-1, or UTF-8 bytes marked as ISO-8859-1 or read as WINDOWS-1252, read as "Ãðóïïà",
// "CafÃ©" or "Donâ€™t" (twice over too: "CafÃƒÂ©"). The bytes behind such a text are recovered
// and each text is weighed on its own: it is repaired when a reading of its bytes in one of the
// sets reads clearly better than the text as it stands, so that a file mixing sets has each
// text repaired from its own and short texts that read right ("ÄÖÜ") stay. Between readings
// that read alike the set of the file's other repaired texts wins; a text too short to tell
// is read in that set only when this gives letters of another script alone.

// One text and what it reads as in the character set it was written in.
struct TTextRepair {
  std::string Where;    // "TIT2", "TXXX (description)", "COMM (eng)", "ID3v1 title", ...
  std::string Old;      // UTF-8: as it reads now
  std::string New;      // UTF-8: as it reads in Charset
  std::string Charset;  // "UTF-8", "WINDOWS-1251", ...
  int Frame = -1;       // the frame's index in the tag; -1 for a text given apart
  int Part = 0;         // which of the frame's texts
};

// A text that is not in the tag's frames but counts for finding the character set (the
// fields of an ID3v1 trailer): its name and its bytes.
struct TLooseText {
  std::string Where;
  std::string Bytes;
};

struct TTextRepairPlan {
  std::string
      Charset;  // the set most texts were repaired from (or the one forced); empty when none
  std::vector<TTextRepair> Repairs;
};

// Finds the texts of the tag (text frames, user texts, comments, lyrics and synchronised
// lyrics, people lists, picture, object and link descriptions, the titles inside chapters and
// tables of contents) and the loose texts that read wrong, and what they read as. `from` forces
// a character set for them all; empty finds one for each.
TTextRepairPlan PlanTextRepairs(const TID3Tag& tag, const std::vector<TLooseText>& loose,
                                std::string_view from);
// Of the single-byte and two-byte sets fix-encoding repairs from, the one in which the bytes
// (a whole text, such as a lyrics file) read likeliest as writing; empty when none reads as
// text or they are ASCII.
std::string LikeliestCharset(std::string_view bytes);
// Writes the repaired texts of the tag's frames back, each frame changed in the encoding its
// version calls for (UTF-8 in ID3v2.4, UTF-16 in older versions); the loose ones are left to
// the caller. Returns how many frames changed.
int ApplyTextRepairs(TID3Tag& tag, const TTextRepairPlan& plan);

// Reads the single-byte texts of the tag's frames (those marked as ISO-8859-1, such as the
// fields imported from an ID3v1 trailer) as written in the character set, where they convert
// cleanly into text; returns how many frames changed.
int RecodeSingleByteTexts(TID3Tag& tag, std::string_view charset);
// The text of single bytes in the character set, as UTF-8; as ISO-8859-1 where they do not
// convert cleanly or no set is named.
std::string SingleByteText(std::string_view bytes, std::string_view charset);

// The fields of an ID3v1 trailer (its last 128 bytes) as loose texts; none when it is not one.
std::vector<TLooseText> ID3v1LooseTexts(std::string_view trailer);

}  // namespace tagscope
