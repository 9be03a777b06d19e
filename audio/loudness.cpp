// Loudness of MPEG audio: libmpg123 decodes the bytes handed in, libebur128 measures.
#include "tagscope/audio/loudness.h"

#include <ebur128.h>
#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <mutex>

#include "audio/true_peak.h"
#include "tagscope/rtl/exception.h"

namespace tagscope {

namespace {

constexpr int64_t kReadPiece = 256 << 10;

struct TDecoderDeleter {
  void operator()(mpg123_handle* h) const { mpg123_delete(h); }
};
struct TMeterDeleter {
  void operator()(ebur128_state* s) const { ebur128_destroy(&s); }
};

// A feed decoder that gives 32-bit floating point at the stream's own rate and channels.
// Floating point output is not clipped: peaks above full scale stay as they were encoded.
std::unique_ptr<mpg123_handle, TDecoderDeleter> NewDecoder() {
  static std::once_flag initialised;
  std::call_once(initialised, [] { mpg123_init(); });
  int error = MPG123_OK;
  std::unique_ptr<mpg123_handle, TDecoderDeleter> h(mpg123_new(nullptr, &error));
  if (!h)
    throw EConvertError(Format("The MPEG decoder cannot start: %s", mpg123_plain_strerror(error)));
  // Gapless: the encoder's delay and padding that an Info frame records are not audio.
  mpg123_param(h.get(), MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0);
  mpg123_format_none(h.get());
  const long* rates = nullptr;
  size_t count = 0;
  mpg123_rates(&rates, &count);
  for (size_t i = 0; i < count; ++i)
    mpg123_format(h.get(), rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
  if (mpg123_open_feed(h.get()) != MPG123_OK)
    throw EConvertError(Format("The MPEG decoder cannot start: %s", mpg123_strerror(h.get())));
  return h;
}

}  // namespace

bool TLoudnessResult::Silent() const {
  return !std::isfinite(Loudness);
}

struct TLoudness::TState {
  std::unique_ptr<mpg123_handle, TDecoderDeleter> decoder = NewDecoder();
  std::unique_ptr<ebur128_state, TMeterDeleter> meter;
  // The true peak is measured here, to the same result as libebur128's and in a fraction of
  // its time; the meter gives the sample peak.
  std::unique_ptr<TTruePeak> truePeak;
  long rate = 0;
  int channels = 0;
  int64_t frames = 0;

  void FormatChanged() {
    long newRate = 0;
    int newChannels = 0, encoding = 0;
    mpg123_getformat(decoder.get(), &newRate, &newChannels, &encoding);
    if (meter) {
      if (newRate != rate || newChannels != channels)
        throw EConvertError(Format(
            "The audio changes from %ld Hz, %d channels to %ld Hz, %d channels part-way: not "
            "measured",
            rate, channels, newRate, newChannels));
      return;
    }
    rate = newRate;
    channels = newChannels;
    meter.reset(ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(rate),
                             EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_SAMPLE_PEAK));
    if (!meter) throw EConvertError("The loudness meter cannot start");
    truePeak = std::make_unique<TTruePeak>(channels, rate);
  }

