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

// Every write of the report ends at the end of a line, so that two reports
// on one descriptor interleave whole lines: warnings of every length and
// the summary, through a buffer they fill many times.
std::vector<std::string> gWrites;
ssize_t KeepWrite(int /*fd*/, const void* bytes, std::size_t size) {
  gWrites.emplace_back(static_cast<const char*>(bytes), size);
  return static_cast<ssize_t>(size);
}

TEST(ReportWrites, EachEndsAtALineEnd) {
  gWrites.clear();
  Report report(-1, "in.txt", KeepWrite, 4096);
  for (std::uint64_t i = 0; i < 2000; ++i) report.Warn(i / 3 + 1, std::string(i % 4, 'x'));
  report.Summarize(12345, 2000);
  ASSERT_EQ(report.Flush(), 0);
  ASSERT_GT(gWrites.size(), 10u);
  for (const std::string& write : gWrites) ASSERT_EQ(write.back(), '\n') << write;
}

}  // namespace
}  // namespace decbytes
