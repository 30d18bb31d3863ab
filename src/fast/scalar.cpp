// The fast path in portable code: one line per step, by the same rule the
// vector kernels apply many positions at a time. It runs where no vector
// unit is available and is the plain reference the kernels are checked by.
#include <cstddef>
#include <cstdint>

#include "conversion.h"
#include "fast/kernels.h"

namespace decbytes {

namespace {

// Output bytes reserved at a time; a line emits at most one byte.
constexpr std::size_t kReserveBytes = 4096;

// Reads the line at `p` when it is 1 to 3 digits, a newline and a value
// below kByteValues; returns its length without the newline and sets
// `value`, or returns 0 when the line is not so.
inline int ReadLegalLine(const char* p, unsigned& value) {
  value = 0;
  int digits = 0;
  while (digits < 3 && static_cast<unsigned char>(p[digits] - '0') <= 9) {
    value = value * 10 + static_cast<unsigned>(p[digits] - '0');
    ++digits;
  }
  const bool legal = digits > 0 && p[digits] == '\n' && value < unsigned{kByteValues};
  return legal ? digits : 0;
}

}  // namespace

const char* ConvertLinesScalar(Conversion& c, const char* lineStart, const char* end) {
  // A line of at most 3 digits and its newline fit in 4 bytes; stop where
  // fewer remain.
  while (end - lineStart >= 4) {
    char* out = c.ReserveRun(kReserveBytes);
    if (out == nullptr) return lineStart;
    const char* const first = out;
    const char* p = lineStart;
    bool stopped = false;
    for (std::size_t lines = 0; lines < kReserveBytes && end - p >= 4; ++lines) {
      if (p[0] != '\n') {
        unsigned value;
        const int digits = ReadLegalLine(p, value);
        if (digits == 0) {
          stopped = true;
          break;
        }
        *out++ = static_cast<char>(value);
        p += digits;
      }
      lineStart = ++p;
    }
    c.CommitRun(first, out);
    if (stopped) break;
  }
  return lineStart;
}

}  // namespace decbytes
