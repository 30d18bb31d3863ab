// The fast paths against the general path: on many generated inputs, read in
// blocks of many sizes so that lines fall across block boundaries, every
// path gives the same bytes, report and counts.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "conversion.h"
#include "decbytes.h"
#include "transfer_helpers.h"

namespace decbytes {
namespace {

using testing::TransferBytes;
using testing::TransferRun;

// One line of a shape drawn at random: mostly legal values, with every kind
// of illegal line among them.
std::string RandomLine(std::mt19937& rng) {
  auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  switch (pick(16)) {
    case 0:
      return "\n";
    case 1:
      return std::to_string(256 + pick(744)) + "\n";
    case 2:
      return std::to_string(1000 + pick(100000)) + "\n";
    case 3:
      return std::string(1 + static_cast<std::size_t>(pick(3)), "a \r\t+-\0\x80/:"[pick(10)]) +
             "\n";
    case 4:
      return std::to_string(pick(256)) + "\r\n";
    case 5:
      return std::string(static_cast<std::size_t>(pick(40)), '7') + "\n";
    case 6:
      return std::string(static_cast<std::size_t>(1020 + pick(10)), '1') + "\n";
    case 7:
      return "00" + std::to_string(pick(10)) + "\n";
    default:
      return std::to_string(pick(256)) + "\n";
  }
}

std::string RandomInput(unsigned seed) {
  std::mt19937 rng(seed);
  std::string input;
  const auto lines = rng() % 400;
  for (std::size_t i = 0; i < lines; ++i) input += RandomLine(rng);
  if (rng() % 3 == 0 && !input.empty()) input.pop_back();  // no final newline
  return input;
}

// Bytes drawn from a small alphabet, so that short legal and illegal lines
// crowd together in every arrangement.
std::string RandomBytes(unsigned seed) {
  std::mt19937 rng(seed);
  const std::string alphabet = std::string("0123456789\n\n\n\n\0x\r", 17);
  std::string input(rng() % 300, ' ');
  for (char& c : input) c = alphabet[rng() % alphabet.size()];
  return input;
}

void ExpectSameAsGeneralPath(const std::string& input) {
  TransferIo reference;
  reference.fastPath = nullptr;
  const TransferRun expected = TransferBytes(input, reference);
  for (const FastPathVariant& path : AvailableFastPaths()) {
    SCOPED_TRACE(path.name);
    for (std::size_t blockSize :
         {1u, 2u, 3u, 4u, 5u, 7u, 15u, 16u, 17u, 31u, 33u, 64u, 1000u, 65536u}) {
      TransferIo io;
      io.fastPath = path.function;
      io.blockSize = blockSize;
      const TransferRun run = TransferBytes(input, io);
      ASSERT_EQ(run.output, expected.output) << "block size " << blockSize;
      ASSERT_EQ(run.report, expected.report) << "block size " << blockSize;
      ASSERT_EQ(run.result.bytesWritten, expected.result.bytesWritten);
      ASSERT_EQ(run.result.illegalLines, expected.result.illegalLines);
    }
  }
}

TEST(FastPathAgreement, GeneratedLines) {
  for (unsigned seed = 1; seed <= 30; ++seed) {
    SCOPED_TRACE(seed);
    ExpectSameAsGeneralPath(RandomInput(seed));
  }
}

TEST(FastPathAgreement, GeneratedBytes) {
  for (unsigned seed = 1; seed <= 60; ++seed) {
    SCOPED_TRACE(seed);
    ExpectSameAsGeneralPath(RandomBytes(seed));
  }
}

// Every count of bytes written and warned lines adds up to the lines read.
TEST(FastPathAgreement, CountsAddUpToLines) {
  const std::string input = RandomInput(99) + "\n";
  std::uint64_t lines = 0;
  std::uint64_t empty = 0;
  for (std::size_t i = 0; i < input.size(); ++i) {
    if (input[i] != '\n') continue;
    ++lines;
    if (i == 0 || input[i - 1] == '\n') ++empty;
  }
  const TransferRun run = TransferBytes(input);
  EXPECT_EQ(run.result.bytesWritten + run.result.illegalLines + empty, lines);
}

// Every spelling of 1 to 3 digits, leading zeros included: each place's
// share of the value, and the bound of 255 for every hundreds digit.
TEST(FastPathAgreement, EveryDigitSpelling) {
  std::string input;
  for (int width = 1; width <= 3; ++width) {
    const int count = width == 1 ? 10 : width == 2 ? 100 : 1000;
    for (int n = 0; n < count; ++n) {
      std::string digits = std::to_string(n);
      input += std::string(static_cast<std::size_t>(width) - digits.size(), '0') + digits + "\n";
    }
  }
  ExpectSameAsGeneralPath(input);
}

// Bytes that share the low four bits of a digit or of a newline without
// being one, in each place of a line: a kernel that looked values up by those
// bits alone would take them for digits.
TEST(FastPathAgreement, LookalikeBytesInEveryPlace) {
  const std::string lookalikes("@AIJPYZ`ijpz\x80\x89\x8a\xb0\xb9\xda\xfa\x1a\x00/:", 23);
  const std::vector<std::string> shapes = {"x", "x5", "5x", "x55", "2x5", "25x", "1x9", "x\r"};
  std::string input;
  for (const char odd : lookalikes) {
    for (std::string line : shapes) {
      for (char& c : line) c = c == 'x' ? odd : c;
      input += line + "\n7\n";
    }
  }
  ExpectSameAsGeneralPath(input);
}

}  // namespace
}  // namespace decbytes
