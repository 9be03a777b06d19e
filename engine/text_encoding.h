#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tagscope {

// The text encodings of ID3v2 payloads, by their encoding byte.
enum TTextEncoding : uint8_t {
  teISO88591 = 0,  // one byte per character
  teUTF16 = 1,     // UTF-16 with a byte-order mark
  teUTF16BE = 2,   // UTF-16 big-endian
  teUTF8 = 3,
};

// Bytes of a terminator in the encoding: 2 for UTF-16, else 1.
size_t TerminatorWidth(uint8_t encoding);
// Offset of the terminator of the string that starts at begin (two zero bytes on a 2-byte
// boundary from begin for UTF-16, a zero byte otherwise), or std::string_view::npos.
size_t FindTerminator(std::string_view bytes, size_t begin, uint8_t encoding);
// The string from begin up to its terminator or the end of the bytes.
std::string_view TerminatedString(std::string_view bytes, size_t begin, uint8_t encoding);
// Decodes text in the encoding into single-byte ISO-8859-1; a character outside it becomes
// '?'. Unknown encoding bytes are taken as ISO-8859-1.
std::string DecodeText(std::string_view bytes, uint8_t encoding);
// ISO-8859-1 bytes as UTF-8.
std::string Latin1ToUtf8(std::string_view text);

}  // namespace tagscope
