// loudness: every file decoded and measured on its own thread; albums grouped afterwards.
#include <algorithm>
#include <cmath>
#include <map>

#include "cli/loudness.h"
#include "cli/many_files.h"
#include "tagscope/engine/file_system.h"
#include "tagscope/engine/mpeg_audio.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/files.h"

namespace tagscope::cli {

namespace {

// Feeds the decoder the audio only: from the first frame to where the blocks behind it begin,
// so that no tag's bytes are taken for frames.
void Measure(TTrackLoudness& track, bool samplePeak) {
  const std::unique_ptr<TStream> stream =
      PlatformFileSystem()->Open(track.path, TFileMode::fmOpenRead);
  const TMpegAudioProperties audio = ReadMpegAudio(*stream);
  if (!audio.found)
    throw EConvertError(Format("\"%s\" holds no MPEG audio: not measured", track.path.c_str()));
  try {
    track.meter.FeedStream(*stream, audio.firstFrameOffset,
                           std::max<int64_t>(0, audio.audioEnd - audio.firstFrameOffset));
    track.result = track.meter.Finish();
  } catch (const EConvertError& e) {
    throw EConvertError(Format("\"%s\": %s", track.path.c_str(), e.what()));
  }
  track.peak = samplePeak ? track.result.SamplePeak : track.result.TruePeak;
  track.measured = true;
}

}  // namespace

bool TAlbumLoudness::Silent() const {
  return !std::isfinite(loudness);
}

int MeasureFiles(const std::vector<TWalkFile>& files, const TLoudnessOptions& options,
                 std::vector<TTrackLoudness>& tracks) {
  tracks = std::vector<TTrackLoudness>(files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    tracks[i].path = files[i].path;
    tracks[i].found = files[i].found;
  }
  // The job is handed the walk's own entries: where one stands says which file it is. Each
  // thread fills only the records of its files.
  return RunForEachFile(files, [&](const TWalkFile& file) {
    Measure(tracks[static_cast<size_t>(&file - files.data())], options.samplePeak);
    return TFileOutcome();
  });
}

std::vector<TAlbumLoudness> GroupAlbums(std::vector<TTrackLoudness>& tracks,
                                        const TLoudnessOptions& options) {
  std::vector<TAlbumLoudness> albums;
  if (!options.album && !options.albumPerFolder) return albums;
  std::map<std::string, size_t> byFolder;
  for (size_t i = 0; i < tracks.size(); ++i) {
    if (!tracks[i].measured) continue;
    const std::string folder = options.albumPerFolder ? ExtractFilePath(tracks[i].path) : "";
    const auto [at, added] = byFolder.emplace(folder, albums.size());
    if (added) albums.push_back({folder, {}});
    tracks[i].album = static_cast<int>(at->second);
    albums[at->second].tracks.push_back(i);
  }
  for (TAlbumLoudness& album : albums) {
    std::vector<const TLoudness*> meters;
    for (size_t i : album.tracks) {
      meters.push_back(&tracks[i].meter);
      album.peak = std::max(album.peak, tracks[i].peak);
    }
    album.loudness = TLoudness::AlbumLoudness(meters);
    album.range = TLoudness::AlbumRange(meters);
  }
  return albums;
}

}  // namespace tagscope::cli
