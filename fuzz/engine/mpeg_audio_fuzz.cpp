// The audio facts reader on arbitrary bytes: junk before the frames, frame headers that lead
// nowhere, Xing, LAME and VBRI headers with wild counts, trailers with wild sizes. The first two
// bytes give where the reader starts. What it reports must hold together, and it must read a
// bounded number of times, whatever the bytes.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tagscope/engine/mpeg_audio.h"
#include "tagscope/rtl/stream.h"

namespace {

using namespace tagscope;

void Check(bool condition) {
  if (!condition) std::abort();
}

// A stream in memory that counts the reads made of it.
class TCountingStream : public TMemoryStream {
 public:
  using TMemoryStream::TMemoryStream;
  int64_t ReadAt(int64_t position, void* buffer, int64_t count) override {
    ++FReads;
    return TMemoryStream::ReadAt(position, buffer, count);
  }
  int64_t Reads() const { return FReads; }

 private:
  int64_t FReads = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int64_t start = (data[0] << 8) | data[1];
  TCountingStream stream(std::string(reinterpret_cast<const char*>(data) + 2, size - 2));
  const int64_t length = stream.Size();
  const TMpegAudioProperties p = ReadMpegAudio(stream, start);
  // A few reads for the tags and trailers, then at most a window and two look-aheads for each
  // byte searched.
  Check(stream.Reads() <= 64 + 3 * length);
  Check(p.audioEnd <= length);
  if (!p.found) return 0;
  const TMpegFrameHeader& h = p.first;
  Check(p.firstFrameOffset >= start && p.firstFrameOffset + 4 <= p.audioEnd);
  Check(h.layer >= 1 && h.layer <= 3 && h.sampleRate >= 8000 && h.frameLength > 0);
  Check(p.bitrate > 0);
  Check(std::isfinite(p.duration) && p.duration >= 0);
  Check(p.gaplessDuration <= p.duration);
  Check(p.durationSource != TDurationSource::dsNone);
  for (const char c : p.encoder) Check(c >= 0x20 && c < 0x7F);
  return 0;
}
