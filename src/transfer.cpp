// The transfer of one input file into one output file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "conversion.h"
#include "io/sigpipe_guard.h"
#include "transfer.h"

namespace decbytes {

namespace {

// Inputs and outputs past 2 GiB need 64-bit file offsets, which 32-bit
// builds get from _FILE_OFFSET_BITS=64 (set for every target in CMake).
static_assert(sizeof(off_t) >= 8, "64-bit file offsets are needed for files past 2 GiB");

// Closes a descriptor given up after a failure that is reported anyway, and
// through which nothing was written: a failed close would change nothing.
void CloseUnused(int fd) { static_cast<void>(::close(fd)); }

// Opens the input for reading; returns the descriptor, or -1 when it cannot
// be opened or is a directory (reading one would only fail later).
int OpenInput(const char* name, struct stat& status) {
  const int fd = ::open(name, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  if (::fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
    CloseUnused(fd);
    return -1;
  }
  return fd;
}

// True when `a` and `b` are one file whose content a write to it would
// take from a read of it: a regular file (truncating it would empty the
// input), or a pipe, FIFO or socket (the program would hold the writing end
// of its own input and wait for it for ever). Devices, terminals among
// them, are shared by nature and not refused.
bool OutputWouldConsumeInput(const struct stat& a, const struct stat& b) {
  const auto consumable = [](mode_t mode) {
    return S_ISREG(mode) || S_ISFIFO(mode) || S_ISSOCK(mode);
  };
  return consumable(a.st_mode) && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Opens the output for writing, creating it with mode 0666 less the umask.
// Truncates a regular file, through `truncate`, only after making sure it is
// not the input, so that naming the input twice never empties it. Returns
// the descriptor, or -1 with `status` set to why not.
int OpenOutput(const char* name, const struct stat& input, TruncateFunction truncate,
               TransferStatus& status) {
  const int fd = ::open(name, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    status = TransferStatus::OutputOpenFailed;
    return -1;
  }
  struct stat output;
  if (::fstat(fd, &output) != 0) {
    status = TransferStatus::OutputOpenFailed;
  } else if (OutputWouldConsumeInput(input, output)) {
    status = TransferStatus::OutputIsInput;
  } else if (S_ISREG(output.st_mode) && truncate(fd, 0) != 0) {
    status = TransferStatus::OutputOpenFailed;
  } else {
    return fd;
  }
  CloseUnused(fd);
  return -1;
}

// The output's buffer: the size asked for, but at least a byte, and with a
// fast path at least its largest reservation.
std::size_t OutputBufferSize(const TransferIo& io) {
  return std::max(io.outputBufferSize, io.fastPath != nullptr ? kLeastOutputBufferSize : 1);
}

// Converts everything the input holds: reads a block, converts it, and
// writes what it made, until the end of the input or the first failure.
// Leaves in `result` the status (Completed, ReadFailed or WriteFailed), the
// errno of a failure and the counts.
void ConvertAll(int inputFd, int outputFd, Report& report, const TransferIo& io,
                TransferResult& result) {
  InputReader input(inputFd, io.blockSize, io.read);
  OutputWriter output(outputFd, OutputBufferSize(io), io.write);
  Conversion conversion{output, report};
  for (;;) {
    const ssize_t got = input.Fill();
    if (got < 0) {
      result.status = TransferStatus::ReadFailed;
      result.fileError = errno;
      break;
    }
    if (got == 0) {
      FinishInput(conversion);
      break;
    }
    ConvertBlock(conversion, input.begin(), input.end(), io.fastPath);
    if (output.failed()) break;
  }
  if (!output.Flush() && result.status == TransferStatus::Completed) {
    result.status = TransferStatus::WriteFailed;
    result.fileError = output.error();
  }
  result.bytesWritten = output.written();
  result.illegalLines = conversion.illegalLines;
}

}  // namespace

TransferResult transfer(const char* inputName, const char* outputName, const TransferIo& io) {
  const SigpipeGuard sigpipeGuard;  // a reader that has gone fails a write, ends nothing
  TransferResult result;
  struct stat inputStatus;
  const int inputFd = OpenInput(inputName, inputStatus);
  if (inputFd < 0) {
    result.status = TransferStatus::InputOpenFailed;
    return result;
  }
  const int outputFd = OpenOutput(outputName, inputStatus, io.truncate, result.status);
  if (outputFd < 0) {
    CloseUnused(inputFd);
    return result;
  }

  // On a terminal each warning shows as it is made; elsewhere the report
  // goes out in large blocks.
  const ReportBuffering buffering =
      ::isatty(io.reportFd) == 1 ? ReportBuffering::Lines : ReportBuffering::Blocks;
  Report report(io.reportFd, inputName, io.write, io.reportBufferSize, buffering);
  ConvertAll(inputFd, outputFd, report, io, result);

  const int inputCloseError = CloseChecked(inputFd);
  const int outputCloseError = CloseChecked(outputFd);
  if (result.status == TransferStatus::Completed && outputCloseError != 0) {
    result.status = TransferStatus::WriteFailed;
    result.fileError = outputCloseError;
  } else if (result.status == TransferStatus::Completed && inputCloseError != 0) {
    result.status = TransferStatus::ReadFailed;
    result.fileError = inputCloseError;
  }
  if (result.status == TransferStatus::Completed) {
    report.Summarize(result.bytesWritten, result.illegalLines);
  }
  result.reportError = report.Flush();
  return result;
}

TransferResult transfer(const char* inputName, const char* outputName) {
  return transfer(inputName, outputName, TransferIo{});
}

TransferResult transfer(const char* inputName, const char* outputName, int reportFd) {
  TransferIo io;
  io.reportFd = reportFd;
  return transfer(inputName, outputName, io);
}

}  // namespace decbytes
