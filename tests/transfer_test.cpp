// transfer on small files: the bytes written, the warnings and the summary.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "report.h"
#include "transfer_helpers.h"

namespace decbytes {
namespace {

using std::string_literals::operator""s;
using testing::Summary;
using testing::TransferBytes;
using testing::Warning;

struct TransferCase {
  const char* name;
  std::string input;
  std::string output;
  std::string report;
};

std::string PrintCaseName(const ::testing::TestParamInfo<TransferCase>& info) {
  return info.param.name;
}

class TransferCaseTest : public ::testing::TestWithParam<TransferCase> {};

// Each input, through every path, gives exactly these bytes and this report;
// and through an output buffer of three bytes asked for: on the general
// path, which the longer outputs fill to the brim again and again, and on
// the fast path, which must still get room for its largest reservation.
TEST_P(TransferCaseTest, WritesBytesAndReport) {
  const TransferCase& c = GetParam();
  std::vector<std::pair<std::string, TransferIo>> ways;
  for (const FastPathVariant& path : PathsUnderTest()) {
    ways.emplace_back(path.name, TransferIo{});
    ways.back().second.fastPath = path.function;
  }
  ways.emplace_back("general, a 3-byte output buffer", TransferIo{});
  ways.back().second.fastPath = nullptr;
  ways.back().second.outputBufferSize = 3;
  ways.emplace_back("fast, a 3-byte output buffer asked for", TransferIo{});
  ways.back().second.outputBufferSize = 3;
  for (const auto& [name, io] : ways) {
    SCOPED_TRACE(name);
    const auto run = TransferBytes(c.input, io);
    EXPECT_EQ(run.result.status, TransferStatus::Completed);
    EXPECT_EQ(run.output, c.output);
    EXPECT_EQ(run.report, c.report);
  }
}

const std::string kLong(2000, 'x');
const std::string k1024(1024, 'x');

// Every value from 0 to 255 a line, and the bytes they make.
std::string EveryValue(bool asLines) {
  std::string text;
  for (int value = 0; value < 256; ++value) {
    text += asLines ? std::to_string(value) + "\n" : std::string(1, static_cast<char>(value));
  }
  return text;
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, TransferCaseTest,
    ::testing::Values(
        TransferCase{"WorkedExample", "72\n105\n\n300\nabc\n33\n", "Hi!",
                     Warning(3, "300") + Warning(3, "abc") + Summary(3, 2)},
        TransferCase{"EmptyFile", "", "", Summary(0, 0)},
        TransferCase{"OnlyEmptyLines", "\n\n\n", "", Summary(0, 0)},
        TransferCase{"EmptyLineDoesNotEndRun", "1\n\n2\n", "\x01\x02", Summary(2, 0)},
        TransferCase{"Bounds", "0\n255\n007\n00\n", "\x00\xff\x07\x00"s, Summary(4, 0)},
        TransferCase{"EveryValue", EveryValue(true), EveryValue(false), Summary(256, 0)},
        TransferCase{"TooLarge", "256\n999\n", "",
                     Warning(1, "256") + Warning(1, "999") + Summary(0, 2)},
        TransferCase{"FourDigitsShowThree", "1234\n5\n", "\x05", Warning(1, "123") + Summary(1, 1)},
        TransferCase{"LastLineWithoutNewline", "65", "", Warning(1, "65") + Summary(0, 1)},
        TransferCase{"LastThreeDigitsWithoutNewline", "1\n255", "\x01",
                     Warning(2, "255") + Summary(1, 1)},
        TransferCase{"CarriageReturns", "65\r\n\r\n", "",
                     Warning(1, "65\r") + Warning(1, "\r") + Summary(0, 2)},
        TransferCase{"NulIsANonDigit", "1\0x\n\0\n7\n"s, "\x07",
                     Warning(1, "1\0x"s) + Warning(1, "\0"s) + Summary(1, 2)},
        TransferCase{"BlanksAndSigns", " 1\n1 \n+1\n-1\n\t1\n", "",
                     Warning(1, " 1") + Warning(1, "1 ") + Warning(1, "+1") + Warning(1, "-1") +
                         Warning(1, "\t1") + Summary(0, 5)},
        TransferCase{"HighBytes", "\x80\n2\xff\n", "",
                     Warning(1, "\x80") + Warning(1, "2\xff") + Summary(0, 2)},
        TransferCase{"LineNumberCountsBytes", "300\n1\n\n300\n", "\x01",
                     Warning(1, "300") + Warning(2, "300") + Summary(1, 2)},
        // The tail of an over-long line is never read as a line of its own.
        TransferCase{"LongLineTailIsDiscarded", "999" + k1024 + "65\n7\n", "\x07",
                     Warning(1, "999") + Summary(1, 1)},
        TransferCase{"ExactlyLimitAfterField", "999" + k1024 + "\n", "",
                     Warning(1, "999") + Summary(0, 1)},
        TransferCase{"VeryLongLine", "7" + kLong + "\n8\n", "\x08",
                     Warning(1, "7xx") + Summary(1, 1)},
        TransferCase{"LongLastLineWithoutNewline", "1\n" + kLong, "\x01",
                     Warning(2, "xxx") + Summary(1, 1)}),
    PrintCaseName);

// A caller that runs the transfer without raising MaxValue from its load
// value (1) gets the value check's verdict on every line, on every path: only
// the value 0 is legal, whatever the fast path's tables hold.
TEST(TransferBound, MaxValueAtLoadValue) {
  std::string input;
  for (int i = 0; i < 200; ++i) input += std::to_string(i % 3) + "\n";
  std::string report;
  for (std::uint64_t line = 1; line <= 200; ++line) {
    if (line % 3 != 1) report += Warning((line - 1) / 3 + 2, std::to_string((line - 1) % 3));
  }
  report += Summary(67, 133);
  for (const FastPathVariant& path : PathsUnderTest()) {
    SCOPED_TRACE(path.name);
    TransferIo io;
    io.fastPath = path.function;
    const auto run = TransferBytes(input, io, 1);
    EXPECT_EQ(run.output, std::string(67, '\0'));
    EXPECT_EQ(run.report, report);
  }
}

// Whatever MaxValue holds above a byte's bound, a transfer writes bytes
// only: a value of 256 or more is an illegal line, on every path.
TEST(TransferBound, MaxValueAboveAByte) {
  for (const FastPathVariant& path : PathsUnderTest()) {
    SCOPED_TRACE(path.name);
    TransferIo io;
    io.fastPath = path.function;
    const auto run = TransferBytes("300\n65\n999\n", io, 1000);
    EXPECT_EQ(run.output, "A");
    EXPECT_EQ(run.report, Warning(1, "300") + Warning(2, "999") + Summary(1, 2));
  }
}

// A failure to allocate the buffers leaves the call before either file is
// opened: no descriptor stays open and the output is as it was.
TEST(TransferFailures, AllocationFailureTouchesNothing) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer ends the process on an allocation this large";
#endif
  testing::ScratchDir dir;
  testing::WriteFile(dir / "in", "65\n");
  testing::WriteFile(dir / "out", "old");
  const int lowestFreeBefore = ::dup(0);
  ::close(lowestFreeBefore);
  TransferIo io;
  // More than any address space holds, the look-behind added.
  io.blockSize = SIZE_MAX - 2 * InputReader::kLookBehind;
  EXPECT_THROW(transfer((dir / "in").c_str(), (dir / "out").c_str(), io), std::bad_alloc);
  const int lowestFreeAfter = ::dup(0);
  ::close(lowestFreeAfter);
  EXPECT_EQ(lowestFreeAfter, lowestFreeBefore);
  EXPECT_EQ(testing::ReadFile(dir / "out"), "old");
}

// A read error in the middle of the input stops the transfer: it is never
// taken for the end of the input, and no summary is written.
TEST(TransferFailures, ReadErrorIsNotEndOfInput) {
  TransferIo io;
  io.read = testing::FailEvery<void*, DefaultRead, 2, 0, EIO>;
  io.blockSize = 4;
  const auto run = TransferBytes("1\n2\n3\n4\n", io);
  EXPECT_EQ(run.result.status, TransferStatus::ReadFailed);
  EXPECT_EQ(run.result.fileError, EIO);
  EXPECT_EQ(run.output, "\x01\x02");
  EXPECT_EQ(run.report, "");
}

// A report that cannot be written does not stop the conversion.
TEST(TransferFailures, ReportErrorStillCompletesOutput) {
  testing::ScratchDir dir;
  testing::WriteFile(dir / "in", "1\nx\n2\n");
  SetByteBound();
  const int full = ::open("/dev/full", O_WRONLY);
  ASSERT_GE(full, 0);
  TransferIo io;
  io.reportFd = full;
  const TransferResult result = transfer((dir / "in").c_str(), (dir / "out").c_str(), io);
  ::close(full);
  EXPECT_EQ(result.status, TransferStatus::Completed);
  EXPECT_EQ(result.reportError, ENOSPC);
  EXPECT_EQ(testing::ReadFile(dir / "out"), "\x01\x02");
}

// The output file is opened only after the input, and never emptied when it
// is the input itself.
TEST(TransferFailures, OpenOrder) {
  testing::ScratchDir dir;
  const std::string kept = dir / "kept";
  testing::WriteFile(kept, "precious");
  const TransferResult missing = transfer((dir / "missing").c_str(), kept.c_str());
  EXPECT_EQ(missing.status, TransferStatus::InputOpenFailed);
  EXPECT_EQ(missing.fileError, ENOENT);
  EXPECT_EQ(transfer(kept.c_str(), kept.c_str()).status, TransferStatus::OutputIsInput);
  EXPECT_EQ(transfer(dir.path().c_str(), kept.c_str()).status, TransferStatus::InputOpenFailed);
  EXPECT_EQ(testing::ReadFile(kept), "precious");
  EXPECT_EQ(transfer(kept.c_str(), (dir / "no/such/dir").c_str()).status,
            TransferStatus::OutputOpenFailed);
}

// Whether a warning reached the report's reader while the input was still
// arriving: the read seam looks, at the input's second read, whether the
// reader's end (gReaderFd) has anything to read.
int gReaderFd = -1;
unsigned gInputReads = 0;
bool gWarningBeforeEnd = false;
ssize_t ReadAndLook(int fd, void* buffer, std::size_t size) {
  if (++gInputReads == 2) {
    pollfd reader{gReaderFd, POLLIN, 0};
    gWarningBeforeEnd = ::poll(&reader, 1, 0) == 1 && (reader.revents & POLLIN) != 0;
  }
  return DefaultRead(fd, buffer, size);
}

// The report's two ends: a terminal (a pseudo-terminal's two sides) or a
// pipe. Returns false when none can be made.
bool OpenTerminal(int& writer, int& reader) {
  reader = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (reader < 0 || ::grantpt(reader) != 0 || ::unlockpt(reader) != 0) return false;
  const char* name = ::ptsname(reader);
  writer = name != nullptr ? ::open(name, O_RDWR | O_NOCTTY) : -1;
  return writer >= 0;
}
bool OpenPipe(int& writer, int& reader) {
  int ends[2];
  if (::pipe(ends) != 0) return false;
  reader = ends[0];
  writer = ends[1];
  return true;
}

// On a terminal each warning shows as it is made, while the input is still
// arriving (its first block holds one illegal line); into a pipe the report
// waits for its large blocks, here the end of the run.
TEST(ReportBuffering, EachWarningAtOnceOnATerminalOnly) {
  struct Destination {
    const char* name;
    bool (*open)(int& writer, int& reader);
    bool warningBeforeEnd;
  };
  for (const Destination& to :
       {Destination{"terminal", OpenTerminal, true}, Destination{"pipe", OpenPipe, false}}) {
    SCOPED_TRACE(to.name);
    int writer = -1;
    if (!to.open(writer, gReaderFd)) GTEST_SKIP() << "no " << to.name << " here";
    testing::ScratchDir dir;
    testing::WriteFile(dir / "in", "x\n65\n66\n");
    gInputReads = 0;
    gWarningBeforeEnd = false;
    TransferIo io;
    io.reportFd = writer;
    io.read = ReadAndLook;
    io.blockSize = 2;
    SetByteBound();
    const TransferResult result = transfer((dir / "in").c_str(), (dir / "out").c_str(), io);
    ::close(writer);
    ::close(gReaderFd);
    EXPECT_EQ(result.status, TransferStatus::Completed);
    EXPECT_EQ(gWarningBeforeEnd, to.warningBeforeEnd);
  }
}

}  // namespace
}  // namespace decbytes

namespace decbytes {
namespace {

// Counts past 2^32 are written in full: the counters are 64-bit.
TEST(ReportText, WritesLargeCounts) {
  testing::ScratchDir dir;
  const std::string path = dir / "report";
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  ASSERT_GE(fd, 0);
  {
    Report report(fd, "in");
    report.Warn(5000000001, "x");
    report.Summarize(5000000000, 4294967296);
    EXPECT_EQ(report.Flush(), 0);
  }
  ::close(fd);
  EXPECT_EQ(testing::ReadFile(path),
            "\nWarning : in : (line 5000000001) : 'x' is an illegal input string \n"
            "\n5000000000 characters transferred with 4294967296 errors \n\n");
}

}  // namespace
}  // namespace decbytes
