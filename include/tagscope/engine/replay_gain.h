#pragma once

#include <string>
#include <vector>

namespace tagscope {

class TID3Tag;
struct TApeTag;

// The ReplayGain values a file may carry, each under its key in user texts and APE items
// ("REPLAYGAIN_TRACK_GAIN", ...); RVA2 frames identified "track" or "album" carry the gains and
// peaks too.
enum class TGainItem {
  giTrackGain,
  giTrackPeak,
  giTrackRange,
  giAlbumGain,
  giAlbumPeak,
  giAlbumRange,
  giReferenceLoudness,
};

// Where a value was read: a user text (TXXX), a relative volume frame (RVA2), an APE item.
enum class TGainSource { gsUserText, gsVolume, gsApe };

struct TGainValue {
  TGainItem item = TGainItem::giTrackGain;
  TGainSource source = TGainSource::gsUserText;
  std::string text;     // as stored (UTF-8); for RVA2, written out ("-7.23 dB", "0.988553")
  bool parsed = false;  // the text begins with a number
  double value = 0;     // dB for gains, ranges and the reference; the linear factor for peaks
};

// Every ReplayGain value of the tag (user texts whose description is a key in any case, RVA2
// frames of the master volume identified "track" or "album") and of the APE tag, if given: in
// that order of sources, each source's values in the order of TGainItem. Never raises.
std::vector<TGainValue> ReadReplayGain(const TID3Tag& tag, const TApeTag* ape = nullptr);

// The key of an item: "REPLAYGAIN_TRACK_GAIN", ..., "REPLAYGAIN_REFERENCE_LOUDNESS".
const char* GainItemKey(TGainItem item);
// The source as people name it: "ID3", "ID3 RVA2", "APE".
const char* GainSourceName(TGainSource source);

// One line of the values for people: "Track gain" and "-7.23 dB, peak 0.988553, range 5.20
// dB". Where the sources that hold values of a group (track, album, reference) disagree, each
// source has a line of its own, marked: "Track gain (APE)".
struct TGainLine {
  std::string label;
  std::string text;
};
std::vector<TGainLine> ReplayGainLines(const std::vector<TGainValue>& values);

}  // namespace tagscope
