// The audio facts as dump and show print them.
#include "cli/audio_facts.h"

#include <cstdio>

#include "tagscope/rtl/exception.h"
#include "tagscope/rtl/utf8.h"

namespace tagscope::cli {

namespace {

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f s", seconds);
  return text;
}

// The names of the JSON's members, by item and by source.
const char* GainItemJsonName(TGainItem item) {
  switch (item) {
    case TGainItem::giTrackGain:
      return "trackGain";
    case TGainItem::giTrackPeak:
      return "trackPeak";
    case TGainItem::giTrackRange:
      return "trackRange";
    case TGainItem::giAlbumGain:
      return "albumGain";
    case TGainItem::giAlbumPeak:
      return "albumPeak";
    case TGainItem::giAlbumRange:
      return "albumRange";
    case TGainItem::giReferenceLoudness:
      break;
  }
  return "referenceLoudness";
}

const char* GainSourceJsonName(TGainSource source) {
  switch (source) {
    case TGainSource::gsUserText:
      return "id3";
    case TGainSource::gsVolume:
      return "rva2";
    case TGainSource::gsApe:
      break;
  }
  return "ape";
}

const char* DurationSourceName(TDurationSource source) {
  switch (source) {
    case TDurationSource::dsHeader:
      return "header";
    case TDurationSource::dsCount:
      return "counted";
    case TDurationSource::dsEstimate:
      return "estimated";
    case TDurationSource::dsNone:
      break;
  }
  return "none";
}

}  // namespace

void AudioJson(TJsonWriter& j, const TMpegAudioProperties& a) {
  j.BeginObject().Member("found", a.found);
  if (a.found) {
    const TMpegFrameHeader& h = a.first;
    j.Member("version", MpegVersionName(h.version))
        .Member("layer", h.layer)
        .Member("bitrate", a.bitrate)
        .Member("bitrateMode", BitrateModeName(a.bitrateMode))
        .Member("sampleRate", h.sampleRate)
        .Member("channelMode", ChannelModeName(h.channelMode))
        .Member("channels", h.Channels())
        .Member("duration", a.duration)
        .Member("durationFrom", DurationSourceName(a.durationSource))
        .Member("frames", a.frameCount);
    if (a.durationInDoubt) j.Member("durationInDoubt", true);
    if (a.gaplessDuration >= 0) j.Member("gaplessDuration", a.gaplessDuration);
    if (!a.vbrHeaderProblem.empty()) j.Member("vbrHeaderProblem", a.vbrHeaderProblem);
    j.Member("vbrHeader", a.vbrHeader)
        .Member("encoder", a.encoder)
        .Member("encoderDelay", a.encoderDelay)
        .Member("encoderPadding", a.encoderPadding)
        .Member("firstFrameOffset", a.firstFrameOffset)
        .Member("audioEnd", a.audioEnd);
  }
  j.Member("apeTag", a.apeTag).Member("lyrics3", a.lyrics3).Member("id3v1", a.id3v1).EndObject();
}

