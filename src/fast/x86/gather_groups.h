// Gathers the values of the legal lanes of 16 with one byte shuffle (SSSE3)
// instead of a step per line: each pair of lanes is folded into one, since a
// line takes two bytes at least, and the 8 pairs are gathered by a shuffle
// control from a table. Include it inside a target region with SSSE3.
#pragma once

#include <tmmintrin.h>

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

namespace decbytes {

// Shuffle controls that gather the lanes set in an 8-bit mask to the front,
// in order: entry m lists the indices of m's set bits.
inline constexpr std::array<std::uint64_t, 256> kGatherControls = [] {
  std::array<std::uint64_t, 256> controls{};
  for (unsigned mask = 0; mask < 256; ++mask) {
    unsigned taken = 0;
    for (unsigned lane = 0; lane < 8; ++lane) {
      if ((mask >> lane & 1u) != 0) controls[mask] |= std::uint64_t{lane} << (8 * taken++);
    }
  }
  return controls;
}();

template <class Layer>
struct GatherGroups {
  static constexpr std::size_t kOverrun = 8;

  // Writes the first 8 bytes of `bytes` whose bits are set in `bits` (the
  // low 8), in order, at `out`; returns the cursor after them. Writes up to
  // kOverrun bytes past it.
  static char* Group(__m128i bytes, unsigned bits, char* out) {
    const __m128i control =
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&kGatherControls[bits & 0xFFu]));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(bytes, control));
    return out + std::popcount(bits & 0xFFu);
  }

  // Folds each pair of lanes of 16 into its first: the pair's legal byte, or
  // 0 (at most one line ends in a pair). Returns the 8 folded bytes first,
  // and sets `pairs` to the pairs holding a legal line, one bit each.
  static __m128i FoldPairs(__m128i values, __m128i legalLanes, unsigned& pairs) {
    const __m128i kept = _mm_and_si128(values, legalLanes);
    const __m128i folded =
        _mm_and_si128(_mm_or_si128(kept, _mm_srli_epi16(kept, 8)), _mm_set1_epi16(0xFF));
    const __m128i noLine = _mm_cmpeq_epi16(legalLanes, _mm_setzero_si128());
    pairs = ~static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(noLine, noLine))) & 0xFFu;
    return _mm_packus_epi16(folded, folded);
  }
};

}  // namespace decbytes
