// CRC-32 by carry-less multiplication (PCLMULQDQ) on x86-64: four 128-bit lanes are folded
// forward in parallel, then into one lane, then reduced to 32 bits with a Barrett reduction.
// The constants are powers of x modulo the CRC polynomial in the bit-reflected domain:
//   k1 = x^(4*128+32) mod P << 1, k2 = x^(4*128-32) mod P << 1   (fold by 512 bits)
//   k3 = x^(128+32) mod P << 1,   k4 = x^(128-32) mod P << 1     (fold by 128 bits)
//   k5 = x^64 mod P << 1                                           (fold 96 to 64 bits)
//   mu = x^64 / P, and P itself, for the Barrett reduction.
#include <immintrin.h>

#include "mapdata/detail/crc32_accel.h"

namespace kx::detail {
namespace {

#define KX_CLMUL_TARGET __attribute__((target("pclmul,sse4.1")))

KX_CLMUL_TARGET inline __m128i Fold(__m128i lane, __m128i constants, __m128i next) {
  const __m128i low = _mm_clmulepi64_si128(lane, constants, 0x00);
  const __m128i high = _mm_clmulepi64_si128(lane, constants, 0x11);
  return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

KX_CLMUL_TARGET inline __m128i Load(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

KX_CLMUL_TARGET uint32_t ClmulKernel(uint32_t reg, const uint8_t* data, size_t size) {
  const __m128i k1k2 = _mm_set_epi64x(0x01c6e41596, 0x0154442bd4);
  const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
  const __m128i k5 = _mm_set_epi64x(0, 0x0163cd6124);
  const __m128i poly = _mm_set_epi64x(0x01f7011641, 0x01db710641);
  const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);

  __m128i x1 = _mm_xor_si128(Load(data), _mm_cvtsi32_si128(static_cast<int>(reg)));
  __m128i x2 = Load(data + 16);
  __m128i x3 = Load(data + 32);
  __m128i x4 = Load(data + 48);
  data += 64;
  size -= 64;
  for (; size >= 64; data += 64, size -= 64) {
    x1 = Fold(x1, k1k2, Load(data));
    x2 = Fold(x2, k1k2, Load(data + 16));
    x3 = Fold(x3, k1k2, Load(data + 32));
    x4 = Fold(x4, k1k2, Load(data + 48));
  }
  x1 = Fold(x1, k3k4, x2);
  x1 = Fold(x1, k3k4, x3);
  x1 = Fold(x1, k3k4, x4);
  for (; size >= 16; data += 16, size -= 16) x1 = Fold(x1, k3k4, Load(data));

  // 128 to 64 bits, then 64 to 32 bits by Barrett reduction.
  __m128i x = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, k3k4, 0x10));
  x = _mm_xor_si128(_mm_srli_si128(x, 4), _mm_clmulepi64_si128(_mm_and_si128(x, low32), k5, 0x00));
  __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x, low32), poly, 0x10);
  t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), poly, 0x00);
  return static_cast<uint32_t>(_mm_extract_epi32(_mm_xor_si128(x, t), 1));
}

}  // namespace

Crc32BlockKernel FindCrc32BlockKernel() {
  __builtin_cpu_init();
  if (__builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1")) return ClmulKernel;
  return nullptr;
}

}  // namespace kx::detail
