// SHA-256 blocks with the x86 SHA extensions, chosen at run time.
#include "rtl/sha256_blocks.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace tagscope {

#if defined(__x86_64__) || defined(__i386__)

namespace {

bool HasShaInstructions() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
  const bool sse41 = (c & (1u << 19)) != 0, ssse3 = (c & (1u << 9)) != 0;
  if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
  return sse41 && ssse3 && (b & (1u << 29)) != 0;
}

// The state is kept as the instructions want it: ABEF and CDGH. Each of the 16 steps does four
// rounds; the message schedule is the last four groups of four words.
__attribute__((target("sha,sse4.1,ssse3"))) void Blocks(uint32_t state[8], const uint8_t* data,
                                                        size_t blocks) {
  const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
  __m128i tmp = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0xB1);
  __m128i state1 =
      _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)), 0x1B);
  __m128i state0 = _mm_alignr_epi8(tmp, state1, 8);
  state1 = _mm_blend_epi16(state1, tmp, 0xF0);
  for (; blocks > 0; --blocks, data += 64) {
    const __m128i abef = state0, cdgh = state1;
    __m128i w[4];
    for (int i = 0; i < 16; ++i) {
      __m128i& m = w[i % 4];
      if (i < 4) {
        m = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)),
                             byteSwap);
      } else {
        const __m128i t = _mm_add_epi32(_mm_sha256msg1_epu32(w[i % 4], w[(i + 1) % 4]),
                                        _mm_alignr_epi8(w[(i + 3) % 4], w[(i + 2) % 4], 4));
        m = _mm_sha256msg2_epu32(t, w[(i + 3) % 4]);
      }
      __m128i k =
          _mm_add_epi32(m, _mm_loadu_si128(reinterpret_cast<const __m128i*>(Sha256K + 4 * i)));
      state1 = _mm_sha256rnds2_epu32(state1, state0, k);
      k = _mm_shuffle_epi32(k, 0x0E);
      state0 = _mm_sha256rnds2_epu32(state0, state1, k);
    }
    state0 = _mm_add_epi32(state0, abef);
    state1 = _mm_add_epi32(state1, cdgh);
  }
  tmp = _mm_shuffle_epi32(state0, 0x1B);
  state1 = _mm_shuffle_epi32(state1, 0xB1);
  state0 = _mm_blend_epi16(tmp, state1, 0xF0);
  state1 = _mm_alignr_epi8(state1, tmp, 8);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), state0);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), state1);
}

}  // namespace

bool Sha256BlocksHardware(uint32_t state[8], const uint8_t* data, size_t blocks) {
  static const bool available = HasShaInstructions();
  if (!available) return false;
  Blocks(state, data, blocks);
  return true;
}

#else

bool Sha256BlocksHardware(uint32_t*, const uint8_t*, size_t) {
  return false;
}

#endif

}  // namespace tagscope
