// Which fast paths this build holds, which of them this processor runs, and
// the choice of the fastest: the one place that asks the processor.
#include <vector>

#include "fast/kernels.h"

#if defined(DECBYTES_NEON_KERNEL) && defined(__arm__)
#include <sys/auxv.h>
#endif

namespace decbytes {

namespace {

#if defined(DECBYTES_X86_KERNELS)

// The x86 kernels, slowest first, each with what this processor lacks to
// run it (nullptr when nothing).
void AddX86Paths(std::vector<FastPathVariant>& paths) {
  __builtin_cpu_init();
  const bool bits = __builtin_cpu_supports("popcnt") && __builtin_cpu_supports("bmi");
  const bool sse2 = __builtin_cpu_supports("sse2");
  const bool ssse3 = __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("popcnt");
  const bool avx2 = bits && __builtin_cpu_supports("avx2");
  const bool avx512 = bits && __builtin_cpu_supports("avx512f") &&
                      __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi2");
  paths.push_back({"sse2", ConvertLinesSse2, sse2 ? nullptr : "no SSE2"});
  paths.push_back({"ssse3", ConvertLinesSsse3, ssse3 ? nullptr : "no SSSE3 with POPCNT"});
  paths.push_back({"avx2", ConvertLinesAvx2, avx2 ? nullptr : "no AVX2 with POPCNT and BMI1"});
  paths.push_back({"avx512", ConvertLinesAvx512,
                   avx512 ? nullptr : "no AVX-512 F, BW and VBMI2 with POPCNT and BMI1"});
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

std::vector<FastPathVariant> CompiledFastPaths() {
  std::vector<FastPathVariant> paths{{"scalar", ConvertLinesScalar, nullptr}};
#if defined(DECBYTES_X86_KERNELS)
  AddX86Paths(paths);
#endif
#if defined(DECBYTES_NEON_KERNEL)
  paths.push_back({"neon", ConvertLinesNeon, HasNeon() ? nullptr : "no NEON"});
#endif
  return paths;
}

std::vector<FastPathVariant> RunnableFastPaths() {
  std::vector<FastPathVariant> paths;
  for (const FastPathVariant& path : CompiledFastPaths()) {
    if (path.runnable()) paths.push_back(path);
  }
  return paths;
}

std::vector<FastPathVariant> PathsUnderTest() {
  std::vector<FastPathVariant> paths = RunnableFastPaths();
  paths.push_back({"general", nullptr, nullptr});
  return paths;
}

namespace {

// The fastest path this processor runs, chosen once.
const FastPathVariant& ChosenFastPath() {
  static const FastPathVariant best = RunnableFastPaths().back();
  return best;
}

}  // namespace

const char* ChosenFastPathName() { return ChosenFastPath().name; }

const char* ConvertLinesFast(Conversion& c, const char* lineStart, const char* end) {
  static const FastPathFunction best = ChosenFastPath().function;
  return best(c, lineStart, end);
}

}  // namespace decbytes
