// The primitives of the line kernel (line_kernel.h) on 16 lanes of SSE2,
// shared by the SSE2 and SSSE3 layers. Include it inside a target region;
// `Layer` makes each layer's copy its own.
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

namespace decbytes {

template <class Layer>
struct SseBytes {
  static constexpr std::size_t kLanes = 16;
  static constexpr unsigned kBitsPerLane = 1;
  using Vec = __m128i;
  using Bits = __m128i;

  static Vec Load(const char* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); }
  static Vec Splat(std::uint8_t byte) { return _mm_set1_epi8(static_cast<char>(byte)); }
  static Vec Add(Vec a, Vec b) { return _mm_add_epi8(a, b); }
  static Vec Min(Vec a, Vec b) { return _mm_min_epu8(a, b); }
  static Bits Equal(Vec a, Vec b) { return _mm_cmpeq_epi8(a, b); }
  static Bits AtMost(Vec a, Vec b) { return _mm_cmpeq_epi8(_mm_min_epu8(a, b), a); }
  static Bits Greater(Vec a, Vec b) { return _mm_cmpgt_epi8(a, b); }
  static Bits And(Bits a, Bits b) { return _mm_and_si128(a, b); }
  static Bits Or(Bits a, Bits b) { return _mm_or_si128(a, b); }
  static Bits AndNot(Bits a, Bits b) { return _mm_andnot_si128(b, a); }
  static Vec ZeroWhere(Bits bits, Vec v) { return _mm_andnot_si128(bits, v); }
  static std::uint64_t ToMask(Bits bits) {
    return static_cast<std::uint32_t>(_mm_movemask_epi8(bits)) & 0xFFFFu;
  }
  static void Store(std::uint8_t* bytes, Vec v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes), v);
  }
};

}  // namespace decbytes
