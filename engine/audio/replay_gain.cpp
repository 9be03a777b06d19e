// The ReplayGain values of a tag and an APE tag, and the lines that show them.
#include "tagscope/engine/replay_gain.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

#include "tagscope/engine/frame_value.h"
#include "tagscope/engine/id3_tag.h"
#include "tagscope/engine/trailer_tags.h"
#include "tagscope/rtl/ascii_case.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope {

namespace {

constexpr TGainItem kItems[] = {TGainItem::giTrackGain,        TGainItem::giTrackPeak,
                                TGainItem::giTrackRange,       TGainItem::giAlbumGain,
                                TGainItem::giAlbumPeak,        TGainItem::giAlbumRange,
                                TGainItem::giReferenceLoudness};
constexpr TGainSource kSources[] = {TGainSource::gsUserText, TGainSource::gsVolume,
                                    TGainSource::gsApe};

// Values that differ by less than what their texts round away agree: two decimals of a dB
// against RVA2's 1/512 dB, six decimals of a peak against a 16-bit one.
constexpr double kDecibelSlack = 0.006;
constexpr double kPeakSlack = 0.0001;

bool IsPeak(TGainItem item) {
  return item == TGainItem::giTrackPeak || item == TGainItem::giAlbumPeak;
}

std::optional<TGainItem> ItemOfKey(std::string_view key) {
  for (const TGainItem item : kItems)
    if (SameTextAscii(key, GainItemKey(item))) return item;
  return std::nullopt;
}

// The number a text begins with ("-7.23 dB", "+1.5 dB", " 0.988553"), read the same whatever
// the locale.
std::optional<double> LeadingNumber(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || !std::isfinite(value)) return std::nullopt;
  return value;
}

TGainValue TextValue(TGainItem item, TGainSource source, const std::string& text) {
  TGainValue v;
  v.item = item;
  v.source = source;
  v.text = SanitizeUtf8(text);
  if (const std::optional<double> number = LeadingNumber(v.text)) {
    v.parsed = true;
    v.value = *number;
  }
  return v;
}

TGainValue NumberValue(TGainItem item, double value) {
  TGainValue v;
  v.item = item;
  v.source = TGainSource::gsVolume;
  v.parsed = true;
  v.value = value;
  v.text = IsPeak(item) ? Format("%.6f", value) : Format("%.2f dB", value);
  return v;
}

// The master volume of an RVA2 frame identified "track" or "album": its adjustment, and its
// peak where one is stored (as a fraction of full scale: the peak's bits less one).
void VolumeValues(const TID3Frames_Item& frame, uint8_t version, std::vector<TGainValue>& out) {
  const TFrameValue v = DecodeFrameContent(frame, version);
  const TFrameField* id = v.Find("identification");
  const TFrameField* channels = v.Find("channels");
  if (!id || !channels) return;
  const bool track = SameTextAscii(id->Text, "track");
  if (!track && !SameTextAscii(id->Text, "album")) return;
  for (const TFrameFields& channel : channels->Records) {
    std::optional<double> adjustment, peak;
    int64_t number = -1, bits = 0;
    for (const TFrameField& f : channel) {
      if (f.Name == "channel") number = f.Number;
      if (f.Name == "adjustment") adjustment = static_cast<double>(f.Number) / f.Scale;
      if (f.Name == "peakBits") bits = f.Number;
      if (f.Name == "peak" && f.Type == TFieldType::ftNumber && bits > 0)
        peak = static_cast<double>(f.Number) / std::ldexp(1.0, static_cast<int>(bits - 1));
    }
    if (number != 1) continue;  // the master volume only
    if (adjustment)
      out.push_back(
          NumberValue(track ? TGainItem::giTrackGain : TGainItem::giAlbumGain, *adjustment));
    if (peak)
      out.push_back(NumberValue(track ? TGainItem::giTrackPeak : TGainItem::giAlbumPeak, *peak));
    return;
  }
}

// The values of one source in the order of the items.
void SortByItem(std::vector<TGainValue>& values, size_t from) {
  std::stable_sort(values.begin() + static_cast<std::ptrdiff_t>(from), values.end(),
                   [](const TGainValue& a, const TGainValue& b) { return a.item < b.item; });
}

// --- lines ---

// The groups values are shown in: a line each, unless their sources disagree.
struct TGroup {
  const char* name;
  TGainItem first, last;
};
constexpr TGroup kGroups[] = {
    {"Track", TGainItem::giTrackGain, TGainItem::giTrackRange},
    {"Album", TGainItem::giAlbumGain, TGainItem::giAlbumRange},
    {"Reference", TGainItem::giReferenceLoudness, TGainItem::giReferenceLoudness}};

const char* PartName(TGainItem item) {
  switch (item) {
    case TGainItem::giTrackGain:
    case TGainItem::giAlbumGain:
      return "gain";
    case TGainItem::giTrackPeak:
    case TGainItem::giAlbumPeak:
      return "peak";
    case TGainItem::giTrackRange:
    case TGainItem::giAlbumRange:
      return "range";
    case TGainItem::giReferenceLoudness:
      break;
  }
  return "loudness";
}

