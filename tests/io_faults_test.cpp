// The conversion under interrupted, short and failing reads and writes,
// through the transfer's read and write functions, and with counters past
// 2^32: every byte still arrives once and in order, a failed output stops
// the reading and the judging of lines and is written no more, and counts
// never wrap.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

#include <decbytes/decbytes.h>
#include "conversion.h"
#include "line_model.h"
#include "memory_conversion.h"
#include "transfer_helpers.h"

namespace decbytes {
namespace {

using testing::TransferBytes;

// Every other call interrupted before it does anything; every call short.
constexpr auto ReadInterrupted = testing::FailEvery<void*, DefaultRead, 2, 1, EINTR>;
constexpr auto WriteInterrupted = testing::FailEvery<const void*, DefaultWrite, 2, 1, EINTR>;
constexpr auto ReadShort = testing::Shortened<void*, DefaultRead>;
constexpr auto WriteShort = testing::Shortened<const void*, DefaultWrite>;
// Every third call interrupted, the others short.
constexpr auto WriteShortOrInterrupted = testing::FailEvery<const void*, WriteShort, 3, 0, EINTR>;

// Every value in turn and an illegal line now and then: more than one
// output buffer, and a report of many warnings.
std::string ManyLines(std::size_t count) {
  std::string input;
  for (std::size_t i = 0; i < count; ++i) {
    input += i % 997 == 0 ? std::string("x") : std::to_string(i % 256);
    input += '\n';
  }
  return input;
}

struct IoCase {
  const char* name;
  ReadFunction read;
  WriteFunction write;
};

std::string IoCaseName(const ::testing::TestParamInfo<IoCase>& info) { return info.param.name; }

class InterruptedIo : public ::testing::TestWithParam<IoCase> {};

TEST_P(InterruptedIo, EveryByteArrivesOnceInOrder) {
  static const std::string input = ManyLines(400000);
  static const model::Expected expected = [] {
    model::Expected e;
    model::Model(input, "in.txt", 0, e);
    return e;
  }();
  TransferIo io;
  io.read = GetParam().read;
  io.write = GetParam().write;
  const auto run = TransferBytes(input, io);
  EXPECT_EQ(run.result.status, TransferStatus::Completed);
  EXPECT_EQ(run.result.reportError, 0);
  EXPECT_TRUE(run.output == expected.output) << "the output differs";
  EXPECT_TRUE(run.report == expected.report) << "the report differs";
}

INSTANTIATE_TEST_SUITE_P(
    Seams, InterruptedIo,
    ::testing::Values(IoCase{"ReadsInterrupted", ReadInterrupted, DefaultWrite},
                      IoCase{"ShortReads", ReadShort, DefaultWrite},
                      IoCase{"WritesInterrupted", DefaultRead, WriteInterrupted},
                      IoCase{"ShortWrites", DefaultRead, WriteShort},
                      IoCase{"WritesShortAndInterrupted", ReadShort, WriteShortOrInterrupted}),
    IoCaseName);

unsigned gReads = 0;
ssize_t CountedRead(int fd, void* buffer, std::size_t size) {
  ++gReads;
  return DefaultRead(fd, buffer, size);
}

// Once the output has failed, the rest of the input is not read.
TEST(OutputFailure, StopsReading) {
  testing::ScratchDir dir;
  std::string input;
  for (int i = 0; i < 1 << 20; ++i) input += "65\n";  // 3 MiB in, 1 MiB out
  testing::WriteFile(dir / "in", input);
  testing::gReportFd = ::open((dir / "report").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  gReads = 0;
  testing::gOutputFaults = {};  // the output refuses every byte
  testing::gOutputFaults.first = 1;
  testing::gOutputFaults.count = ~0u;
  testing::gOutputFaults.error = ENOSPC;
  TransferIo io;
  io.reportFd = testing::gReportFd;
  io.read = CountedRead;
  io.write = testing::OutputFaultWrite;
  io.blockSize = 4096;
  SetByteBound();
  const TransferResult result = transfer((dir / "in").c_str(), (dir / "out").c_str(), io);
  ::close(testing::gReportFd);
  testing::gReportFd = -1;
  EXPECT_EQ(result.status, TransferStatus::WriteFailed);
  EXPECT_EQ(result.fileError, ENOSPC);
  EXPECT_LT(gReads, input.size() / io.blockSize / 2) << "read on after the output failed";
  EXPECT_EQ(testing::ReadFile(dir / "report"), "");
}

// An output write that fails once (the next would succeed) or that takes no
// byte: the run ends with a write error and no summary, and that write is
// the output's last, neither retried for ever nor followed by a flush of
// the bytes it failed to write, which would end in a truncated file
// reported as complete. The bytes counted as written are those the file
// received, a short write's before the failure among them.
struct WriteFaultCase {
  const char* name;
  unsigned first;       // the first output write that fails, of about five
  unsigned count;       // how many in a row
  ssize_t result;       // -1 (EIO) or 0 (no progress)
  std::size_t shortTo;  // not 0: the write before it takes at most this many bytes
};

class OutputWriteFault : public ::testing::TestWithParam<WriteFaultCase> {};

TEST_P(OutputWriteFault, EndsTheRunWithAWriteError) {
  const WriteFaultCase& c = GetParam();
  static const std::string whole(std::size_t{1} << 20, 'A');
  static const std::string input = [] {
    std::string lines;
    for (std::size_t i = 0; i < whole.size(); ++i) lines += "65\n";
    return lines;
  }();
  testing::gOutputFaults = {};
  testing::gOutputFaults.first = c.first;
  testing::gOutputFaults.count = c.count;
  testing::gOutputFaults.result = c.result;
  testing::gOutputFaults.shortTo = c.shortTo;
  TransferIo io;
  io.write = testing::OutputFaultWrite;
  const auto run = TransferBytes(input, io);
  EXPECT_EQ(run.result.status, TransferStatus::WriteFailed);
  EXPECT_NE(run.result.fileError, 0);
  if (c.result < 0) {
    EXPECT_EQ(run.result.fileError, EIO);
  }
  EXPECT_EQ(testing::gOutputFaults.calls, c.first) << "output writes made, the failed one last";
  EXPECT_LT(run.output.size(), whole.size());
  EXPECT_EQ(run.result.bytesWritten, run.output.size()) << "counted bytes the file did not get";
  EXPECT_TRUE(whole.starts_with(run.output)) << "the output is not a prefix of the whole";
  EXPECT_EQ(run.report, "") << "a summary after a failed write";
}

std::string WriteFaultName(const ::testing::TestParamInfo<WriteFaultCase>& info) {
  return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Seams, OutputWriteFault,
                         ::testing::Values(WriteFaultCase{"FirstFailsOnce", 1, 1, -1, 0},
                                           WriteFaultCase{"ThirdFailsOnce", 3, 1, -1, 0},
                                           WriteFaultCase{"ShortThenThirdFails", 3, 1, -1, 1000},
                                           WriteFaultCase{"FirstTakesNothing", 1, ~0u, 0, 0},
                                           WriteFaultCase{"ThirdTakesNothing", 3, ~0u, 0, 0}),
                         WriteFaultName);

// Notes how many lines were found illegal when the output first failed.
const Conversion* gWatched = nullptr;
std::uint64_t gIllegalAtFailure = 0;
bool gFailed = false;
ssize_t FailAndNote(int /*fd*/, const void* /*buffer*/, std::size_t /*size*/) {
  if (!gFailed) gIllegalAtFailure = gWatched->illegalLines;
  gFailed = true;
  errno = EIO;
  return -1;
}

std::string gReport;
ssize_t KeepReport(int /*fd*/, const void* buffer, std::size_t size) {
  gReport.append(static_cast<const char*>(buffer), size);
  return static_cast<ssize_t>(size);
}

// No line is judged, and no warning written, after the output has failed:
// illegal lines follow each other and every legal line, so that the output
// fails wherever a path stops.
TEST(OutputFailure, NoWarningAfterIt) {
  std::string block(InputReader::kLookBehind, '\n');
  for (int i = 0; i < 150000; ++i) block += "x\nx\n1\n";
  SetByteBound();
  for (const FastPathVariant& path : PathsUnderTest()) {
    SCOPED_TRACE(path.name);
    OutputWriter output(-1, 128 * 1024, FailAndNote);
    Report report(-1, "in", KeepReport);
    Conversion conversion{output, report};
    gWatched = &conversion;
    gFailed = false;
    gReport.clear();
    const char* begin = block.data() + InputReader::kLookBehind;
    ConvertBlock(conversion, begin, block.data() + block.size(), path.function);
    report.Flush();
    ASSERT_TRUE(output.failed());
    EXPECT_EQ(conversion.illegalLines, gIllegalAtFailure);
    std::uint64_t warnings = 0;
    for (auto at = gReport.find("Warning"); at != std::string::npos;
         at = gReport.find("Warning", at + 1)) {
      ++warnings;
    }
    EXPECT_EQ(warnings, gIllegalAtFailure);
  }
}

// Counters that start just below 2^32, or far above it, go on counting
// through every path: in the warnings' line numbers and in the summary.
TEST(LargeCounts, PastTwoToThe32) {
  std::string input;
  for (int i = 0; i < 300; ++i) input += std::to_string(i % 256) + (i % 100 == 50 ? "x\n" : "\n");
  input += "9";  // a last line without its newline
  const std::vector<FastPathVariant> paths = PathsUnderTest();
  SetByteBound();
  for (const std::uint64_t start :
       {(std::uint64_t{1} << 32) - 100, (std::uint64_t{1} << 32) - 1, std::uint64_t{1} << 62}) {
    model::Expected expected;
    model::Model(input, model::kInputName, start, expected);
    for (const FastPathVariant& path : paths) {
      SCOPED_TRACE(path.name);
      model::MemoryOptions options;
      options.fastPath = path.function;
      options.startCount = start;
      model::MemoryRun run;
      model::ConvertInMemory(input, options, run);
      EXPECT_EQ(run.report, expected.report);
      EXPECT_EQ(run.bytesWritten, start + expected.output.size());
      EXPECT_EQ(run.illegalLines, start + expected.illegalLines);
    }
  }
}

}  // namespace
}  // namespace decbytes
