// The open file's audio facts and bytes, read through what the read of the tag fetched, and the
// findings of its stream that need no walk over it: from the audio facts and the blocks behind
// the audio, worded and placed as the walk reports them.
#include <algorithm>

#include "engine/audio/mpeg_audio_read.h"
#include "engine/audio/stream_walk.h"
#include "engine/file/tag_file.h"
#include "engine/trailers/trailer_locator.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/engine/mpeg_audio.h"
#include "tagscope/engine/stream_report.h"
#include "tagscope/engine/trailer_tags.h"

namespace tagscope {

namespace {

// Reads through the cache where nothing can have changed the file since the tag was read.
template <typename TRead>
auto ThroughCache(TTagFile& file, const TRead& read) {
  if (!file.ReadOnly()) return read(file.Stream());
  TCachedReadStream cached(file.Stream(), file.Cache());
  return read(static_cast<TStream&>(cached));
}

}  // namespace

TTrailerPlaces TID3Engine::LocatedTrailers(TStream& stream, int64_t size, int64_t floor) {
  TTagFile& file = *FFile;
  if (!file.ReadOnly()) return LocateTrailers(stream, size, floor);
  TReadCache& cache = file.Cache();
  if (const std::shared_ptr<const TTrailerPlaces> kept = cache.Trailers(floor)) return *kept;
  const int64_t tail = std::max<int64_t>(size - TCachedReadStream::kTail, 0);
  const TFileBytes end = cache.Read(file.Stream(), size, tail, size - tail);
  auto found = std::make_shared<const TTrailerPlaces>(
      LocateTrailers(stream, size, floor, end.End() == size ? end.bytes : std::string_view()));
  cache.KeepTrailers(floor, found);
  return *found;
}

TMpegAudioProperties TID3Engine::ReadAudio(int64_t countBound) {
  if (!Active()) return TMpegAudioProperties();
  // The audio begins after a tag at the file's start; one found further in is not in the way.
  const int64_t tagEnd = FPlace.offset == 0 ? FPlace.size : 0;
  const TLocateTrailers locate = [&](TStream& s, int64_t size, int64_t floor) {
    return LocatedTrailers(s, size, floor);
  };
  return ThroughCache(*FFile,
                      [&](TStream& s) { return ReadMpegAudio(s, tagEnd, countBound, locate); });
}

std::string TID3Engine::ReadFileBytes(int64_t position, int64_t count) {
  if (!Active() || position < 0 || count <= 0) return std::string();
  return ThroughCache(*FFile, [&](TStream& s) {
    const int64_t n = std::clamp<int64_t>(s.Size() - position, 0, count);
    std::string bytes(static_cast<size_t>(n), '\0');
    bytes.resize(static_cast<size_t>(std::max<int64_t>(s.ReadAt(position, bytes.data(), n), 0)));
    return bytes;
  });
}

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
  const TTagPlace tag = engine.Status().place;
  const int64_t floor = tag.offset == 0 ? tag.size : 0;
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