bool Agree(const TGainValue& a, const TGainValue& b) {
  if (!a.parsed || !b.parsed) return a.text == b.text;
  return std::fabs(a.value - b.value) <= (IsPeak(a.item) ? kPeakSlack : kDecibelSlack);
}

// The first value of the item from the source (any source for none).
const TGainValue* Find(const std::vector<TGainValue>& values, TGainItem item,
                       std::optional<TGainSource> source) {
  for (const TGainValue& v : values)
    if (v.item == item && (!source || v.source == *source)) return &v;
  return nullptr;
}

// "Track gain" and "-7.23 dB, peak 0.988553": the first value names the line.
std::optional<TGainLine> GroupLine(const std::vector<TGainValue>& values, const TGroup& group,
                                   std::optional<TGainSource> source) {
  TGainLine line;
  for (int i = static_cast<int>(group.first); i <= static_cast<int>(group.last); ++i) {
    const auto item = static_cast<TGainItem>(i);
    const TGainValue* v = Find(values, item, source);
    if (!v) continue;
    if (line.label.empty()) {
      line.label = std::string(group.name) + " " + PartName(item);
      line.text = v->text;
    } else {
      line.text += std::string(", ") + PartName(item) + " " + v->text;
    }
  }
  if (line.label.empty()) return std::nullopt;
  if (source) line.label += std::string(" (") + GainSourceName(*source) + ")";
  return line;
}

// Whether every source that holds a value of an item of the group holds the same.
bool GroupAgrees(const std::vector<TGainValue>& values, const TGroup& group) {
  for (int i = static_cast<int>(group.first); i <= static_cast<int>(group.last); ++i) {
    const TGainValue* first = Find(values, static_cast<TGainItem>(i), std::nullopt);
    for (const TGainSource source : kSources)
      if (const TGainValue* v = Find(values, static_cast<TGainItem>(i), source);
          first && v && !Agree(*first, *v))
        return false;
  }
  return true;
}

}  // namespace

std::vector<TGainValue> ReadReplayGain(const TID3Tag& tag, const TApeTag* ape) {
  std::vector<TGainValue> values;
  TID3UserText text;
  for (int i = 0; tag.GetUserText(i, text); ++i)
    if (const std::optional<TGainItem> item = ItemOfKey(text.DescriptionUtf8))
      values.push_back(TextValue(*item, TGainSource::gsUserText, text.TextUtf8));
  SortByItem(values, 0);
  const size_t volumes = values.size();
  const uint8_t version = tag.Header().VersionNumber();
  for (const auto& frame : tag.Frames())
    if (frame->HasID("RVA2")) VolumeValues(*frame, version, values);
  SortByItem(values, volumes);
  if (ape) {
    const size_t apeFrom = values.size();
    for (const TApeItem& item : ape->Items)
      if (const std::optional<TGainItem> gain = ItemOfKey(item.Key); gain && item.IsText()) {
        const std::vector<std::string> texts = item.Texts();
        values.push_back(
            TextValue(*gain, TGainSource::gsApe, texts.empty() ? std::string() : texts.front()));
      }
    SortByItem(values, apeFrom);
  }
  return values;
}

const char* GainItemKey(TGainItem item) {
  switch (item) {
    case TGainItem::giTrackGain:
      return "REPLAYGAIN_TRACK_GAIN";
    case TGainItem::giTrackPeak:
      return "REPLAYGAIN_TRACK_PEAK";
    case TGainItem::giTrackRange:
      return "REPLAYGAIN_TRACK_RANGE";
    case TGainItem::giAlbumGain:
      return "REPLAYGAIN_ALBUM_GAIN";
    case TGainItem::giAlbumPeak:
      return "REPLAYGAIN_ALBUM_PEAK";
    case TGainItem::giAlbumRange:
      return "REPLAYGAIN_ALBUM_RANGE";
    case TGainItem::giReferenceLoudness:
      break;
  }
  return "REPLAYGAIN_REFERENCE_LOUDNESS";
}

const char* GainSourceName(TGainSource source) {
  switch (source) {
    case TGainSource::gsUserText:
      return "ID3";
    case TGainSource::gsVolume:
      return "ID3 RVA2";
    case TGainSource::gsApe:
      break;
  }
  return "APE";
}

std::vector<TGainLine> ReplayGainLines(const std::vector<TGainValue>& values) {
  std::vector<TGainLine> lines;
  for (const TGroup& group : kGroups) {
    if (GroupAgrees(values, group)) {
      if (std::optional<TGainLine> line = GroupLine(values, group, std::nullopt))
        lines.push_back(std::move(*line));
      continue;
    }
    for (const TGainSource source : kSources)
      if (std::optional<TGainLine> line = GroupLine(values, group, source))
        lines.push_back(std::move(*line));
  }
  return lines;
}

}  // namespace tagscope
