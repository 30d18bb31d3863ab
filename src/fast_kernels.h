// The vector fast paths this build holds, each for one instruction set. Each
// has the fast-path contract of conversion.h and may run only where the
// processor has its instruction set (AvailableFastPaths checks).
#pragma once

#include "conversion.h"

#if defined(__x86_64__) || defined(__i386__)
#define DECBYTES_X86_KERNELS 1
#endif

#if (defined(__aarch64__) || defined(__arm__)) && defined(__BYTE_ORDER__) && \
    __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
#define DECBYTES_NEON_KERNEL 1
#endif

namespace decbytes {

#if defined(DECBYTES_X86_KERNELS)
const char* ConvertLinesSse2(Conversion& conversion, const char* lineStart, const char* end);
const char* ConvertLinesSsse3(Conversion& conversion, const char* lineStart, const char* end);
const char* ConvertLinesAvx2(Conversion& conversion, const char* lineStart, const char* end);
const char* ConvertLinesAvx512(Conversion& conversion, const char* lineStart, const char* end);
#endif

#if defined(DECBYTES_NEON_KERNEL)
const char* ConvertLinesNeon(Conversion& conversion, const char* lineStart, const char* end);
#endif

}  // namespace decbytes
