// The line kernel on NEON (arm64, and armhf where the processor has it): 16
// lanes. NEON has no movemask: a narrowing shift of the compare result gives
// four mask bits per lane in a 64-bit word.
#include "fast/kernels.h"

#if defined(DECBYTES_NEON_KERNEL)

#include <arm_neon.h>

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "conversion.h"
#include "fast/target_region.h"

#if defined(__arm__)
DECBYTES_TARGET_BEGIN("fpu=neon")
#endif

#include "fast/line_kernel.h"

namespace decbytes {

namespace {

struct Neon {
  static constexpr std::size_t kLanes = 16;
  static constexpr unsigned kBitsPerLane = 4;
  using Vec = uint8x16_t;
  using Bits = uint8x16_t;

  static Vec Load(const char* at) { return vld1q_u8(reinterpret_cast<const std::uint8_t*>(at)); }
  static Vec Splat(std::uint8_t byte) { return vdupq_n_u8(byte); }
  template <ByteTable kTable>
  static Vec Lookup(Vec index) {
#if defined(__aarch64__)
    return vqtbl1q_u8(vld1q_u8(kTable.data()), index);
#else
    const uint8x8x2_t table = {{vld1_u8(kTable.data()), vld1_u8(kTable.data() + 8)}};
    return vcombine_u8(vtbl2_u8(table, vget_low_u8(index)), vtbl2_u8(table, vget_high_u8(index)));
#endif
  }
  static Vec Add(Vec a, Vec b) { return vaddq_u8(a, b); }
  static Vec Min(Vec a, Vec b) { return vminq_u8(a, b); }
  static Bits Equal(Vec a, Vec b) { return vceqq_u8(a, b); }
  static Bits AtMost(Vec a, Vec b) { return vcleq_u8(a, b); }
  static Bits Greater(Vec a, Vec b) {
    return vcgtq_s8(vreinterpretq_s8_u8(a), vreinterpretq_s8_u8(b));
  }
  static Bits And(Bits a, Bits b) { return vandq_u8(a, b); }
  static Bits Or(Bits a, Bits b) { return vorrq_u8(a, b); }
  static Bits AndNot(Bits a, Bits b) { return vbicq_u8(a, b); }
  static Vec ZeroWhere(Bits bits, Vec v) { return vbicq_u8(v, bits); }
  static std::uint64_t ToMask(Bits bits) {
    return vget_lane_u64(vreinterpret_u64_u8(vshrn_n_u16(vreinterpretq_u16_u8(bits), 4)), 0);
  }
  static void Store(std::uint8_t* bytes, Vec v) { vst1q_u8(bytes, v); }
};

}  // namespace

const char* ConvertLinesNeon(Conversion& c, const char* lineStart, const char* end) {
  return LineKernel<Neon>::Convert(c, lineStart, end);
}

}  // namespace decbytes

#if defined(__arm__)
DECBYTES_TARGET_END
#endif

#endif
