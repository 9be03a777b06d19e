// The repair plan on arbitrary bytes: old header frames with wild flags and LAME extensions,
// junk, frames cut short. The first byte says whether long runs may be cut. Every change must
// lie in the file, after the tags at its start, apart from the others; every header frame
// written must read back as a Xing or Info header whose LAME checksum fits; and the repaired
// bytes must walk again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/audio/mpeg_vbr_header.h"
#include "tagscope/engine/stream_repair.h"
#include "tagscope/rtl/byte_reader.h"
#include "tagscope/rtl/stream.h"

namespace {

using namespace tagscope;

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckHeaderFrame(const std::string& frame) {
  TMpegFrameHeader h;
  Check(frame.size() >= 4 &&
        ParseMpegFrameHeader(static_cast<uint32_t>(TByteReader(frame).BEAt(0, 4)), h));
  Check(h.frameLength == static_cast<int>(frame.size()));
  const TVbrHeader v = ReadVbrHeader(frame, h);
  Check(v.kind == "Xing" || v.kind == "Info");
  Check(v.lameOffset < 0 || LameCrcMatches(frame, static_cast<size_t>(v.lameOffset)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  TMemoryStream stream(bytes);
  TStreamRepairOptions options;
  options.force = (data[0] & 1) != 0;
  const TStreamRepairPlan plan = PlanStreamRepair(stream, options);
  const auto length = static_cast<int64_t>(bytes.size());
  int64_t last = plan.report.audioStart;
  std::string repaired;
  for (const TStreamRepairStep& s : plan.steps) {
    const TFileRange& r = s.splice.range;
    Check(!s.text.empty() && r.Offset >= last && r.Size >= 0 && r.End() <= length);
    Check(options.force || r.Size <= kLargeRepairCut || !s.splice.bytes.empty());
    if (!s.splice.bytes.empty()) CheckHeaderFrame(s.splice.bytes);
    repaired += bytes.substr(static_cast<size_t>(last), static_cast<size_t>(r.Offset - last));
    repaired += s.splice.bytes;
    last = r.End();
  }
  if (plan.steps.empty()) return 0;
  repaired = bytes.substr(0, static_cast<size_t>(plan.report.audioStart)) + repaired +
             bytes.substr(static_cast<size_t>(last));
  TMemoryStream after(repaired);
  PlanStreamRepair(after, options);
  return 0;
}
