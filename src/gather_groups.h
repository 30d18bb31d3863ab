// Gathers the values of the legal lanes eight lanes at a time, with one byte
// shuffle (SSSE3) each instead of a step per line. Include it inside a target
// region with SSSE3.
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

  // Writes the bytes of `values` (Layer::kLanes of them) whose lanes are set
  // in `legal`, in order, at `out`; returns the cursor after them. Writes up
  // to kOverrun bytes past it.
  static char* Run(const std::uint8_t* values, std::uint64_t legal, char* out) {
    for (std::size_t group = 0; group < Layer::kLanes / 8; ++group) {
      const unsigned bits = static_cast<unsigned>(legal >> (8 * group)) & 0xFFu;
      const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(values + 8 * group));
      const __m128i control =
          _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&kGatherControls[bits]));
      _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(bytes, control));
      out += std::popcount(bits);
    }
    return out;
  }
};

}  // namespace decbytes
