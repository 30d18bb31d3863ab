// The fast path: common lines (1 to 3 digits and a newline) in bulk.
//
// How the vector kernels work. They take the input 16 (SSE2) or 32 (AVX2)
// positions at a time and ask of each position i "is a line ending here, and
// is that line legal?" without knowing where lines start. They load the same
// bytes five times, shifted back by 0 to 4, so that lane i sees the bytes at
// i, i-1, i-2, i-3 and i-4. A newline at i closes
//   - an empty line when i-1 is a newline,
//   - a legal 1-digit line when i-1 is a digit and i-2 a newline,
//   - a legal 2-digit line when i-1, i-2 are digits and i-3 a newline,
//   - a legal 3-digit line when i-1..i-3 are digits, i-4 a newline and the
//     value is at most 255;
// any other newline closes an illegal line. The value's byte is built in the
// same lanes (ones + 10 * tens + 100 * hundreds, modulo 256). The byte just
// before the first line start is always a newline (the input reader puts
// newlines before the first block), so these tests never look past a line's
// true start. The results come back as bit masks, one bit per lane; the
// values of the legal lines are then copied out in order: one per set bit
// (SSE2), or eight lanes at a time by a byte shuffle from a table (AVX2).
//
// At the first illegal line the fast path stops and returns that line's
// start: the general path judges it and words its warning. The AVX2 kernel
// runs only where the processor reports AVX2 at run time.
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "conversion.h"

#if defined(__x86_64__) || (defined(__i386__) && defined(__SSE2__))
#include <immintrin.h>
#define DECBYTES_X86 1
#endif

