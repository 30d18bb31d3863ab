// The transfer of one input file into one output file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <system_error>

#include "conversion.h"
#include "io/sigpipe_guard.h"
#include "io/write_queue.h"
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

bool SameRegularFile(const struct stat& a, const struct stat& b) {
  return S_ISREG(a.st_mode) && S_ISREG(b.st_mode) && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Opens the output for writing, creating it with mode 0666 less the umask.
// Truncates a regular file, through `truncate`, only after making sure it is
// not the input, so that naming the input twice never empties it: here, or,
// when `truncateLater` is given, by setting it for the writing thread to do
// first. Returns the descriptor, or -1 with `status` set to why not.
int OpenOutput(const char* name, const struct stat& input, TruncateFunction truncate,
               bool* truncateLater, TransferStatus& status) {
  const int fd = ::open(name, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    status = TransferStatus::OutputOpenFailed;
    return -1;
  }
  struct stat output;
  if (::fstat(fd, &output) != 0) {
    status = TransferStatus::OutputOpenFailed;
  } else if (SameRegularFile(input, output)) {
    status = TransferStatus::OutputIsInput;
  } else if (S_ISREG(output.st_mode) && truncateLater != nullptr) {
    *truncateLater = true;
    return fd;
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

// Blocks of input read ahead, and buffers of the output and of the report,
// when the threads run: enough to keep each thread busy while the others
// work, few enough to keep the memory small.
constexpr std::size_t kInputBlocksAhead = 3;
constexpr std::size_t kWriteBuffers = 3;

// Converts everything the input holds, reading ahead and handing the writes
// that are worth it (see WriteBehind) to `queue` when it is given, its first
// job the output's truncation when `truncate` says so. Leaves in `result` the
// status (Completed, ReadFailed, WriteFailed, or OutputOpenFailed when that
// truncation failed), the errno of a failure and the counts.
void ConvertAll(int inputFd, int outputFd, Report& report, const TransferIo& io, WriteQueue* queue,
                bool truncate, TransferResult& result) {
  InputReader input(inputFd, io.blockSize, io.read);
  OutputWriter output(outputFd, OutputBufferSize(io), io.write);
  if (queue != nullptr) {
    if (WriteBehind(outputFd)) output.UseQueue(*queue, kWriteBuffers);
    if (output.queued() && report.writer().queued()) output.CutsWith(report.writer());
    // Only regular files are truncated, and they are written behind.
    if (truncate) output.TruncateFirst(io.truncate);
    static_cast<void>(input.ReadAhead(kInputBlocksAhead));
  }
  Conversion conversion{output, report};
  for (;;) {
    const ssize_t got = input.Fill();
    if (got < 0) {
      const int readError = errno;
      // On one thread the writes handed over before this read would have
      // been made, and met first: a failure among them is the run's.
      if (!output.AwaitHandedOver()) break;
      result.status = TransferStatus::ReadFailed;
      result.fileError = readError;
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
  if (output.truncateFailed()) {  // came before anything else went wrong
    result.status = TransferStatus::OutputOpenFailed;
    result.fileError = 0;
  }
  result.bytesWritten = conversion.bytesWritten;
  result.illegalLines = conversion.illegalLines;
}

// Starts the writing thread; leaves `queue` empty, for a transfer on the
// calling thread alone, when no thread can be started.
void StartWriting(std::optional<WriteQueue>& queue) {
  try {
    queue.emplace();
  } catch (const std::system_error&) {
  }
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
  // With the threads, the output's old content is freed on the writing
  // thread while the first blocks are read and converted.
  std::optional<WriteQueue> queue;  // outlives the writers that use it
  if (UseThreads(io.threads, inputStatus)) StartWriting(queue);
  bool truncateLater = false;
  const int outputFd = OpenOutput(outputName, inputStatus, io.truncate,
                                  queue ? &truncateLater : nullptr, result.status);
  if (outputFd < 0) {
    CloseUnused(inputFd);
    return result;
  }

  Report report(io.reportFd, inputName, io.write, io.reportBufferSize);
  if (queue && WriteBehind(io.reportFd)) report.writer().UseQueue(*queue, kWriteBuffers);
  ConvertAll(inputFd, outputFd, report, io, queue ? &*queue : nullptr, truncateLater, result);

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
