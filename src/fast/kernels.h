// The fast paths this build holds: the portable one, and one for each vector
// instruction set of the processor it is built for. Each has the contract of
// fast_path.h; a vector one may run only where the processor has its
// instruction set, which dispatch.cpp finds out.
#pragma once

#include "fast/fast_path.h"

#if defined(__x86_64__) || defined(__i386__)
#define DECBYTES_X86_KERNELS 1
#endif

#if (defined(__aarch64__) || defined(__arm__)) && defined(__BYTE_ORDER__) && \
    __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
#define DECBYTES_NEON_KERNEL 1
#endif

namespace decbytes {

// One line per step, in portable code: the plain reference of the rule the
// vector kernels apply many lanes at a time.
const char* ConvertLinesScalar(Conversion& conversion, const char* lineStart, const char* end);

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
