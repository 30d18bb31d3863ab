// The line kernel on SSE2: 16 lanes, for x86 processors without SSSE3. SSE2
// has no byte shuffle, so table lookups are computed or compared out.
#include "fast/kernels.h"

#if defined(DECBYTES_X86_KERNELS)

#include <emmintrin.h>

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "conversion.h"
#include "fast/target_region.h"

DECBYTES_TARGET_BEGIN("sse2")

#include "fast/line_kernel.h"
#include "fast/x86/sse_bytes.h"

namespace decbytes {

namespace {

// The number of leading entries of `table` that run k * table[1] with all
// entries after them 0; 0 when the table is not so.
constexpr std::size_t LinearLength(const ByteTable& table) {
  std::size_t length = 0;
  while (length < table.size() && table[length] == (length * table[1]) % 256) ++length;
  for (std::size_t k = length; k < table.size(); ++k) {
    if (table[k] != 0) return 0;
  }
  return length;
}

struct Sse2 : SseBytes<Sse2> {
  // kTable[index] where index < 16, else 0. A table of multiples (such as
  // ten times the digit) is computed; any other compares the index with
  // each entry that is not 0.
  template <ByteTable kTable>
  static Vec Lookup(Vec index) {
    constexpr std::size_t kLinear = LinearLength(kTable);
    if constexpr (kLinear > 3) {
      const Bits inTable = AtMost(index, Splat(static_cast<std::uint8_t>(kLinear - 1)));
      return _mm_and_si128(inTable, Times<kTable[1]>(index));
    } else {
      return LookupEach<kTable>(index, std::make_index_sequence<16>{});
    }
  }

  // kFactor * v in each lane, modulo 256, by doubling and adding.
  template <unsigned kFactor>
  static Vec Times(Vec v) {
    Vec sum = _mm_setzero_si128();
    for (unsigned bits = kFactor; bits != 0; bits >>= 1, v = _mm_add_epi8(v, v)) {
      if ((bits & 1u) != 0) sum = _mm_add_epi8(sum, v);
    }
    return sum;
  }

  template <ByteTable kTable, std::size_t... kEntries>
  static Vec LookupEach(Vec index, std::index_sequence<kEntries...> /*entries*/) {
    Vec found = _mm_setzero_si128();
    ((found = _mm_or_si128(found, Entry<kTable, kEntries>(index))), ...);
    return found;
  }

  // kTable[kEntry] in the lanes where index is kEntry, 0 elsewhere.
  template <ByteTable kTable, std::size_t kEntry>
  static Vec Entry(Vec index) {
    if constexpr (kTable[kEntry] == 0) {
      return _mm_setzero_si128();
    } else {
      return _mm_and_si128(_mm_cmpeq_epi8(index, Splat(kEntry)), Splat(kTable[kEntry]));
    }
  }
};

}  // namespace

const char* ConvertLinesSse2(Conversion& c, const char* lineStart, const char* end) {
  return LineKernel<Sse2>::Convert(c, lineStart, end);
}

}  // namespace decbytes

DECBYTES_TARGET_END

#endif
