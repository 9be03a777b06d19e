#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tagscope/rtl/utf8.h"

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
// The same text in full as UTF-8: encodings 1-3 decoded exactly (a byte-order mark of either
// order honoured, surrogate pairs joined), ill-formed sequences, lone surrogates and an odd last
// byte of UTF-16 as U+FFFD; encoding 0 and unknown encoding bytes as ISO-8859-1.
std::string DecodeTextUtf8(std::string_view bytes, uint8_t encoding);
// Both views from one pass over the bytes.
void DecodeTextViews(std::string_view bytes, uint8_t encoding, std::string& latin1,
                     std::string& utf8);

// The encoding a writer gives a text: ISO-8859-1 when every character fits, else UTF-8 in an
// ID3v2.4 tag and UTF-16 with a byte-order mark in older versions, which lack UTF-8.
uint8_t EncodingForText(std::string_view utf8, uint8_t version);
// A UTF-8 text in the encoding, without terminator: ISO-8859-1 with '?' for what it lacks,
// UTF-16 little-endian after its byte-order mark, UTF-16BE without one, or UTF-8 (ill-formed
// sequences as U+FFFD in every case).
std::string EncodeText(std::string_view utf8, uint8_t encoding);
// The zero bytes that end a string in the encoding.
std::string Terminator(uint8_t encoding);

}  // namespace tagscope
