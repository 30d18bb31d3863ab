// The transfer of one input file into one output file.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "conversion.h"
#include "io/sigpipe_guard.h"
#include "open_files.h"
#include "transfer.h"

namespace decbytes {

namespace {

// Inputs and outputs past 2 GiB need 64-bit file offsets, which 32-bit
// builds get from _FILE_OFFSET_BITS=64 (set for every target in CMake).
static_assert(sizeof(off_t) >= 8, "64-bit file offsets are needed for files past 2 GiB");

// Gives the caller back its errno when the transfer returns.
class ErrnoKeeper {
 public:
  ErrnoKeeper() : saved_(errno) {}
  ~ErrnoKeeper() { errno = saved_; }
  ErrnoKeeper(const ErrnoKeeper&) = delete;
  ErrnoKeeper& operator=(const ErrnoKeeper&) = delete;

 private:
  int saved_;
};

// The output's buffer: the size asked for, but at least a byte, and with a
// fast path at least its largest reservation.
std::size_t OutputBufferSize(const TransferIo& io) {
  return std::max(io.outputBufferSize, io.fastPath != nullptr ? kLeastOutputBufferSize : 1);
}

// On a terminal each warning shows as it is made; elsewhere the report
// goes out in large blocks.
ReportBuffering BufferingFor(int reportFd) {
  return ::isatty(reportFd) == 1 ? ReportBuffering::Lines : ReportBuffering::Blocks;
}

// The report's write when its descriptor was not open as the transfer
// began: it fails, so that nothing reaches a file that took the number.
ssize_t WriteToClosed(int /*fd*/, const void* /*bytes*/, std::size_t /*size*/) {
  errno = EBADF;
  return -1;
}

// Everything a transfer allocates, and the conversion over it, made before
// either file is opened, so that a failure to allocate (std::bad_alloc)
// leaves no descriptor open and no file changed. The files are attached
// once open.
struct Buffers {
  // `reportOpen`: whether io.reportFd was open as the transfer began.
  Buffers(const char* inputName, bool reportOpen, const TransferIo& io)
      : input(-1, io.blockSize, io.read),
        output(-1, OutputBufferSize(io), io.write),
        report(io.reportFd, inputName, reportOpen ? io.write : WriteToClosed, io.reportBufferSize,
               reportOpen ? BufferingFor(io.reportFd) : ReportBuffering::Blocks),
        conversion(output, report) {}

  InputReader input;
  OutputWriter output;
  Report report;
  Conversion conversion;
};

// Converts everything the input holds: reads a block, converts it, and
// writes what it made, until the end of the input or the first failure.
// Leaves in `result` the status (Completed, ReadFailed or WriteFailed), the
// errno of a failure and the counts.
void ConvertAll(Buffers& buffers, FastPathFunction fastPath, TransferResult& result) {
  InputReader& input = buffers.input;
  Conversion& conversion = buffers.conversion;
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
    ConvertBlock(conversion, input.begin(), input.end(), fastPath);
    if (conversion.failed()) break;
  }
  FlushOutput(conversion, result);
}

// Closes both files, the output's close checked first: a failed close of
// the output can lose data that a write seemed to deliver.
void CloseFiles(int inputFd, int outputFd, TransferResult& result) {
  const int inputCloseError = CloseChecked(inputFd);
  const int outputCloseError = CloseChecked(outputFd);
  if (result.status != TransferStatus::Completed) return;
  if (outputCloseError != 0) {
    result.status = TransferStatus::WriteFailed;
    result.fileError = outputCloseError;
  } else if (inputCloseError != 0) {
    result.status = TransferStatus::ReadFailed;
    result.fileError = inputCloseError;
  }
}

// The report's descriptor as a transfer begins: one that is not open now is
// never written, whatever number a file then opens on.
struct ReportTarget {
  explicit ReportTarget(int fd) : open(FileIdOfDescriptor(fd, file)) {}
  const FileId* fileIfOpen() const { return open ? &file : nullptr; }

  FileId file;
  bool open;
};

// The conversion between two open descriptors, whoever opened them.
void ConvertBetween(Buffers& buffers, int inputFd, int outputFd, FastPathFunction fastPath,
                    TransferResult& result) {
  buffers.input.Attach(inputFd);
  buffers.output.Attach(outputFd);
  ConvertAll(buffers, fastPath, result);
}

}  // namespace

TransferResult transfer(const char* inputName, const char* outputName, const TransferIo& io) {
  const ErrnoKeeper errnoKeeper;
  const SigpipeGuard sigpipeGuard;  // a reader that has gone fails a write, ends nothing
  TransferResult result;
  const ReportTarget report(io.reportFd);
  const FilesToOpen files{inputName, outputName, report.fileIfOpen(), io.standIn};
  if (!CheckNamesBeforeOpening(files, result)) return result;

  Buffers buffers(inputName, report.open, io);
  FileId inputFile;
  UniqueFd input = OpenInput(files, inputFile, result);
  if (!input.valid()) return result;
  UniqueFd output = OpenOutput(files, inputFile, io.truncate, result);
  if (!output.valid()) return result;

  ConvertBetween(buffers, input.get(), output.get(), io.fastPath, result);
  CloseFiles(input.Release(), output.Release(), result);
  EndReport(buffers.conversion, result);
  return result;
}

TransferResult TransferDescriptors(int inputFd, int outputFd, const char* inputName,
                                   const TransferIo& io) {
  const ErrnoKeeper errnoKeeper;
  const SigpipeGuard sigpipeGuard;
  TransferResult result;
  const ReportTarget report(io.reportFd);
  if (!CheckDescriptors(inputFd, outputFd, report.fileIfOpen(), result)) return result;
  Buffers buffers(inputName != nullptr ? inputName : "", report.open, io);
  ConvertBetween(buffers, inputFd, outputFd, io.fastPath, result);
  EndReport(buffers.conversion, result);
  return result;
}

TransferResult TransferDescriptors(int inputFd, int outputFd, int reportFd, const char* inputName) {
  TransferIo io;
  io.reportFd = reportFd;
  return TransferDescriptors(inputFd, outputFd, inputName, io);
}

TransferResult transfer(const char* inputName, const char* outputName) {
  const ErrnoKeeper errnoKeeper;
  // What the caller printed through stdio comes before the report. Flushed
  // before any file is opened: were descriptor 1 closed, the output could
  // take its number.
  static_cast<void>(std::fflush(stdout));
  return transfer(inputName, outputName, TransferIo{});
}

TransferResult transfer(const char* inputName, const char* outputName, int reportFd) {
  TransferIo io;
  io.reportFd = reportFd;
  return transfer(inputName, outputName, io);
}

}  // namespace decbytes
