#pragma once

#include <ostream>
#include <string>

#include "cli/frame_print.h"
#include "tagscope/engine/id3_engine.h"
#include "tagscope/engine/mpeg_audio.h"
#include "tagscope/engine/stream_report.h"

namespace tagscope::cli {

// What the engine holds for the file it has open, as a JSON object (texts in full as UTF-8;
// "fileBytes" in hexadecimal beside a file name that was not UTF-8) and as text for people
// (UTF-8, control characters escaped). Besides the engine's fields, both give the genre and
// year as the viewer shows them, with its fallbacks. Every frame's content is decoded by its kind;
// `binary` says how much of binary payloads the JSON gives. With `audio`, the file's audio facts
// follow (the JSON object's "audio" member). The ID3v1 trailer's texts read in `v1Charset` where
// one is named. Both give the ReplayGain values ("replayGain") and the findings that need no walk
// over the stream ("findings": a header that contradicts the file, damaged blocks behind the
// audio); with `check`, the whole walk's report too ("check", as `check --json` gives it).
std::string DumpJson(TID3Engine& engine, const TMpegAudioProperties* audio = nullptr,
                     TBinaryDetail binary = TBinaryDetail::bdSize,
                     const std::string& v1Charset = std::string(),
                     const TStreamReport* check = nullptr);
void DumpText(std::ostream& out, TID3Engine& engine, const TMpegAudioProperties* audio = nullptr,
              const std::string& v1Charset = std::string(), const TStreamReport* check = nullptr);

}  // namespace tagscope::cli
