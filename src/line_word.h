// Eight bytes of input read as one word, and what they say about the line
// they begin: where its newline is and how many digits lead it, found with a
// few word operations instead of a branch per byte.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace decbytes {

struct LineWord {
  unsigned newlineAt;  // index of the first newline; 8 when there is none
  unsigned digits;     // how many bytes before the first non-digit; 8 when all are
};

namespace line_word {

constexpr std::uint64_t kEachByte = 0x0101010101010101u;
constexpr std::uint64_t kHighBits = 0x8080808080808080u;
constexpr std::uint64_t kLowBits = 0x7F7F7F7F7F7F7F7Fu;

// Returns the index of the first byte (in memory order) whose high bit is set
// in `marks`, which holds nothing but high bits; 8 when there is none.
inline unsigned FirstMarked(std::uint64_t marks) {
  const int bits = std::endian::native == std::endian::little ? std::countr_zero(marks)
                                                              : std::countl_zero(marks);
  return static_cast<unsigned>(bits) / 8;
}

// Returns the high bit of each byte of `word` that is not zero. Exact for
// every byte: no carry crosses from one byte into the next.
inline std::uint64_t NonZeroBytes(std::uint64_t word) {
  return (((word & kLowBits) + kLowBits) | word) & kHighBits;
}

// Returns the high bit of each byte of `word` that is an ASCII digit. Exact
// for every byte, as above.
inline std::uint64_t DigitBytes(std::uint64_t word) {
  const std::uint64_t low = word & kLowBits;
  const std::uint64_t atLeast0 = low + kEachByte * (0x80 - '0');
  const std::uint64_t beyond9 = low + kEachByte * (0x80 - '9' - 1);
  return atLeast0 & ~beyond9 & ~word & kHighBits;
}

}  // namespace line_word

// Reads the eight bytes at `at` (all readable) and returns where the first
// newline among them is and how many digits lead them.
inline LineWord ReadLineWord(const char* at) {
  using namespace line_word;
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  const std::uint64_t newlines = ~NonZeroBytes(word ^ (kEachByte * '\n')) & kHighBits;
  const std::uint64_t nonDigits = ~DigitBytes(word) & kHighBits;
  return {FirstMarked(newlines), FirstMarked(nonDigits)};
}

}  // namespace decbytes
