// loudness: the measured values into each file's tag, through the same safe write as `set`.
#include <cmath>
#include <iostream>
#include <optional>
#include <unordered_map>

#include "cli/loudness.h"
#include "cli/many_files.h"
#include "cli/open_engine.h"
#include "cli/set_plan.h"
#include "tagscope/engine/frame_content.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/engine/tag_edit.h"
#include "tagscope/engine/trailer_tags.h"
#include "tagscope/rtl/ascii_case.h"
#include "tagscope/rtl/exception.h"

namespace tagscope::cli {

namespace {

// The user texts (TXXX) that players read ReplayGain from, as they are written.
constexpr const char* kReplayGainKeys[] = {"REPLAYGAIN_TRACK_GAIN",        "REPLAYGAIN_TRACK_PEAK",
                                           "REPLAYGAIN_TRACK_RANGE",       "REPLAYGAIN_ALBUM_GAIN",
                                           "REPLAYGAIN_ALBUM_PEAK",        "REPLAYGAIN_ALBUM_RANGE",
                                           "REPLAYGAIN_REFERENCE_LOUDNESS"};

bool IsReplayGainKey(std::string_view key) {
  return SameTextAscii(key.substr(0, 11), "REPLAYGAIN_");
}

// Gives each ReplayGain value of the tag one frame under its key in capitals: the values of
// other case go, the first of each key keeping its value for what this run does not measure.
// Returns the values kept, by key.
std::unordered_map<std::string, std::string> TakeReplayGainFrames(TID3Tag& tag) {
  std::unordered_map<std::string, std::string> kept;
  TID3Frames& frames = tag.Frames();
  for (int i = 0; i < frames.Count();) {
    TID3Frames_Item& item = frames.Items(i);
    if (item.Name() != "TXXX") {
      ++i;
      continue;
    }
    const TID3UserText text = ParseUserText(item.Data().Bytes());
    const std::string key = AsciiUpperCase(text.DescriptionUtf8);
    const bool ours = std::any_of(std::begin(kReplayGainKeys), std::end(kReplayGainKeys),
                                  [&](const char* k) { return key == k; });
    if (!ours) {
      ++i;
      continue;
    }
    kept.emplace(key, text.TextUtf8);
    frames.Delete(i);
  }
  return kept;
}

// ReplayGain values in an APE tag behind the audio would be read beside the new ones: its items
// move into the ID3v2 tag (where the new values replace them) and the write cuts it; true when
// it does. Refused when it holds anything the ID3v2 tag cannot take or holds differently, which
// would be lost.
bool TakeApeValues(TID3Engine& engine) {
  const TTrailerTags t = ReadTrailerTags(engine);
  if (!t.Ape.Present || std::none_of(t.Ape.Items.begin(), t.Ape.Items.end(),
                                     [](auto& item) { return IsReplayGainKey(item.Key); }))
    return false;
  const std::string& name = engine.FileName();
  if (!t.Ape.Damage.empty() || !t.Ape.Problem.empty())
    throw EConvertError(
        Format("The APE tag of \"%s\" holds ReplayGain values but is damaged (%s): not changed",
               name.c_str(), (t.Ape.Damage.empty() ? t.Ape.Problem : t.Ape.Damage).c_str()));
  std::vector<std::string> left;
  std::string lost;
  for (const TApeMove& m : MoveApeToId3(engine.Tag(), t.Ape, left))
    if (m.Kept && !IsReplayGainKey(m.Key))
      lost += (lost.empty() ? "" : ", ") + m.Key + " (" + m.Frame + " differs)";
  for (const std::string& key : left) lost += (lost.empty() ? "" : ", ") + key + " (no place)";
  if (!lost.empty())
    throw EConvertError(
        Format("The APE tag of \"%s\" holds ReplayGain values, which would be read beside the new "
               "ones, and %s, which would be lost: not changed (tagscope set "
               "--ape-to-id3 --force moves it first)",
               name.c_str(), lost.c_str()));
  engine.Options().dropApeTag = true;
  return true;
}

// The relative volume a player applies, in 1/512 dB as RVA2 stores it.
int VolumeOf(double gain) {
  return static_cast<int>(std::clamp<long>(std::lround(gain * 512), -32768, 32767));
}

// The new values of one file's tag, with the note of what was left out.
void ApplyValues(TID3Engine& engine, TTrackLoudness& track, const TAlbumLoudness* album,
                 const TLoudnessOptions& options) {
  // The dry run's list of changes shows the items in the ID3v2 tag, not the cut.
  if (TakeApeValues(engine) && options.dryRun)
    track.note += "the APE tag would be cut, its items moved into the ID3v2 tag\n";
  std::unordered_map<std::string, std::string> values = TakeReplayGainFrames(engine.Tag());
  const bool trackGain = !track.result.Silent();
  const bool albumGain = album && !album->Silent();
  if (trackGain) {
    values["REPLAYGAIN_TRACK_GAIN"] = GainText(ReplayGainOf(track.result.Loudness));
    values["REPLAYGAIN_TRACK_PEAK"] = PeakText(track.peak);
    values["REPLAYGAIN_TRACK_RANGE"] = RangeText(track.result.Range);
  } else {
    // Values measured before of this very audio cannot hold: a gain for silence ("inf dB")
    // is what players misread.
    for (const char* key :
         {"REPLAYGAIN_TRACK_GAIN", "REPLAYGAIN_TRACK_PEAK", "REPLAYGAIN_TRACK_RANGE"})
      values.erase(key);
    track.note += "digital silence: no track gain written\n";
  }
  if (album) {
    for (const char* key :
         {"REPLAYGAIN_ALBUM_GAIN", "REPLAYGAIN_ALBUM_PEAK", "REPLAYGAIN_ALBUM_RANGE"})
      values.erase(key);
    if (albumGain) {
      values["REPLAYGAIN_ALBUM_GAIN"] = GainText(ReplayGainOf(album->loudness));
      values["REPLAYGAIN_ALBUM_PEAK"] = PeakText(album->peak);
      values["REPLAYGAIN_ALBUM_RANGE"] = RangeText(album->range);
    }
  }
  if (trackGain || albumGain)
    values["REPLAYGAIN_REFERENCE_LOUDNESS"] = Format("%.2f LUFS", kReplayGainReference);
  // Written in a fixed order, whatever the tag held before.
  for (const char* key : kReplayGainKeys)
    if (const auto it = values.find(key); it != values.end())
      SetUserText(engine.Tag(), key, it->second);
  if (!options.rva2) return;
  if (engine.Header().VersionNumber() != 4) {
    track.note += Format("RVA2 not written: an ID3v2.%d tag has no RVA2 frame\n",
                         engine.Header().VersionNumber());
    return;
  }
  if (trackGain) SetVolume(engine.Tag(), "track", VolumeOf(ReplayGainOf(track.result.Loudness)));
  if (albumGain) SetVolume(engine.Tag(), "album", VolumeOf(ReplayGainOf(album->loudness)));
}

}  // namespace

std::string GainText(double gain) {
  return Format("%.2f dB", gain);
}
std::string PeakText(double peak) {
  return Format("%.6f", peak);
}
std::string RangeText(double range) {
  return Format("%.2f dB", range);
}

int WriteLoudness(std::vector<TTrackLoudness>& tracks, const std::vector<TAlbumLoudness>& albums,
                  const TLoudnessOptions& options) {
  std::vector<TWalkFile> files;
  std::unordered_map<std::string, size_t> byPath;
  for (size_t i = 0; i < tracks.size(); ++i) {
    if (!tracks[i].measured) continue;
    files.push_back({tracks[i].path, tracks[i].found, ""});
    byPath[tracks[i].path] = i;
  }
  if (files.empty()) return 0;
  // With --json, stdout holds the JSON alone: what the writes say goes to stderr.
  std::streambuf* const stdoutBuffer = std::cout.rdbuf();
  if (options.json) std::cout.rdbuf(std::cerr.rdbuf());
  int status = 0;
  try {
    status = ChangeEachFile(
        files, options.dryRun ? "not changed (dry run)" : "written",
        [&](const std::string& fileName) {
          TTrackLoudness& track = tracks[byPath.at(fileName)];
          TID3Engine engine;
          engine.Options().keepModified = options.preserveModified && !options.dryRun;
          OpenEngine(engine, fileName, options.dryRun, false);
          const TTagLines before = TagLines(engine, false);
          ApplyValues(engine, track, track.album < 0 ? nullptr : &albums[track.album], options);
          if (options.dryRun)
            return PrintChanges(std::cout, fileName, before, TagLines(engine, false));
          Change(engine, &TID3Engine::WriteTag);
        },
        !options.dryRun);
  } catch (...) {
    std::cout.rdbuf(stdoutBuffer);
    throw;
  }
  std::cout.rdbuf(stdoutBuffer);
  return status;
}

}  // namespace tagscope::cli
