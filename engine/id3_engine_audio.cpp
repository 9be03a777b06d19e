// The open file's audio facts and bytes, read through what the read of the tag fetched.
#include <algorithm>

#include "engine/audio/mpeg_audio_read.h"
#include "engine/file/tag_file.h"
#include "engine/located_trailers.h"
#include "tagscope/engine/id3_engine.h"

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

TTrailerPlaces LocatedTrailers(TTagFile& file, TStream& stream, int64_t size, int64_t floor) {
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
    return LocatedTrailers(*FFile, s, size, floor);
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

}  // namespace tagscope
