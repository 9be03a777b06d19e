// Relative volume, equalisation and reverb.
#include "engine/frames/volume_frames.h"

#include <cstdlib>
#include <vector>

#include "tagscope/rtl/exception.h"

namespace tagscope {

namespace {

constexpr int kDecibelScale = 512;  // volume adjustments are stored in 1/512 dB

// Whole bytes of a value of `bits` bits.
size_t BytesOfBits(int64_t bits) {
  return (static_cast<size_t>(bits) + 7) / 8;
}

// A peak of `bits` bits, in as many whole bytes; more than 8 bytes stays bytes.
bool Peak(TFieldReader& r, int bits) {
  const size_t bytes = BytesOfBits(bits);
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

// The bits of the values that follow, 1 to 64.
size_t ValueBytes(TFieldWriter& w, std::string_view name) {
  const int64_t bits = w.Field(name, TFieldType::ftNumber).Number;
  if (bits < 1 || bits > 64) w.Refuse(name, "is a number of bits from 1 to 64");
  w.Number(name, 1);
  return BytesOfBits(bits);
}

// The magnitude of an adjustment in `bytes` bytes.
void Magnitude(TFieldWriter& w, int64_t value, size_t bytes, std::string_view name) {
  const uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : value;
  if (bytes < 8 && magnitude >> (8 * bytes) != 0)
    w.Refuse(name, Format("does not fit its %zu bytes", bytes));
  w.RawNumber(magnitude, static_cast<int>(bytes));
}

// The adjustments among the values of RVAD, by the flag bit of their sign.
constexpr int kSignIndex[] = {0, 1, 4, 5, 8, 10};

int SignBit(size_t value) {
  for (int b = 0; b < 6; ++b)
    if (kSignIndex[b] == static_cast<int>(value)) return b;
  return -1;
}

}  // namespace

void ParseVolumeFrame(TFieldReader& r) {
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

void RenderVolumeFrame(TFieldWriter& w) {
  w.Latin1("identification");
  w.Records("channels", [&] {
    w.Number("channel", 1);
    w.Signed("adjustment", 2);
    const size_t bytes = BytesOfBits(w.Field("peakBits", TFieldType::ftNumber).Number);
    w.Number("peakBits", 1);
    if (bytes > 8)
      w.Bytes("peak", bytes);
    else if (bytes > 0)
      w.Number("peak", static_cast<int>(bytes));
  });
}

// Values in the stored order: right, left, their peaks, then optionally the back channels and
// their peaks, centre and its peak, bass and its peak. Each adjustment's sign is a flag bit.
void ParseOldVolumeFrame(TFieldReader& r) {
  if (!r.Number("flags", 1) || !r.Number("bits", 1)) return;
  const auto flags = static_cast<int>(r.Target()[0].Number);
  const int bits = static_cast<int>(r.Last().Number);
  if (bits == 0) return r.Fail("its volume changes have 0 bits");
  const size_t bytes = BytesOfBits(bits);
  if (bytes > 8) return r.Fail(Format("its volume changes of %d bits are too large to read", bits));
  if (r.Remaining() < 2 * bytes) return r.Fail("it lacks the right and left volume changes");
  TFrameField& values = r.Add("adjustments", TFieldType::ftNumbers);
  for (size_t i = 0; i < 12 && r.Remaining() >= bytes; ++i) {
    const int bit = SignBit(i);
    Adjustment(r, values.Numbers, bytes, bit < 0 || (flags >> bit & 1));
  }
}

// The flag of each adjustment's sign follows the value; a zero keeps the flag it was given.
void RenderOldVolumeFrame(TFieldWriter& w) {
  const std::vector<int64_t>& values = w.Field("adjustments", TFieldType::ftNumbers).Numbers;
  if (values.size() < 2 || values.size() > 12)
    w.Refuse("adjustments", "is 2 to 12 numbers: right, left, their peaks and the others");
  int64_t flags = w.Field("flags", TFieldType::ftNumber).Number;
  if (flags < 0 || flags > 255) w.Refuse("flags", "is a number from 0 to 255");
  for (size_t i = 0; i < values.size(); ++i) {
    const int bit = SignBit(i);
    if (bit >= 0 && values[i] > 0) flags |= 1 << bit;
    if (bit >= 0 && values[i] < 0) flags &= ~(1 << bit);
    if (bit < 0 && values[i] < 0) w.Refuse("adjustments", "holds a negative peak");
  }
  w.RawNumber(static_cast<uint64_t>(flags), 1);
  const size_t bytes = ValueBytes(w, "bits");
  for (const int64_t value : values) Magnitude(w, value, bytes, "adjustments");
}

void ParseEqualisationFrame(TFieldReader& r) {
  static const std::string_view methods[] = {"Band", "Linear"};
  if (!r.Number("interpolation", 1)) return;
  r.Last().Label = TableLabel(methods, r.Last().Number);
  if (!r.Latin1("identification")) return;
  r.Records("points", [&](TFrameFields&) {
    return r.Number("frequency", 2, 2, "Hz") && r.Signed("adjustment", 2, kDecibelScale, "dB");
  });
}

void RenderEqualisationFrame(TFieldWriter& w) {
  w.Number("interpolation", 1);
  w.Latin1("identification");
  w.Records("points", [&] {
    w.Number("frequency", 2);
    w.Signed("adjustment", 2);
  });
}

// Each point: an increment bit and a 15-bit frequency in Hz, then the adjustment's magnitude.
void ParseOldEqualisationFrame(TFieldReader& r) {
  if (!r.Number("bits", 1)) return;
  const int bits = static_cast<int>(r.Last().Number);
  const size_t bytes = BytesOfBits(bits);
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

// A point of no adjustment is written as an increment.
void RenderOldEqualisationFrame(TFieldWriter& w) {
  const size_t bytes = ValueBytes(w, "bits");
  w.Records("points", [&] {
    const int64_t frequency = w.Field("frequency", TFieldType::ftNumber).Number;
    if (frequency < 0 || frequency > 0x7FFF) w.Refuse("frequency", "is a number from 0 to 32767");
    const int64_t adjustment = w.Field("adjustment", TFieldType::ftNumber).Number;
    w.RawNumber(static_cast<uint64_t>(frequency) | (adjustment >= 0 ? 0x8000 : 0), 2);
    Magnitude(w, adjustment, bytes, "adjustment");
  });
}

void ParseReverbFrame(TFieldReader& r) {
  r.Number("left", 2, 1, "ms") && r.Number("right", 2, 1, "ms") && r.Number("bouncesLeft", 1) &&
      r.Number("bouncesRight", 1) && r.Number("feedbackLeftToLeft", 1) &&
      r.Number("feedbackLeftToRight", 1) && r.Number("feedbackRightToRight", 1) &&
      r.Number("feedbackRightToLeft", 1) && r.Number("premixLeftToRight", 1) &&
      r.Number("premixRightToLeft", 1);
}

void RenderReverbFrame(TFieldWriter& w) {
  w.Number("left", 2);
  w.Number("right", 2);
  for (const char* name :
       {"bouncesLeft", "bouncesRight", "feedbackLeftToLeft", "feedbackLeftToRight",
        "feedbackRightToRight", "feedbackRightToLeft", "premixLeftToRight", "premixRightToLeft"})
    w.Number(name, 1);
}

}  // namespace tagscope
