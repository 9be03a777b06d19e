// Decoders of the frames that adjust playback: relative volume, equalisation and reverb, in
// the forms of ID3v2.4 (RVA2, EQU2) and of ID3v2.3 (RVAD, EQUA).
#include <vector>

#include "engine/frame_decoders.h"
#include "tagscope/rtl/exception.h"

namespace tagscope {

namespace {

constexpr int kDecibelScale = 512;  // volume adjustments are stored in 1/512 dB

// A peak of `bits` bits, in as many whole bytes; more than 8 bytes stays bytes.
bool Peak(TFieldReader& r, int bits) {
  const size_t bytes = (static_cast<size_t>(bits) + 7) / 8;
  if (bytes == 0) return true;
  if (bytes > 8) return r.Bytes("peak", bytes);
  return r.Number("peak", static_cast<int>(bytes));
}

// The magnitude of `bytes` bytes, negative where the increment bit is clear.
bool Adjustment(TFieldReader& r, std::vector<int64_t>& values, size_t bytes, bool increment) {
  if (!r.Need(bytes, "adjustment")) return false;
  const int64_t value = r.ReadBE(static_cast<int>(bytes));
  values.push_back(increment ? value : -value);
  return true;
}

}  // namespace

void DecodeVolumeFrame(TFieldReader& r) {
  static const std::string_view channels[] = {"Other",        "Master volume", "Front right",
                                              "Front left",   "Back right",    "Back left",
                                              "Front centre", "Back centre",   "Subwoofer"};
  if (!r.Latin1("identification")) return;
  r.Records("channels", [&](TFrameFields&) {
    if (!r.Number("channel", 1)) return false;
    r.Last().Label = TableLabel(channels, r.Last().Number);
    return r.Signed("adjustment", 2, kDecibelScale, "dB") && r.Number("peakBits", 1) &&
           Peak(r, static_cast<int>(r.Last().Number));
  });
}

// Values in the stored order: right, left, their peaks, then optionally the back channels and
// their peaks, centre and its peak, bass and its peak. Each adjustment's sign is a flag bit.
void DecodeOldVolumeFrame(TFieldReader& r) {
  if (!r.Number("flags", 1) || !r.Number("bits", 1)) return;
  const auto flags = static_cast<int>(r.Target()[0].Number);
  const int bits = static_cast<int>(r.Last().Number);
  if (bits == 0) return r.Fail("its volume changes have 0 bits");
  const size_t bytes = (static_cast<size_t>(bits) + 7) / 8;
  if (bytes > 8) return r.Fail(Format("its volume changes of %d bits are too large to read", bits));
  if (r.Remaining() < 2 * bytes) return r.Fail("it lacks the right and left volume changes");
  static const int signIndex[] = {0, 1, 4, 5, 8, 10};  // the adjustments among the values
  TFrameField& values = r.Add("adjustments", TFieldType::ftNumbers);
  for (size_t i = 0; i < 12 && r.Remaining() >= bytes; ++i) {
    int bit = -1;
    for (int b = 0; b < 6; ++b)
      if (signIndex[b] == static_cast<int>(i)) bit = b;
    Adjustment(r, values.Numbers, bytes, bit < 0 || (flags >> bit & 1));
  }
}

void DecodeEqualisationFrame(TFieldReader& r) {
  static const std::string_view methods[] = {"Band", "Linear"};
  if (!r.Number("interpolation", 1)) return;
  r.Last().Label = TableLabel(methods, r.Last().Number);
  if (!r.Latin1("identification")) return;
  r.Records("points", [&](TFrameFields&) {
    return r.Number("frequency", 2, 2, "Hz") && r.Signed("adjustment", 2, kDecibelScale, "dB");
  });
}

// Each point: an increment bit and a 15-bit frequency in Hz, then the adjustment's magnitude.
void DecodeOldEqualisationFrame(TFieldReader& r) {
  if (!r.Number("bits", 1)) return;
  const int bits = static_cast<int>(r.Last().Number);
  const size_t bytes = (static_cast<size_t>(bits) + 7) / 8;
  if (bits == 0) return r.Fail("its adjustments have 0 bits");
  if (bytes > 8) return r.Fail(Format("its adjustments of %d bits are too large to read", bits));
  r.Records("points", [&](TFrameFields& point) {
    if (!r.Number("frequency", 2, 1, "Hz")) return false;
    const bool increment = point[0].Number & 0x8000;
    point[0].Number &= 0x7FFF;
    std::vector<int64_t> value;
    if (!Adjustment(r, value, bytes, increment)) return false;
    r.Add("adjustment", TFieldType::ftNumber).Number = value[0];
    return true;
  });
}

void DecodeReverbFrame(TFieldReader& r) {
  r.Number("left", 2, 1, "ms") && r.Number("right", 2, 1, "ms") && r.Number("bouncesLeft", 1) &&
      r.Number("bouncesRight", 1) && r.Number("feedbackLeftToLeft", 1) &&
      r.Number("feedbackLeftToRight", 1) && r.Number("feedbackRightToRight", 1) &&
      r.Number("feedbackRightToLeft", 1) && r.Number("premixLeftToRight", 1) &&
      r.Number("premixRightToLeft", 1);
}

}  // namespace tagscope
