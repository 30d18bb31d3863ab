// Runs `transfer` on bytes in a scratch directory and collects what it made,
// and a write function that fails the output's writes as a test arranges.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "test_support.h"
#include "transfer.h"

namespace decbytes::testing {

struct TransferRun {
  TransferResult result;
  std::string output;  // the output file's bytes
  std::string report;  // what went to the report stream
};

// The report's descriptor while a transfer runs, so that a write function
// tells the report's writes from the output's. TransferBytes sets it.
inline int gReportFd = -1;

// Converts `input` with MaxValue at `maxValue` (the bound the command line
// sets, unless a test asks for another), into files of a scratch directory
// unless `outputPath` or `reportPath` name others.
inline TransferRun TransferBytes(const std::string& input, TransferIo io = {},
                                 int maxValue = kByteValues, const std::string& outputPath = "",
                                 const std::string& reportPath = "") {
  ScratchDir dir;
  const std::string in = dir / "in.txt";
  const std::string out = outputPath.empty() ? dir / "out.bin" : outputPath;
  const std::string report = reportPath.empty() ? dir / "report" : reportPath;
  WriteFile(in, input);
  const int reportFd = ::open(report.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  io.reportFd = reportFd;
  MaxValue = maxValue;
  gReportFd = reportFd;
  TransferRun run;
  run.result = transfer(in.c_str(), out.c_str(), io);
  ::close(reportFd);
  gReportFd = -1;
  run.output = ReadFile(out);
  // Warnings name the input by the path given; keep just its file name.
  run.report = ReadFile(report);
  // One pass, so that a report of many warnings takes linear time.
  const std::string prefix = dir.path() + "/";
  std::string named;
  std::size_t from = 0;
  for (auto at = run.report.find(prefix); at != std::string::npos;
       at = run.report.find(prefix, from)) {
    named.append(run.report, from, at - from);
    from = at + prefix.size();
  }
  named.append(run.report, from);
  run.report = std::move(named);
  return run;
}

// A read or write seam whose calls, counted from 1, fail with `kError`
// before doing anything when their number modulo `kEvery` is `kFailing`;
// the other calls go through to `kCall`.
template <class Buffer, ssize_t (*kCall)(int, Buffer, std::size_t), unsigned kEvery,
          unsigned kFailing, int kError>
ssize_t FailEvery(int fd, Buffer buffer, std::size_t size) {
  static unsigned calls = 0;
  if (++calls % kEvery == kFailing) {
    errno = kError;
    return -1;
  }
  return kCall(fd, buffer, size);
}

// A read or write seam whose every call takes a varying count of at most
// 4099 bytes, however many are asked for.
template <class Buffer, ssize_t (*kCall)(int, Buffer, std::size_t)>
ssize_t Shortened(int fd, Buffer buffer, std::size_t size) {
  static unsigned calls = 0;
  return kCall(fd, buffer, std::min<std::size_t>(size, 1 + ++calls * 37 % 4099));
}

// How OutputFaultWrite treats the output's writes (to any descriptor but
// gReportFd's): `count` of them, from the `first` (counting from 1), fail by
// returning `result`, -1 with errno `error` or 0 (no progress); the others
// are written. The report's writes always go through.
struct OutputFaults {
  unsigned first = 0;  // 0: none fails
  unsigned count = 1;
  ssize_t result = -1;
  int error = EIO;
  std::size_t shortTo = 0;  // not 0: the write before the `first` takes at most this many bytes
  unsigned calls = 0;       // the output's writes made so far
};
inline OutputFaults gOutputFaults;

// Past this many output writes, every one fails with ELOOP, so that a writer
// retrying a failed write for ever ends, and the test can count its tries.
// Enough for runs of a few MiB of output.
constexpr unsigned kMaxOutputWrites = 100;

inline ssize_t OutputFaultWrite(int fd, const void* buffer, std::size_t size) {
  if (fd == gReportFd) return DefaultWrite(fd, buffer, size);
  OutputFaults& faults = gOutputFaults;
  ++faults.calls;
  if (faults.calls > kMaxOutputWrites) {
    errno = ELOOP;
    return -1;
  }
  if (faults.first != 0 && faults.calls >= faults.first &&
      faults.calls - faults.first < faults.count) {
    if (faults.result < 0) errno = faults.error;
    return faults.result;
  }
  if (faults.shortTo != 0 && faults.calls + 1 == faults.first) {
    size = std::min(size, faults.shortTo);
  }
  return DefaultWrite(fd, buffer, size);
}

// The warning and summary texts, as the report writes them for "in.txt".
inline std::string Warning(std::uint64_t line, const std::string& field) {
  std::string text = "\nWarning : in.txt : (line ";
  text += std::to_string(line);
  text += ") : '";
  text += field;
  text += "' is an illegal input string \n";
  return text;
}

inline std::string Summary(std::uint64_t bytes, std::uint64_t errors) {
  std::string text = "\n";
  text += std::to_string(bytes);
  text += " characters transferred with ";
  text += std::to_string(errors);
  text += " errors \n\n";
  return text;
}

}  // namespace decbytes::testing
