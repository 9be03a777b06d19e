// loudness: the summary of a run, as a table or as JSON.
#include <cmath>
#include <cstdio>
#include <iostream>

#include "cli/json_writer.h"
#include "cli/loudness.h"
#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope::cli {

namespace {

double Decibels(double peak) {
  return 20 * std::log10(peak);
}

// One row: loudness, range, peak, the peak in dB, gain, then the name.
std::string Row(double loudness, double range, double peak, const std::string& name) {
  const std::string level = peak > 0 ? Format("%+7.2f", Decibels(peak)) : "   -inf";
  if (!std::isfinite(loudness))
    return Format("%8s %7.2f %10.6f %s %9s  %s\n", "silent", range, peak, level.c_str(), "-",
                  name.c_str());
  return Format("%8.2f %7.2f %10.6f %s %6.2f dB  %s\n", loudness, range, peak, level.c_str(),
                ReplayGainOf(loudness), name.c_str());
}

void PrintTable(const std::vector<TTrackLoudness>& tracks,
                const std::vector<TAlbumLoudness>& albums, const TLoudnessOptions& options) {
  std::string table = Format("%8s %7s %10s %7s %9s  %s\n", "LUFS", "LU", "Peak",
                             options.samplePeak ? "dBFS" : "dBTP", "Gain", "File");
  for (const TTrackLoudness& t : tracks)
    if (t.measured)
      table += Row(t.result.Loudness, t.result.Range, t.peak, EscapeForTerminal(t.path));
  for (const TAlbumLoudness& a : albums) {
    std::string name = Format("album of %zu files", a.tracks.size());
    if (options.albumPerFolder)
      name += " in " + EscapeForTerminal(a.name.empty() ? std::string(".") : a.name);
    table += Row(a.loudness, a.range, a.peak, name);
  }
  std::cout << table;
}

// The measures of a track or album as members of its object.
void Measures(TJsonWriter& json, double loudness, double range, double peak) {
  const bool silent = !std::isfinite(loudness);
  json.Member("silent", silent);
  json.Key("loudness");
  silent ? json.Null() : json.Value(loudness, 2);
  json.Key("gain");
  silent ? json.Null() : json.Value(ReplayGainOf(loudness), 2);
  json.Key("range").Value(range, 2);
  json.Key("peak").Value(peak, 6);
  json.Key("peak_db");
  peak > 0 ? json.Value(Decibels(peak), 2) : json.Null();
}

void PrintJson(const std::vector<TTrackLoudness>& tracks, const std::vector<TAlbumLoudness>& albums,
               const TLoudnessOptions& options) {
  TJsonWriter json;
  json.BeginObject();
  json.Key("reference_loudness").Value(kReplayGainReference, 2);
  json.Member("peak_kind", options.samplePeak ? "sample" : "true");
  json.Key("files").BeginArray();
  for (const TTrackLoudness& t : tracks) {
    if (!t.measured) continue;
    json.BeginObject().Member("file", SanitizeUtf8(t.path));
    Measures(json, t.result.Loudness, t.result.Range, t.peak);
    json.Member("sample_rate", static_cast<int64_t>(t.result.SampleRate));
    json.Member("channels", t.result.Channels);
    json.Member("samples", t.result.Frames);
    json.Key("album");
    t.album < 0 ? json.Null() : json.Value(t.album);
    json.EndObject();
  }
  json.EndArray();
  json.Key("albums").BeginArray();
  for (const TAlbumLoudness& a : albums) {
    json.BeginObject();
    if (options.albumPerFolder) json.Member("folder", SanitizeUtf8(a.name));
    json.Member("files", static_cast<int64_t>(a.tracks.size()));
    Measures(json, a.loudness, a.range, a.peak);
    json.EndObject();
  }
  json.EndArray().EndObject();
  std::cout << json.Text() << "\n";
}

}  // namespace

void PrintLoudness(const std::vector<TTrackLoudness>& tracks,
                   const std::vector<TAlbumLoudness>& albums, const TLoudnessOptions& options) {
  if (options.json)
    PrintJson(tracks, albums, options);
  else
    PrintTable(tracks, albums, options);
}

}  // namespace tagscope::cli
