// The line kernel on SSE2: 16 lanes, for x86 processors without SSSE3. SSE2
// has no byte shuffle, so a table lookup compares the index with each entry
// that is not 0.
#include "fast_kernels.h"

#if defined(DECBYTES_X86_KERNELS)

#include <emmintrin.h>

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "conversion.h"
#include "target_region.h"

DECBYTES_TARGET_BEGIN("sse2")

#include "line_kernel.h"
#include "sse_bytes.h"

namespace decbytes {

namespace {

struct Sse2 : SseBytes<Sse2> {
  // kTable[index] where index < 16, else 0.
  template <ByteTable kTable>
  static Vec Lookup(Vec index) {
    return LookupEach<kTable>(index, std::make_index_sequence<16>{});
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
