// The one place that says where the blocks behind the audio stand.
#include "engine/trailers/trailer_locator.h"

#include <optional>

#include "engine/trailers/ape_block.h"
#include "engine/trailers/audio_end.h"
#include "engine/trailers/id3v1_block.h"
#include "engine/trailers/lyrics3_block.h"
#include "engine/trailers/tail_bytes.h"
#include "tagscope/rtl/exception.h"

namespace tagscope {

namespace {

// Why the frames before the lowest block put its start in doubt; empty when they do not.
std::string AudioEndProblem(TTailBytes& bytes, const TTrailerBlock& lowest) {
  const int64_t start = lowest.place.Offset;
  const TAudioEnd end = CheckAudioEnd(bytes, start);
  if (end.kind == TAudioEndKind::aeRunsOn)
    return Format("the audio's MPEG frames run on past its start (byte %lld) to byte %lld",
                  static_cast<long long>(start), static_cast<long long>(end.framesEnd));
  // An APE tag without a header is placed by its size alone: bytes between it and the audio
  // are likely its own, miscounted. An ID3v1 trailer that a tagger left below it is no such.
  const int64_t gap = start - end.framesEnd;
  const bool trailerLeft =
      gap == id3v1::kSize && bytes.Bytes(end.framesEnd, end.framesEnd + 3) == "TAG";
  if (end.kind == TAudioEndKind::aeGap && lowest.kind == TTrailerKind::tkApe && !lowest.apeHeader &&
      !trailerLeft)
    return Format(
        "the audio's last MPEG frame ends at byte %lld, and the %lld bytes up to its start "
        "(placed by its size alone) are neither audio nor zeros",
        static_cast<long long>(end.framesEnd), static_cast<long long>(gap));
  return {};
}

}  // namespace

const TTrailerBlock* TTrailerPlaces::Find(TTrailerKind kind) const {
  for (const TTrailerBlock& b : blocks)
    if (b.kind == kind) return &b;
  return nullptr;
}

bool TTrailerPlaces::Holds(TTrailerKind kind) const {
  const TTrailerBlock* b = Find(kind);
  return b && b->Proven();
}

TTrailerPlaces LocateTrailers(TStream& stream, int64_t size, int64_t floor, std::string_view tail) {
  TTrailerPlaces t;
  t.audioEnd = size;
  if (size <= floor) return t;
  TTailBytes bytes(stream, size, floor, tail);
  int64_t end = size;
  if (const std::optional<TTrailerBlock> v1 = LocateID3v1(bytes, end)) {
    t.blocks.push_back(*v1);
    end = v1->place.Offset;
  }
  bool ape = false, lyrics3 = false;
  for (;;) {
    std::optional<TTrailerBlock> b;
    if (!ape && (b = LocateApeTag(bytes, end)))
      ape = true;
    else if (!lyrics3 && (b = LocateLyrics3(bytes, end)))
      lyrics3 = true;
    if (!b) break;
    t.blocks.push_back(*b);
    // Below a damaged block nothing is known: the audio ends at its marker at the latest.
    if (!b->Proven()) {
      t.audioEnd = b->markerStart;
      return t;
    }
    end = b->place.Offset;
  }
  t.audioEnd = end;
  if (t.blocks.empty() || t.blocks.back().kind == TTrailerKind::tkID3v1) return t;
  TTrailerBlock& lowest = t.blocks.back();
  lowest.damage = AudioEndProblem(bytes, lowest);
  if (!lowest.Proven()) t.audioEnd = lowest.markerStart;
  return t;
}

}  // namespace tagscope
