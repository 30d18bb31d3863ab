// The fast path: common lines (1 to 3 digits and a newline) in bulk.
//
// How the vector version works. It takes the input 16 positions at a time
// and asks of each position i "is a line ending here, and is that line
// legal?" without knowing where lines start. It loads the same 16 bytes
// five times, shifted back by 0 to 4, so that lane i sees the bytes at i,
// i-1, i-2, i-3 and i-4. A newline at i closes
//   - an empty line when i-1 is a newline,
//   - a legal 1-digit line when i-1 is a digit and i-2 a newline,
//   - a legal 2-digit line when i-1, i-2 are digits and i-3 a newline,
//   - a legal 3-digit line when i-1..i-3 are digits, i-4 a newline and the
//     value is at most 255;
// any other newline closes an illegal line. The value's low byte is built in
// the same lanes (ones + 10 * tens + 100 * hundreds, modulo 256). The byte
// just before the first line start is always a newline (the input reader
// puts newlines before the first block), so these tests never look past a
// line's true start. The lanes' results come back as bit masks; the values
// of the legal lines are then copied out in order, one per set bit.
//
// At the first illegal line the fast path stops and returns that line's
// start: the general path judges it and words its warning.
#include "conversion.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <bit>
#include <cstddef>
#include <cstdint>

