// The line kernel on SSSE3: 16 lanes, table lookups by byte shuffle.
#include "fast/kernels.h"

#if defined(DECBYTES_X86_KERNELS)

#include <tmmintrin.h>

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "conversion.h"
#include "fast/target_region.h"

DECBYTES_TARGET_BEGIN("ssse3,popcnt")

#include "fast/line_kernel.h"
#include "fast/x86/gather_groups.h"
#include "fast/x86/sse_bytes.h"

namespace decbytes {

namespace {

struct Ssse3 : SseBytes<Ssse3> {
  static constexpr std::size_t kGatherOverrun = GatherGroups<Ssse3>::kOverrun;

  template <ByteTable kTable>
  static Vec Lookup(Vec index) {
    return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(kTable.data())),
                            index);
  }

  static char* Gather(Vec values, Bits legalLanes, std::uint64_t /*legal*/, char* out) {
    unsigned pairs = 0;
    const __m128i folded = GatherGroups<Ssse3>::FoldPairs(values, legalLanes, pairs);
    return GatherGroups<Ssse3>::Group(folded, pairs, out);
  }
};

}  // namespace

const char* ConvertLinesSsse3(Conversion& c, const char* lineStart, const char* end) {
  return LineKernel<Ssse3>::Convert(c, lineStart, end);
}

}  // namespace decbytes

DECBYTES_TARGET_END

#endif
