// The APE tag and the Lyrics3 block behind the audio, read item by item where the locator put
// them.
#include "tagscope/engine/trailer_tags.h"

#include <algorithm>

#include "engine/trailers/ape_block.h"
#include "engine/trailers/lyrics3_block.h"
#include "engine/trailers/trailer_locator.h"
#include "tagscope/rtl/ascii_case.h"
#include "tagscope/rtl/byte_reader.h"
#include "tagscope/rtl/exception.h"

namespace tagscope {

namespace {

constexpr size_t kLyrics3FieldHead = 8;  // three-letter ID, five size digits

std::string ReadBytes(TStream& stream, int64_t from, int64_t count) {
  std::string bytes(static_cast<size_t>(std::max<int64_t>(count, 0)), '\0');
  const int64_t n = stream.ReadAt(from, bytes.data(), static_cast<int64_t>(bytes.size()));
  bytes.resize(static_cast<size_t>(std::clamp<int64_t>(n, 0, count)));
  return bytes;
}

void ReadApe(TStream& stream, const TTrailerBlock& found, TApeTag& tag) {
  tag.Present = true;
  tag.Place = found.place;
  tag.Damage = found.damage;
  tag.Version = found.apeVersion;
  tag.Flags = found.apeFlags;
  tag.HasHeader = found.apeHeader;
  // A damaged tag's items are read, for showing, where its footer claims they are; not when it
  // claims nothing beyond itself.
  if (tag.Place.Offset == found.markerStart) return;
  const int64_t itemsFrom = tag.Place.Offset + (tag.HasHeader ? ape::kFooterSize : 0);
  const int64_t itemsSize = found.markerStart - itemsFrom;
  if (itemsSize > kApeMaxTagSize) {
    tag.Problem = Format("its %lld bytes of items were not read (more than %lld)",
                         static_cast<long long>(itemsSize), static_cast<long long>(kApeMaxTagSize));
    return;
  }
  ParseApeItems(ReadBytes(stream, itemsFrom, itemsSize), found.apeCount, tag);
}

void ReadLyrics3(TStream& stream, const TTrailerBlock& found, TLyrics3Block& lyrics) {
  lyrics.Present = true;
  lyrics.Place = found.place;
  lyrics.Damage = found.damage;
  lyrics.Version = found.lyrics3Version;
  if (!found.Proven()) return;
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
  if (!Ape.Present || !Ape.Damage.empty()) return ranges;
  ranges.push_back(Ape.Place);
  if (Lyrics3.Present && Lyrics3.Damage.empty() &&
      (Lyrics3.Place.End() == Ape.Place.Offset || Ape.Place.End() == Lyrics3.Place.Offset))
    ranges.push_back(Lyrics3.Place);
  return ranges;
}

std::vector<TFileRange> TTrailerTags::ID3v1Ranges() const {
  std::vector<TFileRange> ranges;
  if (!ID3v1) return ranges;
  if (Lyrics3.Present && Lyrics3.Damage.empty() && Lyrics3.Place.End() == ID3v1Place.Offset)
    ranges.push_back(Lyrics3.Place);
  ranges.push_back(ID3v1Place);
  return ranges;
}

std::vector<TFileRange> TTrailerTags::AllRanges() const {
  std::vector<TFileRange> ranges;
  if (Ape.Present && Ape.Damage.empty()) ranges.push_back(Ape.Place);
  if (Lyrics3.Present && Lyrics3.Damage.empty()) ranges.push_back(Lyrics3.Place);
  if (ID3v1) ranges.push_back(ID3v1Place);
  return ranges;
}

void ParseApeItems(std::string_view items, uint32_t count, TApeTag& tag) {
  const uint64_t most = items.size() / ape::kMinItem;
  if (count > kApeMaxItems || count > most) {
    tag.Problem =
        Format("the footer counts %u items, more than its %zu bytes can hold", count, items.size());
    count = static_cast<uint32_t>(std::min<uint64_t>(most, kApeMaxItems));
  }
  size_t at = 0;
  for (uint32_t i = 0; i < count; ++i) {
    TApeItemHead head;
    const std::string problem = ReadApeItemHead(items.substr(at), head);
    if (!problem.empty()) {
      tag.Problem = Format("item %u at byte %zu: %s", i, at, problem.c_str());
      return;
    }
    const std::string key(head.key);
    if (head.valueSize > items.size() - at - head.length) {
      tag.Problem = Format("item %u (%s) at byte %zu: its %llu bytes run past the tag", i,
                           key.c_str(), at, static_cast<unsigned long long>(head.valueSize));
      return;
    }
    TApeItem item;
    item.Key = key;
    item.Flags = head.flags;
    item.Value.assign(items.substr(at + head.length, static_cast<size_t>(head.valueSize)));
    at += head.length + static_cast<size_t>(head.valueSize);
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
    const int64_t size =
        fields.size() >= kLyrics3FieldHead ? lyrics3::Digits(fields.substr(3, 5)) : -1;
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
  return ReadTrailerTags(stream, LocateTrailers(stream, size, floor));
}

TTrailerTags ReadTrailerTags(TStream& stream, const TTrailerPlaces& found) {
  TTrailerTags t;
  t.Start = found.audioEnd;
  for (const TTrailerBlock& b : found.blocks) {
    if (b.kind == TTrailerKind::tkID3v1) {
      t.ID3v1 = true;
      t.ID3v1Place = b.place;
      if (auto fields = ParseID3v1Trailer(ReadBytes(stream, b.place.Offset, b.place.Size)))
        t.ID3v1Fields = std::move(*fields);
    } else if (b.kind == TTrailerKind::tkApe) {
      ReadApe(stream, b, t.Ape);
    } else {
      ReadLyrics3(stream, b, t.Lyrics3);
    }
  }
  return t;
}

}  // namespace tagscope