namespace decbytes {

namespace {

constexpr std::size_t kLanes = 16;

// The most bytes one vector step can emit: every legal line takes at least
// two bytes of input.
constexpr std::size_t kMostBytesPerStep = kLanes / 2;

}  // namespace

const char* ConvertLinesScalar(Conversion& c, const char* lineStart, const char* end) {
  // A line of at most 3 digits fits in 4 bytes; stop where fewer remain.
  constexpr std::size_t kLinesPerReserve = 64;
  while (end - lineStart >= 4) {
    char* out = c.output.Reserve(kLinesPerReserve);
    if (out == nullptr) return lineStart;
    char* const first = out;
    std::size_t lines = 0;
    const char* p = lineStart;
    while (lines < kLinesPerReserve && end - p >= 4) {
      if (p[0] == '\n') {
        ++p;
      } else {
        unsigned value = 0;
        int digits = 0;
        while (digits < 3 && static_cast<unsigned char>(p[digits] - '0') <= 9) {
          value = value * 10 + static_cast<unsigned>(p[digits] - '0');
          ++digits;
        }
        if (digits == 0 || p[digits] != '\n' || value > 255) break;
        *out++ = static_cast<char>(value);
        p += digits + 1;
      }
      ++lines;
      lineStart = p;
    }
    c.bytesWritten += static_cast<std::uint64_t>(out - first);
    c.output.Commit(out);
    if (lines < kLinesPerReserve && end - lineStart >= 4) return lineStart;
  }
  return lineStart;
}

#if defined(__SSE2__)

namespace {

// The verdict on 16 positions, one bit per position.
struct Verdict {
  std::uint32_t lineEnds;  // a newline stands here
  std::uint32_t legal;     // a legal line ends here; its byte is in values
  std::uint32_t illegal;   // an illegal line ends here
  alignas(16) unsigned char values[kLanes];
};

inline __m128i Load(const char* at) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// All ones in the lanes where `x` (as unsigned) is at most `bound`.
inline __m128i AtMost(__m128i x, __m128i bound) {
  return _mm_cmpeq_epi8(_mm_min_epu8(x, bound), x);
}

inline __m128i TimesTen(__m128i x) {
  const __m128i twice = _mm_add_epi8(x, x);
  const __m128i fourTimes = _mm_add_epi8(twice, twice);
  const __m128i eightTimes = _mm_add_epi8(fourTimes, fourTimes);
  return _mm_add_epi8(eightTimes, twice);
}

inline std::uint32_t Bits(__m128i x) {
  return static_cast<std::uint32_t>(_mm_movemask_epi8(x));
}

// Judges the 16 positions from `at` as line ends.
inline void Judge(const char* at, Verdict& v) {
  const __m128i newline = _mm_set1_epi8('\n');
  const __m128i zero = _mm_set1_epi8('0');
  const __m128i nine = _mm_set1_epi8(9);

  const __m128i endsHere = _mm_cmpeq_epi8(Load(at), newline);
  const __m128i back1 = Load(at - 1);
  const __m128i back2 = Load(at - 2);
  const __m128i back3 = Load(at - 3);
  const __m128i newline1 = _mm_cmpeq_epi8(back1, newline);
  const __m128i newline2 = _mm_cmpeq_epi8(back2, newline);
  const __m128i newline3 = _mm_cmpeq_epi8(back3, newline);
  const __m128i newline4 = _mm_cmpeq_epi8(Load(at - 4), newline);

  const __m128i ones = _mm_sub_epi8(back1, zero);
  const __m128i tens = _mm_sub_epi8(back2, zero);
  const __m128i hundreds = _mm_sub_epi8(back3, zero);
  const __m128i digit1 = AtMost(ones, nine);
  const __m128i digits2 = _mm_and_si128(digit1, AtMost(tens, nine));
  const __m128i digits3 = _mm_and_si128(digits2, AtMost(hundreds, nine));

  // Two digits' worth (at most 99) and the test for a value up to 255:
  // hundreds 0 or 1, or hundreds 2 with the rest at most 55.
  const __m128i lowTwo = _mm_add_epi8(ones, TimesTen(tens));
  const __m128i hundredsIs2 = _mm_cmpeq_epi8(hundreds, _mm_set1_epi8(2));
  const __m128i hundredsIs1 = _mm_cmpeq_epi8(hundreds, _mm_set1_epi8(1));
  const __m128i fitsByte =
      _mm_or_si128(AtMost(hundreds, _mm_set1_epi8(1)),
                   _mm_and_si128(hundredsIs2, AtMost(lowTwo, _mm_set1_epi8(55))));

  const __m128i oneDigit = _mm_and_si128(digit1, newline2);
  const __m128i twoDigits = _mm_and_si128(digits2, newline3);
  const __m128i threeDigits = _mm_and_si128(_mm_and_si128(digits3, newline4), fitsByte);

  const __m128i hundredsValue =
      _mm_or_si128(_mm_and_si128(hundredsIs1, _mm_set1_epi8(100)),
                   _mm_and_si128(hundredsIs2, _mm_set1_epi8(static_cast<char>(200))));
  const __m128i value = _mm_or_si128(
      _mm_or_si128(_mm_and_si128(oneDigit, ones), _mm_and_si128(twoDigits, lowTwo)),
      _mm_and_si128(threeDigits, _mm_add_epi8(lowTwo, hundredsValue)));

  const __m128i legal = _mm_or_si128(_mm_or_si128(oneDigit, twoDigits), threeDigits);
  const __m128i accepted = _mm_or_si128(legal, newline1);  // legal or empty
  v.lineEnds = Bits(endsHere);
  v.legal = Bits(_mm_and_si128(endsHere, legal));
  v.illegal = Bits(_mm_andnot_si128(accepted, endsHere));
  _mm_store_si128(reinterpret_cast<__m128i*>(v.values), value);
}

const char* ConvertLinesVector(Conversion& c, const char* lineStart, const char* end) {
  Verdict v;
  for (const char* at = lineStart; end - at >= static_cast<std::ptrdiff_t>(kLanes);
       at += kLanes) {
    char* out = c.output.Reserve(kMostBytesPerStep);
    if (out == nullptr) return lineStart;
    Judge(at, v);
    std::uint32_t lineEnds = v.lineEnds;
    std::uint32_t legal = v.legal;
    if (v.illegal != 0) {
      const std::uint32_t beforeIllegal = (1u << std::countr_zero(v.illegal)) - 1;
      lineEnds &= beforeIllegal;
      legal &= beforeIllegal;
    }
    char* const first = out;
    for (; legal != 0; legal &= legal - 1) {
      *out++ = static_cast<char>(v.values[std::countr_zero(legal)]);
    }
    c.bytesWritten += static_cast<std::uint64_t>(out - first);
    c.output.Commit(out);
    if (lineEnds != 0) {
      lineStart = at + (31 - std::countl_zero(lineEnds)) + 1;
    } else if (at + kLanes - lineStart > 3) {
      return lineStart;  // a line longer than any value: illegal
    }
    if (v.illegal != 0) return lineStart;
  }
  return lineStart;
}

}  // namespace

const char* ConvertLinesFast(Conversion& c, const char* lineStart, const char* end) {
  return ConvertLinesVector(c, lineStart, end);
}

#else

const char* ConvertLinesFast(Conversion& c, const char* lineStart, const char* end) {
  return ConvertLinesScalar(c, lineStart, end);
}

#endif

}  // namespace decbytes