  // Decodes every frame the bytes fed so far complete.
  void Decode() {
    for (;;) {
      off_t number = 0;
      unsigned char* audio = nullptr;
      size_t bytes = 0;
      const int result = mpg123_decode_frame(decoder.get(), &number, &audio, &bytes);
      if (result == MPG123_NEED_MORE) return;
      if (result == MPG123_NEW_FORMAT) {
        FormatChanged();
        continue;
      }
      if (result != MPG123_OK)
        throw EConvertError(
            Format("The MPEG audio cannot be decoded: %s", mpg123_strerror(decoder.get())));
      if (bytes == 0 || !meter) continue;
      const size_t count = bytes / (sizeof(float) * static_cast<size_t>(channels));
      const float* samples = reinterpret_cast<const float*>(audio);
      if (ebur128_add_frames_float(meter.get(), samples, count) != EBUR128_SUCCESS)
        throw EConvertError("The loudness meter failed");
      truePeak->Add(samples, count);
      frames += static_cast<int64_t>(count);
    }
  }
};

TLoudness::TLoudness() : d(std::make_unique<TState>()) {}
TLoudness::~TLoudness() = default;
TLoudness::TLoudness(TLoudness&&) noexcept = default;
TLoudness& TLoudness::operator=(TLoudness&&) noexcept = default;

void TLoudness::Feed(std::string_view bytes) {
  if (!d->decoder) throw EConvertError("The loudness was measured already");
  if (bytes.empty()) return;
  if (mpg123_feed(d->decoder.get(), reinterpret_cast<const unsigned char*>(bytes.data()),
                  bytes.size()) != MPG123_OK)
    throw EConvertError(
        Format("The MPEG decoder cannot take more bytes: %s", mpg123_strerror(d->decoder.get())));
  d->Decode();
}

void TLoudness::FeedStream(TStream& stream, int64_t offset, int64_t count) {
  std::string piece(static_cast<size_t>(kReadPiece), '\0');
  int64_t position = offset;
  for (;;) {
    const int64_t want = count < 0 ? kReadPiece : std::min(kReadPiece, offset + count - position);
    if (want <= 0) return;
    const int64_t got = stream.ReadAt(position, piece.data(), want);
    if (got <= 0) return;
    Feed(std::string_view(piece.data(), static_cast<size_t>(got)));
    position += got;
  }
}

TLoudnessResult TLoudness::Finish() {
  if (!d->decoder) throw EConvertError("The loudness was measured already");
  d->Decode();
  // Only the meter is needed from now on (by an album's measure): the decoder and the bytes it
  // holds go, so that many finished measures take little memory.
  d->decoder.reset();
  if (!d->meter) throw EConvertError("No MPEG audio frame was found: not measured");
  TLoudnessResult r;
  ebur128_state* meter = d->meter.get();
  ebur128_loudness_global(meter, &r.Loudness);
  ebur128_loudness_range(meter, &r.Range);
  for (int c = 0; c < d->channels; ++c) {
    double peak = 0;
    if (ebur128_sample_peak(meter, static_cast<unsigned>(c), &peak) != EBUR128_SUCCESS) continue;
    r.SamplePeak = std::max(r.SamplePeak, peak);
    // As libebur128 reports it: never below the sample peak.
    r.TruePeak = std::max({r.TruePeak, peak, d->truePeak->Peak(c)});
  }
  // Audio shorter than one gating block has no loudness either.
  if (!std::isfinite(r.Loudness)) r.Loudness = -HUGE_VAL;
  if (!std::isfinite(r.Range)) r.Range = 0;
  r.Frames = d->frames;
  r.Channels = d->channels;
  r.SampleRate = d->rate;
  return r;
}

namespace {

std::vector<ebur128_state*> Meters(const std::vector<const TLoudness*>& tracks,
                                   ebur128_state* (*meter)(const TLoudness&)) {
  std::vector<ebur128_state*> meters;
  for (const TLoudness* t : tracks)
    if (ebur128_state* m = meter(*t)) meters.push_back(m);
  return meters;
}

}  // namespace

double TLoudness::AlbumLoudness(const std::vector<const TLoudness*>& tracks) {
  std::vector<ebur128_state*> meters =
      Meters(tracks, [](const TLoudness& t) { return t.d->meter.get(); });
  double loudness = -HUGE_VAL;
  if (meters.empty() ||
      ebur128_loudness_global_multiple(meters.data(), meters.size(), &loudness) !=
          EBUR128_SUCCESS ||
      !std::isfinite(loudness))
    return -HUGE_VAL;
  return loudness;
}

double TLoudness::AlbumRange(const std::vector<const TLoudness*>& tracks) {
  std::vector<ebur128_state*> meters =
      Meters(tracks, [](const TLoudness& t) { return t.d->meter.get(); });
  double range = 0;
  if (meters.empty() ||
      ebur128_loudness_range_multiple(meters.data(), meters.size(), &range) != EBUR128_SUCCESS ||
      !std::isfinite(range))
    return 0;
  return range;
}

}  // namespace tagscope