namespace decbytes {

namespace {

// Output bytes reserved at a time. The vector loops take at most this many
// lanes of input per reservation, which emit at most half as many bytes (a
// legal line takes two bytes of input at least): the rest is room for the
// gathering's overrun of 8 bytes.
constexpr std::size_t kReserveBytes = 4096;

// The lanes' verdict: bit i of each mask speaks of position at + i.
struct Verdict {
  std::uint32_t lineEnds;  // a newline stands here
  std::uint32_t legal;     // a legal line ends here; its byte is values[i]
  std::uint32_t illegal;   // an illegal line ends here
  alignas(32) unsigned char values[32];
};

// Writes the values of the lanes set in `legal`, in lane order, at `out`;
// returns the cursor after them.
using EmitFunction = char* (*)(const Verdict& v, std::uint32_t legal, char* out);

inline char* EmitEachLegal(const Verdict& v, std::uint32_t legal, char* out) {
  for (; legal != 0; legal &= legal - 1) {
    *out++ = static_cast<char>(v.values[std::countr_zero(legal)]);
  }
  return out;
}

// Copies out, through `Emit`, the bytes of the legal lines that a verdict on
// `lanes` lanes at `at` found, up to the first illegal one, and moves
// `lineStart` past the last line it took. Returns false when the fast path
// must stop there: at an illegal line, or within a line already too long to
// be legal.
template <EmitFunction Emit>
inline bool TakeVerdict(const Verdict& v, const char* at, std::size_t lanes, const char*& lineStart,
                        char*& out) {
  std::uint32_t lineEnds = v.lineEnds;
  std::uint32_t legal = v.legal;
  if (v.illegal != 0) {
    const std::uint32_t beforeIllegal = (1u << std::countr_zero(v.illegal)) - 1;
    lineEnds &= beforeIllegal;
    legal &= beforeIllegal;
  }
  out = Emit(v, legal, out);
  if (lineEnds != 0) {
    lineStart = at + (31 - std::countl_zero(lineEnds)) + 1;
  } else if (at + lanes - lineStart > 3) {
    return false;
  }
  return v.illegal == 0;
}

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

#if defined(DECBYTES_X86)

namespace {

// Runs a kernel that judges `kLanes` positions at once over [lineStart,
// end), as long as lines are legal or empty. Always inlined, so that the
// kernel is inlined too and compiled for the caller's instruction set.
template <std::size_t kLanes, void (*Judge)(const char*, Verdict&), EmitFunction Emit>
[[gnu::always_inline]] inline const char* ConvertLinesWith(Conversion& c, const char* lineStart,
                                                           const char* end) {
  const char* at = lineStart;
  while (end - at >= static_cast<std::ptrdiff_t>(kLanes)) {
    char* out = c.output.Reserve(kReserveBytes);
    if (out == nullptr) return lineStart;
    char* const first = out;
    bool goOn = true;
    for (std::size_t step = 0;
         goOn && step < kReserveBytes / kLanes && end - at >= static_cast<std::ptrdiff_t>(kLanes);
         ++step, at += kLanes) {
      Verdict v;
      Judge(at, v);
      goOn = TakeVerdict<Emit>(v, at, kLanes, lineStart, out);
    }
    c.bytesWritten += static_cast<std::uint64_t>(out - first);
    c.output.Commit(out);
    if (!goOn) break;
  }
  return lineStart;
}

// ---- SSE2: 16 lanes, on every x86-64 ----

inline __m128i Load16(const char* at) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

inline __m128i AtMost16(__m128i x, __m128i bound) {
  return _mm_cmpeq_epi8(_mm_min_epu8(x, bound), x);
}

inline void Judge16(const char* at, Verdict& v) {
  const __m128i newline = _mm_set1_epi8('\n');
  const __m128i zero = _mm_set1_epi8('0');
  const __m128i nine = _mm_set1_epi8(9);
  const __m128i endsHere = _mm_cmpeq_epi8(Load16(at), newline);
  const __m128i newline1 = _mm_cmpeq_epi8(Load16(at - 1), newline);
  const __m128i newline2 = _mm_cmpeq_epi8(Load16(at - 2), newline);
  const __m128i newline3 = _mm_cmpeq_epi8(Load16(at - 3), newline);
  const __m128i newline4 = _mm_cmpeq_epi8(Load16(at - 4), newline);
  const __m128i ones = _mm_sub_epi8(Load16(at - 1), zero);
  const __m128i tens = _mm_sub_epi8(Load16(at - 2), zero);
  const __m128i hundreds = _mm_sub_epi8(Load16(at - 3), zero);

  // ones + 10 * tens, with 10x as 8x + 2x.
  const __m128i tens2 = _mm_add_epi8(tens, tens);
  const __m128i tens8 = _mm_add_epi8(_mm_add_epi8(tens2, tens2), _mm_add_epi8(tens2, tens2));
  const __m128i lowTwo = _mm_add_epi8(ones, _mm_add_epi8(tens8, tens2));
  const __m128i hundredsIs1 = _mm_cmpeq_epi8(hundreds, _mm_set1_epi8(1));
  const __m128i hundredsIs2 = _mm_cmpeq_epi8(hundreds, _mm_set1_epi8(2));
  // At most 255: hundreds 0 or 1, or hundreds 2 and the rest at most 55.
  const __m128i fitsByte =
      _mm_or_si128(AtMost16(hundreds, _mm_set1_epi8(1)),
                   _mm_and_si128(hundredsIs2, AtMost16(lowTwo, _mm_set1_epi8(55))));

  // legal = d1 & (n2 | d2 & (n3 | d3 & n4 & fits))
  const __m128i three = _mm_and_si128(AtMost16(hundreds, nine), _mm_and_si128(newline4, fitsByte));
  const __m128i twoOrMore = _mm_and_si128(AtMost16(tens, nine), _mm_or_si128(newline3, three));
  const __m128i legal = _mm_and_si128(AtMost16(ones, nine), _mm_or_si128(newline2, twoOrMore));

  const __m128i hundredsValue =
      _mm_or_si128(_mm_and_si128(hundredsIs1, _mm_set1_epi8(100)),
                   _mm_and_si128(hundredsIs2, _mm_set1_epi8(static_cast<char>(200))));
  const __m128i value =
      _mm_add_epi8(_mm_add_epi8(ones, _mm_andnot_si128(newline2, _mm_sub_epi8(lowTwo, ones))),
                   _mm_andnot_si128(_mm_or_si128(newline2, newline3), hundredsValue));

  v.lineEnds = static_cast<std::uint32_t>(_mm_movemask_epi8(endsHere));
  v.legal = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_and_si128(endsHere, legal)));
  v.illegal = static_cast<std::uint32_t>(
      _mm_movemask_epi8(_mm_andnot_si128(_mm_or_si128(legal, newline1), endsHere)));
  _mm_store_si128(reinterpret_cast<__m128i*>(v.values), value);
}

const char* ConvertLinesSse2(Conversion& c, const char* lineStart, const char* end) {
  return ConvertLinesWith<16, Judge16, EmitEachLegal>(c, lineStart, end);
}

// ---- AVX2: the same in 32 lanes, where the processor has it ----

#define DECBYTES_AVX2 __attribute__((target("avx2,popcnt")))

DECBYTES_AVX2 inline __m256i Load32(const char* at) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
}

DECBYTES_AVX2 inline __m256i AtMost32(__m256i x, __m256i bound) {
  return _mm256_cmpeq_epi8(_mm256_min_epu8(x, bound), x);
}

