// The line kernel on AVX2: 32 lanes, table lookups by byte shuffle.
#include "fast/kernels.h"

#if defined(DECBYTES_X86_KERNELS)

#include <immintrin.h>

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "conversion.h"
#include "fast/target_region.h"

DECBYTES_TARGET_BEGIN("avx2,popcnt,bmi")

#include "fast/line_kernel.h"
#include "fast/x86/gather_groups.h"

namespace decbytes {

namespace {

struct Avx2 {
  static constexpr std::size_t kLanes = 32;
  static constexpr unsigned kBitsPerLane = 1;
  static constexpr std::size_t kGatherOverrun = GatherGroups<Avx2>::kOverrun;
  using Vec = __m256i;
  using Bits = __m256i;

  static Vec Load(const char* at) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
  }
  static Vec Splat(std::uint8_t byte) { return _mm256_set1_epi8(static_cast<char>(byte)); }
  template <ByteTable kTable>
  static Vec Lookup(Vec index) {
    const __m128i table = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kTable.data()));
    return _mm256_shuffle_epi8(_mm256_broadcastsi128_si256(table), index);
  }
  static Vec Add(Vec a, Vec b) { return _mm256_add_epi8(a, b); }
  static Vec Min(Vec a, Vec b) { return _mm256_min_epu8(a, b); }
  static Bits Equal(Vec a, Vec b) { return _mm256_cmpeq_epi8(a, b); }
  static Bits AtMost(Vec a, Vec b) { return _mm256_cmpeq_epi8(_mm256_min_epu8(a, b), a); }
  static Bits Greater(Vec a, Vec b) { return _mm256_cmpgt_epi8(a, b); }
  static Bits And(Bits a, Bits b) { return _mm256_and_si256(a, b); }
  static Bits Or(Bits a, Bits b) { return _mm256_or_si256(a, b); }
  static Bits AndNot(Bits a, Bits b) { return _mm256_andnot_si256(b, a); }
  static Vec ZeroWhere(Bits bits, Vec v) { return _mm256_andnot_si256(bits, v); }
  static std::uint64_t ToMask(Bits bits) {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(bits));
  }
  // As GatherGroups::FoldPairs, in both halves at once: the low half's
  // folded bytes and pairs come first in each, the high half's from byte and
  // bit 16.
  static char* Gather(Vec values, Bits legalLanes, std::uint64_t /*legal*/, char* out) {
    const __m256i kept = _mm256_and_si256(values, legalLanes);
    const __m256i folded = _mm256_and_si256(_mm256_or_si256(kept, _mm256_srli_epi16(kept, 8)),
                                            _mm256_set1_epi16(0xFF));
    const __m256i packed = _mm256_packus_epi16(folded, folded);
    const __m256i noLine = _mm256_cmpeq_epi16(legalLanes, _mm256_setzero_si256());
    const unsigned pairs =
        ~static_cast<unsigned>(_mm256_movemask_epi8(_mm256_packs_epi16(noLine, noLine)));
    out = GatherGroups<Avx2>::Group(_mm256_castsi256_si128(packed), pairs, out);
    return GatherGroups<Avx2>::Group(_mm256_extracti128_si256(packed, 1), pairs >> 16, out);
  }
  static void Store(std::uint8_t* bytes, Vec v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(bytes), v);
  }
};

}  // namespace

const char* ConvertLinesAvx2(Conversion& c, const char* lineStart, const char* end) {
  return LineKernel<Avx2>::Convert(c, lineStart, end);
}

}  // namespace decbytes

DECBYTES_TARGET_END

#endif
