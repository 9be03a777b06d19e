#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/json_writer.h"
#include "tagscope/engine/mpeg_audio.h"
#include "tagscope/engine/replay_gain.h"
#include "tagscope/engine/stream_report.h"
#include "tagscope/engine/trailer_tags.h"

namespace tagscope::cli {

// The audio facts of a file (TID3Engine::ReadAudio) as a JSON object, and as lines of text for
// people.
void AudioJson(TJsonWriter& j, const TMpegAudioProperties& a);
// The blocks behind the audio are named in the order the file stores them, where `trailers`
// gives their places.
void AudioText(std::ostream& out, const TMpegAudioProperties& a,
               const TTrailerTags* trailers = nullptr);

// Findings of a stream: a JSON array of objects (offset, length, kind, severity, text), and a
// line for people ("damage at byte 123: junk between frames (4 bytes)", escaped).
void FindingsJson(TJsonWriter& j, const std::vector<TStreamFinding>& findings);
std::string FindingText(const TStreamFinding& f);
// A walk's report as members of an open JSON object: frames, length, audio bounds, VBR header,
// whether damaged, and the findings.
void StreamReportMembers(TJsonWriter& j, const TStreamReport& r);

// ReplayGain values as a JSON object of the sources that hold any ("id3", "rva2", "ape"), each
// an object of its items ("trackGain": {"text": "-7.23 dB", "value": -7.23}; no "value" where
// the text holds no number); and as lines for people under "ReplayGain:", nothing for none.
void ReplayGainJson(TJsonWriter& j, const std::vector<TGainValue>& values);
void ReplayGainText(std::ostream& out, const std::vector<TGainValue>& values);

}  // namespace tagscope::cli
