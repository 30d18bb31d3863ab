// The line kernel on AVX-512 (BW and VBMI2): 64 lanes, truth values in mask
// registers, the legal lanes' bytes gathered by a compress into a register
// and one plain store. (The compress straight to memory is far slower on
// some processors.)
#include "fast/kernels.h"

#if defined(DECBYTES_X86_KERNELS)

#include <immintrin.h>

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "conversion.h"
#include "fast/target_region.h"

DECBYTES_TARGET_BEGIN("avx512f,avx512bw,avx512vbmi2,popcnt,bmi")

#include "fast/line_kernel.h"

namespace decbytes {

namespace {

// The table once in each 16-byte part of a vector, as the shuffle wants it.
template <ByteTable kTable>
constexpr std::array<std::uint8_t, 64> kRepeated = [] {
  std::array<std::uint8_t, 64> repeated{};
  for (std::size_t i = 0; i < repeated.size(); ++i) repeated[i] = kTable[i % 16];
  return repeated;
}();

struct Avx512 {
  static constexpr std::size_t kLanes = 64;
  static constexpr unsigned kBitsPerLane = 1;
  static constexpr std::size_t kGatherOverrun = 64;
  using Vec = __m512i;
  using Bits = __mmask64;

  static Vec Load(const char* at) { return _mm512_loadu_si512(at); }
  static Vec Splat(std::uint8_t byte) { return _mm512_set1_epi8(static_cast<char>(byte)); }
  template <ByteTable kTable>
  static Vec Lookup(Vec index) {
    return _mm512_shuffle_epi8(_mm512_loadu_si512(kRepeated<kTable>.data()), index);
  }
  static Vec Add(Vec a, Vec b) { return _mm512_add_epi8(a, b); }
  static Vec Min(Vec a, Vec b) { return _mm512_min_epu8(a, b); }
  static Bits Equal(Vec a, Vec b) { return _mm512_cmpeq_epi8_mask(a, b); }
  static Bits AtMost(Vec a, Vec b) { return _mm512_cmple_epu8_mask(a, b); }
  static Bits Greater(Vec a, Vec b) { return _mm512_cmpgt_epi8_mask(a, b); }
  static Bits And(Bits a, Bits b) { return a & b; }
  static Bits Or(Bits a, Bits b) { return a | b; }
  static Bits AndNot(Bits a, Bits b) { return a & ~b; }
  static Vec ZeroWhere(Bits bits, Vec v) { return _mm512_maskz_mov_epi8(~bits, v); }
  static std::uint64_t ToMask(Bits bits) { return bits; }
  static char* Gather(Vec values, Bits /*legalLanes*/, std::uint64_t legal, char* out) {
    _mm512_storeu_si512(out, _mm512_maskz_compress_epi8(legal, values));
    return out + std::popcount(legal);
  }
  static void Store(std::uint8_t* bytes, Vec v) { _mm512_storeu_si512(bytes, v); }
};

}  // namespace

const char* ConvertLinesAvx512(Conversion& c, const char* lineStart, const char* end) {
  return LineKernel<Avx512>::Convert(c, lineStart, end);
}

}  // namespace decbytes

DECBYTES_TARGET_END

#endif
