// Finding a Lyrics3 block behind the audio and proving where it begins.
#include "engine/trailers/lyrics3_block.h"

#include <algorithm>
#include <string>

#include "tagscope/rtl/exception.h"

namespace tagscope {

namespace {

using namespace lyrics3;

// Version 2: the six digits count the bytes from "LYRICSBEGIN" up to them.
void Version2(TTailBytes& bytes, int64_t end, TTrailerBlock& b) {
  b.markerStart = end - kEndSize - kSizeDigits;
  b.place = {b.markerStart, kEndSize + kSizeDigits};
  const int64_t size = Digits(bytes.Bytes(b.markerStart, b.markerStart + kSizeDigits));
  if (size < 0) {
    b.damage = "its six size digits before LYRICS200 are not digits";
    return;
  }
  const int64_t begin = b.markerStart - size;
  if (begin < bytes.Floor()) {
    b.damage = Format("its size (%lld bytes) reaches below the audio's start",
                      static_cast<long long>(size));
    return;
  }
  b.place = {begin, end - begin};
  if (bytes.Bytes(begin, begin + kBeginSize) != "LYRICSBEGIN")
    b.damage = Format("no LYRICSBEGIN at byte %lld, where its size (%lld bytes) puts its start",
                      static_cast<long long>(begin), static_cast<long long>(size));
}

// Version 1 gives no size: its text is at most 5100 bytes.
void Version1(TTailBytes& bytes, int64_t end, TTrailerBlock& b) {
  b.markerStart = end - kEndSize;
  b.place = {b.markerStart, kEndSize};
  const int64_t from = std::max(bytes.Floor(), b.markerStart - kMaxText1 - kBeginSize);
  const std::string text = bytes.Bytes(from, b.markerStart);
  const size_t at = text.rfind("LYRICSBEGIN");
  if (at == std::string::npos) {
    b.damage = "no LYRICSBEGIN within the 5100 bytes before its LYRICSEND";
    return;
  }
  b.place = {from + static_cast<int64_t>(at), end - from - static_cast<int64_t>(at)};
}

}  // namespace

int64_t lyrics3::Digits(std::string_view text) {
  int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::optional<TTrailerBlock> LocateLyrics3(TTailBytes& bytes, int64_t end) {
  const std::string marker = bytes.Bytes(end - kEndSize, end);
  if (marker != "LYRICS200" && marker != "LYRICSEND") return std::nullopt;
  TTrailerBlock b;
  b.kind = TTrailerKind::tkLyrics3;
  b.lyrics3Version = marker == "LYRICS200" ? 2 : 1;
  if (b.lyrics3Version == 2 && end - kEndSize - kSizeDigits < bytes.Floor()) return std::nullopt;
  if (b.lyrics3Version == 2)
    Version2(bytes, end, b);
  else
    Version1(bytes, end, b);
  return b;
}

}  // namespace tagscope
