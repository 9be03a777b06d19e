#pragma once

#include <string>
#include <string_view>

namespace tagscope {

// The building blocks of repairing misread texts, for programs with texts of their own.
// Whether ISO-8859-1 bytes read wrong as such: C1 control characters, three or more non-ASCII
// characters in a row, or a sign between two letters.
bool LooksMisread(std::string_view latin1);
// Whether a UTF-8 text reads as text: well formed, without control characters or replacement
// characters, its words each of one script and its letters beyond ASCII of one script.
bool PlausibleText(std::string_view utf8);
// How unlikely a plausible text is as writing (case changing inside words, signs inside
// words); lower is likelier.
int TextOddity(std::string_view utf8);
// The character set a detector finds for the bytes; empty when it finds none or when this
// build has no detector (CharsetDetection() is false).
std::string DetectCharset(std::string_view bytes);
bool CharsetDetection();

}  // namespace tagscope