void AudioText(std::ostream& out, const TMpegAudioProperties& a, const TTrailerTags* trailers) {
  if (!a.found) {
    out << "Audio: no MPEG audio frames found\n";
  } else {
    const TMpegFrameHeader& h = a.first;
    out << "Audio: MPEG-" << MpegVersionName(h.version) << " layer " << h.layer << ", "
        << (a.bitrate + 500) / 1000 << " kbit/s " << BitrateModeName(a.bitrateMode) << ", "
        << h.sampleRate << " Hz, " << ChannelModeName(h.channelMode) << "\n";
    out << "  length " << (a.durationInDoubt ? "about " : "") << Seconds(a.duration) << " ("
        << DurationSourceName(a.durationSource);
    if (a.durationInDoubt) out << ", in doubt: the frames were not counted";
    // The header's counts that the file contradicts are not shown as its length.
    if (!a.vbrHeaderProblem.empty()) out << ": " << a.vbrHeaderProblem;
    out << ")";
    if (a.gaplessDuration >= 0)
      out << ", without encoder delay and padding " << Seconds(a.gaplessDuration);
    out << "\n  first frame at byte " << a.firstFrameOffset;
    if (!a.vbrHeader.empty()) out << ", " << a.vbrHeader << " header";
    // The name comes from the file: only printable ASCII is kept.
    if (!a.encoder.empty()) out << ", encoder " << a.encoder;
    if (a.encoderDelay >= 0)
      out << " (delay " << a.encoderDelay << ", padding " << a.encoderPadding << " samples)";
    out << "\n";
  }
  if (!a.apeTag && !a.lyrics3 && !a.id3v1) return;
  // Taggers write the APE tag and the Lyrics3 block either way round; the ID3v1 trailer ends
  // the file.
  const bool lyricsFirst = trailers && trailers->Ape.Present && trailers->Lyrics3.Present &&
                           trailers->Lyrics3.Place.Offset < trailers->Ape.Place.Offset;
  const char* first = lyricsFirst ? " Lyrics3" : " APEv2";
  const char* second = lyricsFirst ? " APEv2" : " Lyrics3";
  const bool hasFirst = lyricsFirst ? a.lyrics3 : a.apeTag;
  const bool hasSecond = lyricsFirst ? a.apeTag : a.lyrics3;
  out << "  followed by" << (hasFirst ? first : "") << (hasSecond ? second : "")
      << (a.id3v1 ? " ID3v1" : "") << "\n";
}

void FindingsJson(TJsonWriter& j, const std::vector<TStreamFinding>& findings) {
  j.BeginArray();
  for (const TStreamFinding& f : findings) {
    j.BeginObject();
    j.Member("offset", f.offset);
    j.Member("length", f.length);
    j.Member("kind", StreamFindingKindName(f.kind));
    j.Member("severity", StreamSeverityName(f.severity));
    j.Member("text", std::string_view(f.text));
    j.EndObject();
  }
  j.EndArray();
}

std::string FindingText(const TStreamFinding& f) {
  return Format("%s at byte %lld: %s", StreamSeverityName(f.severity),
                static_cast<long long>(f.offset), EscapeForTerminal(f.text).c_str());
}

void StreamReportMembers(TJsonWriter& j, const TStreamReport& r) {
  j.Member("frames", r.frames);
  j.Member("length", r.duration);
  j.Member("audioStart", r.audioStart);
  j.Member("audioEnd", r.audioEnd);
  j.Member("audioBytes", r.audioBytes);
  j.Member("vbrHeader", std::string_view(r.vbrHeader));
  j.Member("damaged", r.Damaged());
  FindingsJson(j.Key("findings"), r.findings);
}

void ReplayGainJson(TJsonWriter& j, const std::vector<TGainValue>& values) {
  j.BeginObject();
  // The values come grouped by source.
  for (size_t i = 0; i < values.size();) {
    const TGainSource source = values[i].source;
    j.Key(GainSourceJsonName(source)).BeginObject();
    for (const size_t first = i; i < values.size() && values[i].source == source; ++i) {
      const TGainValue& v = values[i];
      // A key held twice (in another case) gives its first value, as the lines do.
      if (i > first && values[i - 1].item == v.item) continue;
      j.Key(GainItemJsonName(v.item)).BeginObject().Member("text", std::string_view(v.text));
      if (v.parsed) j.Key("value").ExactValue(v.value);
      j.EndObject();
    }
    j.EndObject();
  }
  j.EndObject();
}

void ReplayGainText(std::ostream& out, const std::vector<TGainValue>& values) {
  const std::vector<TGainLine> lines = ReplayGainLines(values);
  if (lines.empty()) return;
  out << "ReplayGain:\n";
  for (const TGainLine& line : lines)
    out << "  " << line.label << ": " << EscapeForTerminal(line.text) << "\n";
}

}  // namespace tagscope::cli
