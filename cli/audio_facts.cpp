// The audio facts as dump and show print them.
#include "cli/audio_facts.h"

#include <cstdio>

namespace tagscope::cli {

namespace {

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f s", seconds);
  return text;
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

void AudioText(std::ostream& out, const TMpegAudioProperties& a) {
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
  if (a.apeTag || a.lyrics3 || a.id3v1)
    out << "  followed by" << (a.apeTag ? " APEv2" : "") << (a.lyrics3 ? " Lyrics3" : "")
        << (a.id3v1 ? " ID3v1" : "") << "\n";
}

}  // namespace tagscope::cli
