// The walk over every frame of a stream on arbitrary bytes: junk, headers that lead nowhere,
// streams of several kinds mixed, tags inside the audio, VBR headers with wild counts, trailers
// with wild sizes. The first two bytes give where the walk starts. What it reports must hold
// together, and it must read each byte a bounded number of times, whatever the bytes.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tagscope/engine/stream_report.h"
#include "tagscope/rtl/stream.h"

namespace {

using namespace tagscope;

void Check(bool condition) {
  if (!condition) std::abort();
}

// A stream in memory that counts the bytes asked of it.
class TCountingStream : public TMemoryStream {
 public:
  using TMemoryStream::TMemoryStream;
  int64_t ReadAt(int64_t position, void* buffer, int64_t count) override {
    FBytes += count;
    return TMemoryStream::ReadAt(position, buffer, count);
  }
  int64_t Bytes() const { return FBytes; }

 private:
  int64_t FBytes = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int64_t start = (data[0] << 8) | data[1];
  TCountingStream stream(std::string(reinterpret_cast<const char*>(data) + 2, size - 2));
  const int64_t length = stream.Size();
  const TStreamReport r = WalkStream(stream, start);
  // The trailers' few kilobytes, the audio in blocks that overlap a little, and four bytes after
  // each tag header met in it.
  Check(stream.Bytes() <= 64 * 1024 + 4 * length);
  Check(r.audioStart <= r.audioEnd && r.audioEnd <= length);
  Check(r.frames >= 0 && r.audioBytes >= 0 && r.audioBytes <= r.audioEnd - r.audioStart);
  Check(std::isfinite(r.duration) && r.duration >= 0);
  Check(r.findings.size() <= 257);
  Check((r.firstFrame < 0) == (r.frames == 0 && r.audioBytes == 0));
  for (const TStreamFinding& f : r.findings) {
    Check(f.offset >= 0 && f.length >= 0 && f.offset + f.length <= length);
    Check(!f.text.empty());
  }
  return 0;
}