DECBYTES_AVX2 inline void Judge32(const char* at, Verdict& v) {
  const __m256i newline = _mm256_set1_epi8('\n');
  const __m256i zero = _mm256_set1_epi8('0');
  const __m256i nine = _mm256_set1_epi8(9);
  const __m256i endsHere = _mm256_cmpeq_epi8(Load32(at), newline);
  const __m256i newline1 = _mm256_cmpeq_epi8(Load32(at - 1), newline);
  const __m256i newline2 = _mm256_cmpeq_epi8(Load32(at - 2), newline);
  const __m256i newline3 = _mm256_cmpeq_epi8(Load32(at - 3), newline);
  const __m256i newline4 = _mm256_cmpeq_epi8(Load32(at - 4), newline);
  const __m256i ones = _mm256_sub_epi8(Load32(at - 1), zero);
  const __m256i tens = _mm256_sub_epi8(Load32(at - 2), zero);
  const __m256i hundreds = _mm256_sub_epi8(Load32(at - 3), zero);

  const __m256i tens2 = _mm256_add_epi8(tens, tens);
  const __m256i tens8 =
      _mm256_add_epi8(_mm256_add_epi8(tens2, tens2), _mm256_add_epi8(tens2, tens2));
  const __m256i lowTwo = _mm256_add_epi8(ones, _mm256_add_epi8(tens8, tens2));
  const __m256i hundredsIs1 = _mm256_cmpeq_epi8(hundreds, _mm256_set1_epi8(1));
  const __m256i hundredsIs2 = _mm256_cmpeq_epi8(hundreds, _mm256_set1_epi8(2));
  const __m256i fitsByte =
      _mm256_or_si256(AtMost32(hundreds, _mm256_set1_epi8(1)),
                      _mm256_and_si256(hundredsIs2, AtMost32(lowTwo, _mm256_set1_epi8(55))));

  const __m256i three =
      _mm256_and_si256(AtMost32(hundreds, nine), _mm256_and_si256(newline4, fitsByte));
  const __m256i twoOrMore =
      _mm256_and_si256(AtMost32(tens, nine), _mm256_or_si256(newline3, three));
  const __m256i legal =
      _mm256_and_si256(AtMost32(ones, nine), _mm256_or_si256(newline2, twoOrMore));

  const __m256i hundredsValue =
      _mm256_or_si256(_mm256_and_si256(hundredsIs1, _mm256_set1_epi8(100)),
                      _mm256_and_si256(hundredsIs2, _mm256_set1_epi8(static_cast<char>(200))));
  const __m256i value = _mm256_add_epi8(
      _mm256_add_epi8(ones, _mm256_andnot_si256(newline2, _mm256_sub_epi8(lowTwo, ones))),
      _mm256_andnot_si256(_mm256_or_si256(newline2, newline3), hundredsValue));

  v.lineEnds = static_cast<std::uint32_t>(_mm256_movemask_epi8(endsHere));
  v.legal = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_and_si256(endsHere, legal)));
  v.illegal = static_cast<std::uint32_t>(
      _mm256_movemask_epi8(_mm256_andnot_si256(_mm256_or_si256(legal, newline1), endsHere)));
  _mm256_store_si256(reinterpret_cast<__m256i*>(v.values), value);
}

// Shuffle controls that gather the lanes set in an 8-bit mask to the front,
// in order: entry m lists the indices of m's set bits.
constexpr std::array<std::uint64_t, 256> kGatherControls = [] {
  std::array<std::uint64_t, 256> controls{};
  for (unsigned mask = 0; mask < 256; ++mask) {
    unsigned taken = 0;
    for (unsigned lane = 0; lane < 8; ++lane) {
      if ((mask >> lane & 1u) != 0) controls[mask] |= std::uint64_t{lane} << (8 * taken++);
    }
  }
  return controls;
}();

// The values of the legal lanes, gathered eight lanes at a time with one
// shuffle each instead of a step per line. Writes up to 8 bytes past the
// returned cursor, which the reservation leaves room for.
DECBYTES_AVX2 inline char* GatherLegal(const Verdict& v, std::uint32_t legal, char* out) {
  for (unsigned group = 0; group < 4; ++group) {
    const unsigned bits = legal >> (8 * group) & 0xFFu;
    const __m128i values = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(v.values + 8 * group));
    const __m128i control =
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&kGatherControls[bits]));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(values, control));
    out += std::popcount(bits);
  }
  return out;
}

DECBYTES_AVX2 const char* ConvertLinesAvx2(Conversion& c, const char* lineStart, const char* end) {
  return ConvertLinesWith<32, Judge32, GatherLegal>(c, lineStart, end);
}

#undef DECBYTES_AVX2

bool HasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
}

}  // namespace

std::vector<FastPathVariant> AvailableFastPaths() {
  std::vector<FastPathVariant> paths{{"scalar", ConvertLinesScalar}, {"sse2", ConvertLinesSse2}};
  if (HasAvx2()) paths.push_back({"avx2", ConvertLinesAvx2});
  return paths;
}

#else

std::vector<FastPathVariant> AvailableFastPaths() { return {{"scalar", ConvertLinesScalar}}; }

#endif

const char* ConvertLinesFast(Conversion& c, const char* lineStart, const char* end) {
  // The best path this processor runs, chosen once.
  static const FastPathFunction best = AvailableFastPaths().back().function;
  return best(c, lineStart, end);
}

}  // namespace decbytes
