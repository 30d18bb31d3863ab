// What ReadLineWord finds in eight bytes: every byte value at every position,
// so that no carry or byte order slips a wrong answer through.
#include <gtest/gtest.h>

#include <string>

#include "line_word.h"

namespace decbytes {
namespace {

bool IsDigit(unsigned char byte) { return byte >= '0' && byte <= '9'; }

// Each byte value at each position, among fillers that are digits or not.
TEST(LineWord, EveryByteAtEveryPosition) {
  for (const char filler : {'7', 'x'}) {
    for (unsigned position = 0; position < 8; ++position) {
      for (unsigned value = 0; value < 256; ++value) {
        std::string bytes(8, filler);
        bytes[position] = static_cast<char>(value);
        const LineWord word = ReadLineWord(bytes.data());
        const auto byte = static_cast<unsigned char>(value);
        const unsigned digits = filler == 'x' ? (position == 0 && IsDigit(byte) ? 1 : 0)
                                              : (IsDigit(byte) ? 8 : position);
        ASSERT_EQ(word.newlineAt, byte == '\n' ? position : 8u) << position << " " << value;
        ASSERT_EQ(word.digits, digits) << filler << " " << position << " " << value;
      }
    }
  }
}

// The first newline counts, wherever later ones stand.
TEST(LineWord, FirstNewlineAndDigitsCount) {
  struct Case {
    const char* bytes;
    unsigned newlineAt;
    unsigned digits;
  };
  for (const Case& c : {Case{"\n\n\n\n\n\n\n\n", 0, 0}, Case{"12\n4\n6\n8", 2, 2},
                        Case{"255\n255\n", 3, 3}, Case{"1234567\n", 7, 7}, Case{"12345678", 8, 8},
                        Case{"65\r\n66\r\n", 3, 2}, Case{"/0:9\n\n\n\n", 4, 0}}) {
    SCOPED_TRACE(c.bytes);
    const LineWord word = ReadLineWord(c.bytes);
    EXPECT_EQ(word.newlineAt, c.newlineAt);
    EXPECT_EQ(word.digits, c.digits);
  }
}

}  // namespace
}  // namespace decbytes
