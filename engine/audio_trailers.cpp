// APEv2, Lyrics3 and ID3v1 blocks at the end of an MP3 file.
#include "engine/audio_trailers.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "tagscope/rtl/byte_reader.h"

namespace tagscope {

namespace {

constexpr int64_t kId3v1Size = 128;
constexpr int64_t kApeFooterSize = 32;
constexpr uint32_t kApeHasHeader = 1u << 31;
constexpr int64_t kLyrics3Tail = 15;            // six size digits and "LYRICS200"
constexpr int64_t kLyrics1Max = 5100 + 11 + 9;  // text, "LYRICSBEGIN", "LYRICSEND"

constexpr int64_t kTail = 512;  // read at once: the usual trailers lie within it

// The stream's bytes, its last kTail held after one read.
class TTailReader {
 public:
  TTailReader(TStream& stream, int64_t size) : FStream(stream) {
    FBase = std::max<int64_t>(size - kTail, 0);
    FTail = Read(FBase, size);
  }
  // The bytes [from, to), fewer at the stream's end.
  std::string Bytes(int64_t from, int64_t to) {
    if (from >= FBase && to <= FBase + static_cast<int64_t>(FTail.size()))
      return FTail.substr(static_cast<size_t>(from - FBase), static_cast<size_t>(to - from));
    return Read(from, to);
  }

 private:
  std::string Read(int64_t from, int64_t to) {
    std::string bytes(static_cast<size_t>(std::max<int64_t>(to - from, 0)), '\0');
    const int64_t n = FStream.ReadAt(from, bytes.data(), static_cast<int64_t>(bytes.size()));
    bytes.resize(static_cast<size_t>(std::max<int64_t>(n, 0)));
    return bytes;
  }

  TStream& FStream;
  int64_t FBase = 0;
  std::string FTail;
};

// Where an APEv2 tag that ends at `end` begins; -1 when none does.
int64_t ApeStart(TTailReader& stream, int64_t floor, int64_t end) {
  if (end - floor < kApeFooterSize) return -1;
  const std::string footer = stream.Bytes(end - kApeFooterSize, end);
  TByteReader r(footer);
  if (footer.size() != kApeFooterSize || r.ViewAt(0, 8) != "APETAGEX") return -1;
  // The size counts the items and the footer; a header before them is counted apart.
  const auto size = static_cast<int64_t>(r.LEAt(12, 4));
  const auto flags = static_cast<uint32_t>(r.LEAt(20, 4));
  const int64_t total = size + ((flags & kApeHasHeader) ? kApeFooterSize : 0);
  if (size < kApeFooterSize || total > end - floor) return -1;
  return end - total;
}

// Where a Lyrics3 block that ends at `end` begins; -1 when none does.
int64_t Lyrics3Start(TTailReader& stream, int64_t floor, int64_t end) {
  if (end - floor < kLyrics3Tail) return -1;
  const std::string tail = stream.Bytes(end - kLyrics3Tail, end);
  if (tail.size() != kLyrics3Tail) return -1;
  const std::string_view view(tail);
  if (view.substr(6) == "LYRICS200") {
    int64_t size = 0;
    for (const char c : view.substr(0, 6)) {
      if (c < '0' || c > '9') return -1;
      size = size * 10 + (c - '0');
    }
    const int64_t begin = end - kLyrics3Tail - size;
    if (begin < floor || stream.Bytes(begin, begin + 11) != "LYRICSBEGIN") return -1;
    return begin;
  }
  if (view.substr(6) != "LYRICSEND") return -1;
  // Version 1 gives no size: its text is at most 5100 bytes.
  const int64_t from = std::max(floor, end - kLyrics1Max);
  const std::string block = stream.Bytes(from, end);
  const size_t at = block.rfind("LYRICSBEGIN");
  return at == std::string::npos ? -1 : from + static_cast<int64_t>(at);
}

}  // namespace

TAudioTrailers FindAudioTrailers(TStream& file, int64_t size, int64_t floor) {
  TAudioTrailers t;
  int64_t end = size;
  if (end <= floor) {
    t.start = end;
    return t;
  }
  TTailReader stream(file, size);
  if (end - floor >= kId3v1Size && stream.Bytes(end - kId3v1Size, end - kId3v1Size + 3) == "TAG") {
    t.id3v1 = true;
    end -= kId3v1Size;
  }
  for (bool more = true; more;) {
    more = false;
    int64_t at = -1;
    if (!t.apeTag && (at = ApeStart(stream, floor, end)) >= 0) {
      t.apeTag = more = true;
      t.apeStart = at;
      t.apeEnd = end;
      end = at;
    } else if (!t.lyrics3 && (at = Lyrics3Start(stream, floor, end)) >= 0) {
      t.lyrics3 = more = true;
      t.lyrics3Start = at;
      t.lyrics3End = end;
      end = at;
    }
  }
  t.start = end;
  return t;
}

}  // namespace tagscope
