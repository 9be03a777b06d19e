// The findings of a stream that need no walk over it: from the audio facts and the blocks behind
// the audio, worded and placed as the walk reports them.
#include <algorithm>

#include "engine/audio/stream_walk.h"
#include "engine/trailers/trailer_locator.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/engine/mpeg_audio.h"
#include "tagscope/engine/stream_report.h"
#include "tagscope/engine/trailer_tags.h"

namespace tagscope {

namespace {

using Kind = TStreamFindingKind;
constexpr TStreamSeverity kDamage = TStreamSeverity::ssDamage;

// The audio facts name the count the file cannot hold: frames, or bytes.
TStreamFinding HeaderFinding(const TMpegAudioProperties& a) {
  const bool bytes = a.vbrHeaderProblem.find(" bytes, more than the file") != std::string::npos;
  return {a.firstFrameOffset, a.first.frameLength,
          bytes ? Kind::sfHeaderByteCount : Kind::sfHeaderFrameCount, kDamage, a.vbrHeaderProblem};
}

void DamagedBlock(std::vector<TStreamFinding>& out, TTrailerKind kind, const TFileRange& place,
                  const std::string& damage) {
  if (!damage.empty())
    out.push_back({place.Offset, place.Size, Kind::sfDamagedTrailer, kDamage,
                   DamagedTrailerText(kind, damage)});
}

}  // namespace

std::vector<TStreamFinding> QuickStreamFindings(TID3Engine& engine,
                                                const TMpegAudioProperties& audio,
                                                const TTrailerTags& trailers) {
  std::vector<TStreamFinding> out;
  if (!engine.Active()) return out;
  if (audio.found && !audio.vbrHeaderProblem.empty()) out.push_back(HeaderFinding(audio));
  if (trailers.Ape.Present)
    DamagedBlock(out, TTrailerKind::tkApe, trailers.Ape.Place, trailers.Ape.Damage);
  if (trailers.Lyrics3.Present)
    DamagedBlock(out, TTrailerKind::tkLyrics3, trailers.Lyrics3.Place, trailers.Lyrics3.Damage);
  // As the walk looks for it: right below the trailer, where nothing else lies behind the audio.
  const int64_t floor = engine.TagOffset() == 0 ? engine.TagSize() : 0;
  const int64_t below = trailers.ID3v1Place.Offset - kID3v1Size;
  if (trailers.ID3v1 && trailers.Start == trailers.ID3v1Place.Offset && below >= floor &&
      BeginsID3v1(engine.ReadFileBytes(below, 3)))
    out.push_back({below, kID3v1Size, Kind::sfSecondID3v1, kDamage, kSecondID3v1Text});
  std::stable_sort(out.begin(), out.end(), [](const TStreamFinding& a, const TStreamFinding& b) {
    return a.offset < b.offset;
  });
  return out;
}

}  // namespace tagscope
