#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tagscope/engine/file_range.h"
#include "tagscope/engine/id3v1_trailer.h"
#include "tagscope/rtl/stream.h"

namespace tagscope {

class TID3Engine;

// What an APE item's value is, by bits 1-2 of its flags.
enum class TApeItemKind : uint8_t { akText, akBinary, akLocator, akReserved };

// One item of an APE tag. A text item's value is UTF-8 and may hold several values separated
// by zero bytes; the others are bytes as stored.
struct TApeItem {
  std::string Key;  // 2 to 255 printable ASCII characters, compared without case
  uint32_t Flags = 0;
  std::string Value;

  TApeItemKind Kind() const { return static_cast<TApeItemKind>((Flags >> 1) & 3); }
  bool ReadOnly() const { return (Flags & 1) != 0; }
  bool IsText() const { return Kind() == TApeItemKind::akText; }
  // A text item's values, split at its zero bytes.
  std::vector<std::string> Texts() const;
};

// An APE tag (version 1 or 2) at the end of a file: its footer, an optional header before the
// items, and the items. Items are read as far as they go: one that breaks the layout ends the
// reading and is named in Problem.
//
// A tag whose boundaries could not all be proven (its size, header, item count or items
// disagree, or the audio's frames do not end where it begins) is damaged: Damage says why, Place
// is only what its footer claims, and it is never cut.
struct TApeTag {
  bool Present = false;
  uint32_t Version = 0;  // 1000 or 2000
  TFileRange Place;      // header (if any), items and footer
  std::string Damage;    // empty when every boundary is proven
  bool HasHeader = false;
  uint32_t Flags = 0;  // of the footer
  std::vector<TApeItem> Items;
  std::string Problem;  // empty when every item read cleanly

  // The first item with the key (compared without case), or nullptr.
  const TApeItem* Find(std::string_view key) const;
};

// One field of a Lyrics3 version 2 block: a three-letter ID ("LYR", "INF", "AUT", "EAL",
// "EAR", "ETT", "IMG", "IND") and its bytes (ISO-8859-1 text for all of them).
struct TLyrics3Field {
  std::string ID;
  std::string Value;
};

// A Lyrics3 block: version 1 holds only lyrics, version 2 a list of fields. Damaged, never cut,
// as an APE tag is (Damage says why): no LYRICSBEGIN where its size or its end marker puts it.
struct TLyrics3Block {
  bool Present = false;
  int Version = 0;  // 1 or 2
  TFileRange Place;
  std::string Damage;  // empty when its start is proven
  std::string Lyrics;  // version 1: the text between its markers (ISO-8859-1)
  std::vector<TLyrics3Field> Fields;
  std::string Problem;  // empty when the fields read cleanly
};

// The blocks behind the audio: an APE tag, a Lyrics3 block and the ID3v1 trailer, each at most
// once and in any order. Below a damaged block nothing is looked for.
struct TTrailerTags {
  TApeTag Ape;
  TLyrics3Block Lyrics3;
  bool ID3v1 = false;
  TFileRange ID3v1Place;
  TID3v1Trailer ID3v1Fields;  // the ID3v1 trailer's fields, where there is one
  // Where the audio ends: where the first of them begins (the file's size when there are none);
  // for a damaged block, where its footer or end marker begins.
  int64_t Start = 0;

  // The ranges to cut, of proven blocks only. Removing the APE tag cuts it and a Lyrics3 block
  // that sits right before or after it (taggers that write both keep them together); removing
  // the ID3v1 trailer cuts it and a Lyrics3 block right before it, which belongs to it; All is
  // every proven block.
  std::vector<TFileRange> ApeRanges() const;
  std::vector<TFileRange> ID3v1Ranges() const;
  std::vector<TFileRange> AllRanges() const;
};

// The most bytes an APE tag is read with, and the most items taken from it: a larger or fuller
// tag is reported and its items not read.
inline constexpr int64_t kApeMaxTagSize = 64 << 20;
inline constexpr uint32_t kApeMaxItems = 65536;

// Reads the items of an APE tag from its bytes (everything between the end of a header, if any,
// and the start of the footer) and the footer's item count; never raises, never reads past the
// bytes.
void ParseApeItems(std::string_view items, uint32_t count, TApeTag& tag);
// Reads the fields of a Lyrics3 block from its bytes (from "LYRICSBEGIN" to the end of its end
// marker); never raises.
void ParseLyrics3(std::string_view block, TLyrics3Block& lyrics);

// Finds and reads the trailers of a stream of `size` bytes; none is taken to begin before
// `floor` (the end of an ID3v2 tag at the start). Reads only the trailers' bytes and, to prove
// where the lowest begins, a few kilobytes of audio before it.
TTrailerTags ReadTrailerTags(TStream& stream, int64_t size, int64_t floor);
// The same for an engine's open file (nothing while inactive).
TTrailerTags ReadTrailerTags(TID3Engine& engine);

}  // namespace tagscope

namespace tagscope {

class TID3Tag;

// What moving one APE item into the ID3v2 tag did.
struct TApeMove {
  std::string Key;    // the APE item's key
  std::string Frame;  // where it went: "TIT2", "TXXX:REPLAYGAIN_TRACK_GAIN", "APIC:3", ...
  std::string Value;  // UTF-8 (a picture: its size in words)
  // The tag held another value there, which stays: the APE value is not taken.
  bool Kept = false;
};

// Puts the items of an APE tag into the tag: the usual text items into their text frames
// (Title TIT2, Artist TPE1, Album TALB, Year TDRC or TYER by version, Track TRCK, Genre TCON,
// Comment COMM, Lyrics USLT, ...), ReplayGain items into user texts (TXXX) of the key in capitals,
// other text items into user texts of their key, the front and back covers into pictures. A
// value the tag already holds differently is kept over the APE one. Items that have no place
// in the tag (other binary items, links to outside) are named in `left` and not moved.
std::vector<TApeMove> MoveApeToId3(TID3Tag& tag, const TApeTag& ape,
                                   std::vector<std::string>& left);

}  // namespace tagscope
