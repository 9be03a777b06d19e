// The APE tag and the Lyrics3 block behind the audio, read item by item.
#include "tagscope/engine/trailer_tags.h"

#include <algorithm>

#include "engine/audio_trailers.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/rtl/ascii_case.h"
#include "tagscope/rtl/byte_reader.h"
#include "tagscope/rtl/exception.h"

namespace tagscope {

namespace {

constexpr int64_t kApeFooterSize = 32;
constexpr uint32_t kApeHasHeader = 1u << 31;
constexpr size_t kApeItemHead = 8;  // value size and flags
constexpr size_t kApeMinKey = 2, kApeMaxKey = 255;
constexpr int64_t kLyrics3MaxSize = 999999 + 15 + 11;  // six size digits allow no more
constexpr size_t kLyrics3FieldHead = 8;                // three-letter ID, five size digits

std::string ReadBytes(TStream& stream, int64_t from, int64_t count) {
  std::string bytes(static_cast<size_t>(std::max<int64_t>(count, 0)), '\0');
  const int64_t n = stream.ReadAt(from, bytes.data(), static_cast<int64_t>(bytes.size()));
  bytes.resize(static_cast<size_t>(std::clamp<int64_t>(n, 0, count)));
  return bytes;
}

bool KeyCharacter(char c) {
  return c >= 0x20 && c <= 0x7E;
}

// A decimal number of exactly the bytes given; -1 when any is not a digit.
int64_t Digits(std::string_view text) {
  int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

void ReadApe(TStream& stream, const TAudioTrailers& found, TApeTag& tag) {
  tag.Present = true;
  tag.Place = {found.apeStart, found.apeEnd - found.apeStart};
  const std::string footer = ReadBytes(stream, found.apeEnd - kApeFooterSize, kApeFooterSize);
  if (footer.size() != kApeFooterSize) {
    tag.Problem = "the footer could not be read";
    return;
  }
  const TByteReader r(footer);
  tag.Version = static_cast<uint32_t>(r.LEAt(8, 4));
  const auto count = static_cast<uint32_t>(r.LEAt(16, 4));
  tag.Flags = static_cast<uint32_t>(r.LEAt(20, 4));
  tag.HasHeader = (tag.Flags & kApeHasHeader) != 0;
  const int64_t itemsFrom = tag.Place.Offset + (tag.HasHeader ? kApeFooterSize : 0);
  const int64_t itemsSize = found.apeEnd - kApeFooterSize - itemsFrom;
  if (itemsSize > kApeMaxTagSize) {
    tag.Problem = Format("its %lld bytes of items were not read (more than %lld)",
                         static_cast<long long>(itemsSize), static_cast<long long>(kApeMaxTagSize));
    return;
  }
  const std::string items = ReadBytes(stream, itemsFrom, itemsSize);
  ParseApeItems(items, count, tag);
}

void ReadLyrics3(TStream& stream, const TAudioTrailers& found, TLyrics3Block& lyrics) {
  lyrics.Present = true;
  lyrics.Place = {found.lyrics3Start, found.lyrics3End - found.lyrics3Start};
  if (lyrics.Place.Size > kLyrics3MaxSize) {
    lyrics.Problem = "the block is larger than a Lyrics3 block can be";
    return;
  }
  ParseLyrics3(ReadBytes(stream, lyrics.Place.Offset, lyrics.Place.Size), lyrics);
}

}  // namespace

std::vector<std::string> TApeItem::Texts() const {
  std::vector<std::string> texts;
  size_t from = 0;
  for (;;) {
    const size_t zero = Value.find('\0', from);
    texts.push_back(
        Value.substr(from, zero == std::string::npos ? std::string::npos : zero - from));
    if (zero == std::string::npos) return texts;
    from = zero + 1;
  }
}

const TApeItem* TApeTag::Find(std::string_view key) const {
  for (const TApeItem& item : Items)
    if (SameTextAscii(item.Key, key)) return &item;
  return nullptr;
}

std::vector<TFileRange> TTrailerTags::ApeRanges() const {
  std::vector<TFileRange> ranges;
  if (!Ape.Present) return ranges;
  ranges.push_back(Ape.Place);
  if (Lyrics3.Present &&
      (Lyrics3.Place.End() == Ape.Place.Offset || Ape.Place.End() == Lyrics3.Place.Offset))
    ranges.push_back(Lyrics3.Place);
  return ranges;
}

void ParseApeItems(std::string_view items, uint32_t count, TApeTag& tag) {
  // Each item takes at least its head, a two-letter key and the key's terminator.
  const uint64_t most = items.size() / (kApeItemHead + kApeMinKey + 1);
  if (count > kApeMaxItems || count > most) {
    tag.Problem =
        Format("the footer counts %u items, more than its %zu bytes can hold", count, items.size());
    count = static_cast<uint32_t>(std::min<uint64_t>(most, kApeMaxItems));
  }
  TByteReader r(items);
  for (uint32_t i = 0; i < count; ++i) {
    const size_t at = r.Position();
    if (!r.Has(kApeItemHead)) {
      tag.Problem = Format("item %u at byte %zu: cut short", i, at);
      return;
    }
    const uint64_t size = r.LEAt(at, 4);
    TApeItem item;
    item.Flags = static_cast<uint32_t>(r.LEAt(at + 4, 4));
    r.Skip(kApeItemHead);
    const std::string_view rest = items.substr(r.Position());
    const size_t keyEnd = rest.find('\0');
    if (keyEnd == std::string_view::npos || keyEnd < kApeMinKey || keyEnd > kApeMaxKey ||
        !std::all_of(rest.begin(), rest.begin() + static_cast<ptrdiff_t>(keyEnd), KeyCharacter)) {
      tag.Problem = Format("item %u at byte %zu: no valid key", i, at);
      return;
    }
    item.Key.assign(rest.substr(0, keyEnd));
    r.Skip(keyEnd + 1);
    if (size > r.Remaining()) {
      tag.Problem = Format("item %u (%s) at byte %zu: its %llu bytes run past the tag", i,
                           item.Key.c_str(), at, static_cast<unsigned long long>(size));
      return;
    }
    item.Value.assign(r.ReadView(static_cast<size_t>(size)));
    tag.Items.push_back(std::move(item));
  }
}

void ParseLyrics3(std::string_view block, TLyrics3Block& lyrics) {
  constexpr std::string_view begin = "LYRICSBEGIN", end1 = "LYRICSEND", end2 = "LYRICS200";
  if (block.substr(0, begin.size()) != begin) {
    lyrics.Problem = "no LYRICSBEGIN";
    return;
  }
  block.remove_prefix(begin.size());
  if (block.size() >= end1.size() && block.substr(block.size() - end1.size()) == end1) {
    lyrics.Version = 1;
    lyrics.Lyrics.assign(block.substr(0, block.size() - end1.size()));
    return;
  }
  if (block.size() < 15 || block.substr(block.size() - end2.size()) != end2) {
    lyrics.Problem = "no end marker";
    return;
  }
  lyrics.Version = 2;
  std::string_view fields = block.substr(0, block.size() - 15);
  while (!fields.empty()) {
    const int64_t size = fields.size() >= kLyrics3FieldHead ? Digits(fields.substr(3, 5)) : -1;
    if (size < 0 || static_cast<uint64_t>(size) > fields.size() - kLyrics3FieldHead) {
      lyrics.Problem = Format("field %zu: broken size", lyrics.Fields.size());
      return;
    }
    lyrics.Fields.push_back(
        TLyrics3Field{std::string(fields.substr(0, 3)),
                      std::string(fields.substr(kLyrics3FieldHead, static_cast<size_t>(size)))});
    fields.remove_prefix(kLyrics3FieldHead + static_cast<size_t>(size));
  }
}

TTrailerTags ReadTrailerTags(TStream& stream, int64_t size, int64_t floor) {
  const TAudioTrailers found = FindAudioTrailers(stream, size, floor);
  TTrailerTags t;
  t.Start = found.start;
  if (found.id3v1) {
    t.ID3v1 = true;
    t.ID3v1Place = {size - 128, 128};
  }
  if (found.apeTag) ReadApe(stream, found, t.Ape);
  if (found.lyrics3) ReadLyrics3(stream, found, t.Lyrics3);
  return t;
}

namespace {

// The engine's open file as a stream to read from.
class TEngineBytes : public TStream {
 public:
  explicit TEngineBytes(TID3Engine& engine) : FEngine(engine), FSize(engine.FileSize()) {}
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t ReadAt(int64_t position, void* buffer, int64_t count) override {
    const std::string bytes = FEngine.ReadFileBytes(position, count);
    std::copy(bytes.begin(), bytes.end(), static_cast<char*>(buffer));
    return static_cast<int64_t>(bytes.size());
  }
  int64_t Seek(int64_t, TSeekOrigin) override { return 0; }
  void SetSize(int64_t) override {}
  int64_t Size() override { return FSize; }

 private:
  TID3Engine& FEngine;
  int64_t FSize;
};

}  // namespace

TTrailerTags ReadTrailerTags(TID3Engine& engine) {
  if (!engine.Active()) return TTrailerTags();
  TEngineBytes bytes(engine);
  // A tag at the file's start is never taken for a trailer; one found further in is not in
  // the way.
  const int64_t floor = engine.TagOffset() == 0 ? engine.TagSize() : 0;
  return ReadTrailerTags(bytes, bytes.Size(), floor);
}

}  // namespace tagscope
