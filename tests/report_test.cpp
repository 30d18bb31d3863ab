// The report's warnings, byte for byte, where its shortcuts could go wrong:
// the line number kept from one warning to the next, warnings that straddle
// the end of the buffer, and input names longer than the buffer.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "report.h"
#include "test_support.h"

namespace decbytes {
namespace {

using std::string_literals::operator""s;

struct WarningCall {
  std::uint64_t line;
  std::string field;
};

std::string ExpectedWarning(const std::string& name, const WarningCall& call) {
  return "\nWarning : " + name + " : (line " + std::to_string(call.line) + ") : '" + call.field +
         "' is an illegal input string \n";
}

// Writes the warnings through a Report on a scratch file; returns the file.
std::string ReportOf(const std::string& name, const std::vector<WarningCall>& calls) {
  testing::ScratchDir dir;
  const std::string path = dir / "report";
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  EXPECT_GE(fd, 0);
  {
    Report report(fd, name);
    for (const WarningCall& call : calls) report.Warn(call.line, call.field);
    EXPECT_EQ(report.Flush(), 0);
  }
  ::close(fd);
  return testing::ReadFile(path);
}

void ExpectReport(const std::string& name, const std::vector<WarningCall>& calls) {
  std::string expected;
  for (const WarningCall& call : calls) expected += ExpectedWarning(name, call);
  const std::string got = ReportOf(name, calls);
  ASSERT_EQ(got.size(), expected.size());
  EXPECT_TRUE(got == expected);  // not EXPECT_EQ: no megabyte-long messages
}

const std::uint64_t kMaxLine = std::numeric_limits<std::uint64_t>::max();

// The line number changes between warnings only after a byte is written, and
// then it may gain or keep its digits; each warning shows its own.
TEST(ReportWarnings, LineNumberFollowsEveryChange) {
  const std::vector<std::pair<const char*, std::vector<WarningCall>>> cases = {
      {"same line twice", {{1, "a"}, {1, "b"}}},
      {"next line", {{1, "a"}, {2, "b"}, {2, "c"}, {3, "d"}}},
      {"gains a digit", {{9, "x"}, {10, "y"}, {99, "z"}, {100, "w"}}},
      {"back to fewer digits", {{1000, "x"}, {7, "y"}, {1000, "z"}}},
      {"largest count", {{kMaxLine - 1, "x"}, {kMaxLine, "y"}, {1, "z"}}},
      {"fields of every length", {{5, ""}, {5, "1"}, {5, "12"}, {5, "123"}}},
      {"raw bytes", {{2, "\0"s}, {2, "\r\n\t"}, {2, "\x80\xff"}}},
  };
  for (const auto& [what, calls] : cases) {
    SCOPED_TRACE(what);
    ExpectReport("in.txt", calls);
  }
}

// Many warnings fill the buffer several times over, so that warnings of
// every length meet its end at every offset.
TEST(ReportWarnings, WarningsAcrossTheBufferEnd) {
  std::vector<WarningCall> calls;
  for (std::uint64_t i = 0; i < 20000; ++i) {
    calls.push_back({1 + i / 3, std::string(i % 4, static_cast<char>('a' + i % 26))});
  }
  ExpectReport("input", calls);
}

// Input names around and past the size of the report's buffer (256 KiB),
// where the buffer grows to hold a warning: the warnings go out whole.
TEST(ReportWarnings, NamesLongerThanTheBuffer) {
  std::vector<std::size_t> lengths = {0, 1000, 262144, 300000};
  for (std::size_t length = 262040; length <= 262060; ++length) lengths.push_back(length);
  for (const std::size_t length : lengths) {
    SCOPED_TRACE(length);
    ExpectReport(std::string(length, 'n'), {{1, "x"}, {1, "yy"}, {12345, "zzz"}});
  }
}

}  // namespace
}  // namespace decbytes
