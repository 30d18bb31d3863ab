// The dispatch gives this processor the fastest fast path it can run. What
// the processor has is asked here, apart from the dispatch, and the table
// below says what each path needs: a dispatch that leaves out a kernel this
// processor runs, or offers one it cannot run, fails here, though every
// output would stay right.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fast/kernels.h"

#if defined(DECBYTES_NEON_KERNEL) && defined(__arm__)
#include <sys/auxv.h>
#endif

namespace decbytes {
namespace {

struct PathNeeds {
  const char* name;
  bool (*runs)();  // whether this processor has what the path needs
};

// Every path this build holds, slowest first.
const PathNeeds kPaths[] = {
    {"scalar", [] { return true; }},
#if defined(DECBYTES_X86_KERNELS)
    {"sse2", [] { return __builtin_cpu_supports("sse2") != 0; }},
    {"ssse3", [] { return __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("popcnt"); }},
    {"avx2",
     [] {
       return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt") &&
              __builtin_cpu_supports("bmi");
     }},
    {"avx512",
     [] {
       return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
              __builtin_cpu_supports("avx512vbmi2") && __builtin_cpu_supports("popcnt") &&
              __builtin_cpu_supports("bmi");
     }},
#endif
#if defined(DECBYTES_NEON_KERNEL) && defined(__aarch64__)
    {"neon", [] { return true; }},
#elif defined(DECBYTES_NEON_KERNEL)
    {"neon", [] { return (::getauxval(AT_HWCAP) & HWCAP_ARM_NEON) != 0; }},
#endif
};

TEST(FastPathChoice, FastestThisProcessorRuns) {
#if defined(DECBYTES_X86_KERNELS)
  __builtin_cpu_init();
#endif
  std::vector<std::string> compiled;
  std::vector<std::string> runnable;
  for (const PathNeeds& path : kPaths) {
    compiled.emplace_back(path.name);
    if (path.runs()) runnable.emplace_back(path.name);
  }
  std::vector<std::string> listed;
  for (const FastPathVariant& path : CompiledFastPaths()) listed.emplace_back(path.name);
  std::vector<std::string> offered;
  for (const FastPathVariant& path : RunnableFastPaths()) offered.emplace_back(path.name);
  EXPECT_EQ(listed, compiled);
  EXPECT_EQ(offered, runnable);
  EXPECT_EQ(ChosenFastPathName(), runnable.back());
}

}  // namespace
}  // namespace decbytes
