// The fast paths against the general path: on many generated inputs, read in
// blocks of many sizes so that lines fall across block boundaries, every
// path gives the same bytes, report and counts.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "conversion.h"
#include "transfer_helpers.h"

namespace decbytes {

// Names a fast path in the tests' output by its name alone.
void PrintTo(const FastPathVariant& path, std::ostream* os) { *os << path.name; }

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

// One suite per fast path this build holds. A kernel that this processor
// cannot run is reported as skipped, with its name and what is missing, so
// that a test log shows what went untested here.
class KernelAgreement : public ::testing::TestWithParam<FastPathVariant> {
 protected:
  void SetUp() override {
    if (!GetParam().runnable()) {
      GTEST_SKIP() << GetParam().name << " not run: this processor has " << GetParam().missing;
    }
  }

  // The kernel gives the general path's bytes, report and counts on `input`
  // read in blocks of many sizes, so that lines fall across block boundaries.
  void ExpectSameAsGeneralPath(const std::string& input) const {
    TransferIo reference;
    reference.fastPath = nullptr;
    const TransferRun expected = TransferBytes(input, reference);
    for (std::size_t blockSize :
         {1u, 2u, 3u, 4u, 5u, 7u, 15u, 16u, 17u, 31u, 33u, 64u, 1000u, 65536u}) {
      TransferIo io;
      io.fastPath = GetParam().function;
      io.blockSize = blockSize;
      const TransferRun run = TransferBytes(input, io);
      ASSERT_EQ(run.output, expected.output) << "block size " << blockSize;
      ASSERT_EQ(run.report, expected.report) << "block size " << blockSize;
      ASSERT_EQ(run.result.bytesWritten, expected.result.bytesWritten);
      ASSERT_EQ(run.result.illegalLines, expected.result.illegalLines);
    }
  }
};

std::string KernelName(const ::testing::TestParamInfo<FastPathVariant>& info) {
  return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Compiled, KernelAgreement, ::testing::ValuesIn(CompiledFastPaths()),
                         KernelName);

TEST_P(KernelAgreement, GeneratedLines) {
  for (unsigned seed = 1; seed <= 30; ++seed) {
    SCOPED_TRACE(seed);
    ExpectSameAsGeneralPath(RandomInput(seed));
  }
}

TEST_P(KernelAgreement, GeneratedBytes) {
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

// The fast path of this processor, counting its entries and what it takes.
struct FastPathUse {
  std::uint64_t entries = 0;
  std::uint64_t bytes = 0;
};
FastPathUse fastPathUse;

const char* CountingFastPath(Conversion& c, const char* lineStart, const char* end) {
  static const FastPathFunction best = RunnableFastPaths().back().function;
  const char* const stop = best(c, lineStart, end);
  ++fastPathUse.entries;
  fastPathUse.bytes += static_cast<std::uint64_t>(stop - lineStart);
  return stop;
}

std::string Repeat(const std::string& lines, std::size_t times) {
  std::string text;
  for (std::size_t i = 0; i < times; ++i) text += lines;
  return text;
}

// After an illegal line the fast path is entered again only when it can pay:
// not once per illegal line, nor once per pair of alternating lines; but a
// long run of legal lines after any of these still goes through it. Either
// way the bytes and the report are the general path's.
TEST(FastPathReentry, EnteredOnlyWhenItPays) {
  struct Case {
    const char* name;
    std::string input;
    std::uint64_t maxEntries;
    std::uint64_t minFastBytes;  // of the input, taken by the fast path
  };
  const std::string clean = Repeat("1\n22\n255\n0\n", 5000);  // 55,000 bytes
  const std::vector<Case> cases = {
      {"CR LF lines", Repeat("65\r\n", 20000), 4, 0},
      {"long illegal lines", Repeat("1234567890\n", 5000), 4, 0},
      {"alternating lines", Repeat("7\nx\n", 10000), 400, 0},
      {"pairs of legal lines", Repeat("7\n8\n9\r\n", 10000), 400, 0},
      {"clean after CR LF lines", Repeat("65\r\n", 5000) + clean, 20, 54000},
      {"clean after alternating lines", Repeat("7\nx\n", 5000) + clean, 300, 54000},
      {"illegal lines now and then", Repeat(Repeat("42\n", 50) + "x\n", 200), 400, 28000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TransferIo io;
    io.fastPath = CountingFastPath;
    fastPathUse = {};
    const TransferRun run = TransferBytes(c.input, io);
    EXPECT_LE(fastPathUse.entries, c.maxEntries);
    EXPECT_GE(fastPathUse.bytes, c.minFastBytes);
    TransferIo reference;
    reference.fastPath = nullptr;
    const TransferRun expected = TransferBytes(c.input, reference);
    EXPECT_EQ(run.output, expected.output);
    EXPECT_TRUE(run.report == expected.report);
  }
}

// Every spelling of 1 to 3 digits, leading zeros included: each place's
// share of the value, and the bound of 255 for every hundreds digit.
TEST_P(KernelAgreement, EveryDigitSpelling) {
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
TEST_P(KernelAgreement, LookalikeBytesInEveryPlace) {
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
