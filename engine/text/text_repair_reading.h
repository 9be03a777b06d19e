#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tagscope {

// How a text reads, for telling a repaired text from a misread one: lower is likelier writing.
// Case changing inside words, signs between letters, Latin words of four letters or more made
// of accented letters nearly alone ("Ãðóïïà", "Êèíî"), and characters that text in tags hardly
// holds (half-width katakana, box drawing, the rarer Cyrillic letters), small letters after
// capitals inside a word, each add to it; a text that is not plausible at all (control characters,
// scripts mixed in a word) gets kImplausible.
inline constexpr int kImplausible = 1000;
int ReadingOddity(std::string_view utf8);
// Latin words of `least` letters or more, nearly all of them beyond ASCII ("Ãðóïïà").
int DenseLatinWords(std::string_view utf8, int least);

// Signs beyond ASCII standing next to other characters beyond ASCII ("‹³ˆç"): what a reading
// of multi-byte text in a single-byte set gives.
int SignRuns(std::string_view utf8);

// Runs of three characters or more beyond ASCII with a sign among them ("¤C¨½­»", "°ÅÁþ¸»"):
// what reading two-byte characters one byte at a time gives. Two alone ("±½") are writing.
int MisreadRuns(std::string_view utf8);

// Ideographs with a blank between them, which Chinese and Japanese do not write: a reading of
// Korean, whose words blanks part.
int SpacedIdeographs(std::string_view utf8);

// How rare the characters are that bytes give in a multi-byte character set: the sets' own
// extensions and second-level characters count, the common ranges do not. 0 for other sets.
int ByteRarity(std::string_view bytes, std::string_view charset);

// The bytes a text had when a program read them as WINDOWS-1252 (ISO-8859-1 where that leaves
// a byte undefined), or none when a character is not one such a reading gives.
std::optional<std::string> Cp1252Bytes(std::string_view utf8);

// Whether every character beyond ASCII is a letter of a script other than Latin.
bool NonLatinLettersOnly(std::string_view utf8);

}  // namespace tagscope
