// The fast path: common lines (1 to 3 digits and a newline) in bulk, and the
// choice among its versions.
//
// The portable version below takes one line per step: 1 to 3 digits, a
// newline, a value of at most 255; it stops at the first line that is not
// so. The vector versions (line_kernel.h, one file per instruction set) judge
// many positions at once by the same rule and give the same results. Which
// of them a processor can run is found out at run time, in one place here.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "conversion.h"
#include "fast_kernels.h"

#if defined(DECBYTES_NEON_KERNEL) && defined(__arm__)
#include <sys/auxv.h>
#endif

namespace decbytes {

namespace {

// Output bytes reserved at a time; a line emits at most one byte.
constexpr std::size_t kReserveBytes = 4096;

}  // namespace

const char* ConvertLinesScalar(Conversion& c, const char* lineStart, const char* end) {
  // A line of at most 3 digits and its newline fit in 4 bytes; stop where
  // fewer remain. Each line emits at most one byte.
  while (end - lineStart >= 4) {
    char* out = c.output.Reserve(kReserveBytes);
    if (out == nullptr) return lineStart;
    char* const first = out;
    const char* p = lineStart;
    bool stopped = false;
    for (std::size_t lines = 0; lines < kReserveBytes && end - p >= 4; ++lines) {
      if (p[0] != '\n') {
        unsigned value = 0;
        int digits = 0;
        while (digits < 3 && static_cast<unsigned char>(p[digits] - '0') <= 9) {
          value = value * 10 + static_cast<unsigned>(p[digits] - '0');
          ++digits;
        }
        if (digits == 0 || p[digits] != '\n' || value > 255) {
          stopped = true;
          break;
        }
        *out++ = static_cast<char>(value);
        p += digits;
      }
      lineStart = ++p;
    }
    c.bytesWritten += static_cast<std::uint64_t>(out - first);
    c.output.Commit(out);
    if (stopped) break;
  }
  return lineStart;
}

namespace {

#if defined(DECBYTES_X86_KERNELS)

// The x86 kernels this processor can run, slowest first.
void AddX86Paths(std::vector<FastPathVariant>& paths) {
  __builtin_cpu_init();
  if (__builtin_cpu_supports("sse2")) paths.push_back({"sse2", ConvertLinesSse2});
  if (__builtin_cpu_supports("ssse3") && __builtin_cpu_supports("popcnt")) {
    paths.push_back({"ssse3", ConvertLinesSsse3});
  }
  const bool bits = __builtin_cpu_supports("popcnt") && __builtin_cpu_supports("bmi");
  if (bits && __builtin_cpu_supports("avx2")) paths.push_back({"avx2", ConvertLinesAvx2});
  if (bits && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
      __builtin_cpu_supports("avx512vbmi2")) {
    paths.push_back({"avx512", ConvertLinesAvx512});
  }
}

#endif

#if defined(DECBYTES_NEON_KERNEL)

// True where the processor has NEON: always on arm64, on 32-bit arm as the
// kernel reports it.
bool HasNeon() {
#if defined(__aarch64__)
  return true;
#else
  return (::getauxval(AT_HWCAP) & HWCAP_ARM_NEON) != 0;
#endif
}

#endif

}  // namespace

std::vector<FastPathVariant> AvailableFastPaths() {
  std::vector<FastPathVariant> paths{{"scalar", ConvertLinesScalar}};
#if defined(DECBYTES_X86_KERNELS)
  AddX86Paths(paths);
#endif
#if defined(DECBYTES_NEON_KERNEL)
  if (HasNeon()) paths.push_back({"neon", ConvertLinesNeon});
#endif
  return paths;
}

namespace {

// The fastest path this processor runs, chosen once.
const FastPathVariant& ChosenFastPath() {
  static const FastPathVariant best = AvailableFastPaths().back();
  return best;
}

}  // namespace

const char* ChosenFastPathName() { return ChosenFastPath().name; }

const char* ConvertLinesFast(Conversion& c, const char* lineStart, const char* end) {
  static const FastPathFunction best = ChosenFastPath().function;
  return best(c, lineStart, end);
}

}  // namespace decbytes
