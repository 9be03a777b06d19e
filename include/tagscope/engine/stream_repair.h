#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tagscope/engine/file_range.h"
#include "tagscope/engine/stream_report.h"
#include "tagscope/rtl/stream.h"

namespace tagscope {

// A cut longer than this may be someone's data rather than junk: it is made only when forced.
inline constexpr int64_t kLargeRepairCut = 64 * 1024;

struct TStreamRepairOptions {
  bool force = false;  // cut runs longer than kLargeRepairCut too
};

// One change a repair makes, with what it is in words ("cut 200 bytes of junk between frames").
struct TStreamRepairStep {
  TFileSplice splice;
  std::string text;
};

// What a repair of an MP3 stream changes, and what it leaves.
struct TStreamRepairPlan {
  TStreamReport report;                  // the walk the plan was made from
  std::vector<TStreamRepairStep> steps;  // in the order of their offsets
  std::vector<std::string> left;         // damage the repair cannot mend, and why
  std::vector<std::string> notes;        // what a repaired file may still do when played
  int64_t frames = 0;                    // audio frames after the repair
  double duration = 0;                   // seconds after the repair

  std::vector<TFileSplice> Splices() const;
};

// Plans the repair of the MP3 stream in `stream` (ID3v2 tags from `start` on, the blocks behind
// the audio left as they are): cuts junk before and between frames, a last frame cut short,
// garbage after the audio and a second ID3v1 trailer; writes a Xing (VBR) or Info (CBR) header
// frame, with frame count, byte count and table of contents, in place of a header frame that is
// wrong or goes out of date with the cuts, or before the first frame where there is none and
// something else is repaired or the bitrate varies; keeps a LAME extension (delay, padding)
// with its checksum made anew. Every other byte stays. Raises only what the stream raises.
TStreamRepairPlan PlanStreamRepair(TStream& stream, const TStreamRepairOptions& options,
                                   int64_t start = 0);

}  // namespace tagscope
