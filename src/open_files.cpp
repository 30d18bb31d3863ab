#include "open_files.h"

#include <fcntl.h>

#include <cerrno>
#include <utility>

namespace decbytes {

namespace {

bool Refuse(TransferResult& result, TransferStatus status, int error) {
  result.status = status;
  result.fileError = error;
  return false;
}

// A name that reaches a stand-in (/dev/stdin, /dev/fd/N and the like, for a
// standard descriptor that was closed) fails as the open it replaces would
// have: with EBADF.
bool IsStandIn(const FilesToOpen& files, const FileId& file) {
  return files.standIn != nullptr && SameFile(file, *files.standIn);
}

bool IsReport(const FilesToOpen& files, const FileId& file) {
  return files.report != nullptr && OneDataFile(*files.report, file);
}

// The checks of the input, by name or by descriptor alike.
bool CheckInput(const FilesToOpen& files, const FileId& input, TransferResult& result) {
  if (IsStandIn(files, input)) return Refuse(result, TransferStatus::InputOpenFailed, EBADF);
  if (IsReport(files, input)) return Refuse(result, TransferStatus::ReportIsInput, 0);
  return true;
}

// The checks of the output against the input, the stand-ins and the
// report, by name or by descriptor alike.
bool CheckOutput(const FilesToOpen& files, const FileId& input, const FileId& output,
                 TransferResult& result) {
  if (OneDataFile(input, output)) return Refuse(result, TransferStatus::OutputIsInput, 0);
  if (IsStandIn(files, output)) return Refuse(result, TransferStatus::OutputOpenFailed, EBADF);
  if (IsReport(files, output)) return Refuse(result, TransferStatus::ReportIsOutput, 0);
  return true;
}

// True when the open descriptor `fd` may be used as `accessMode` asks
// (O_RDONLY for reading, O_WRONLY for writing).
bool OpenFor(int fd, int accessMode) {
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0) return false;
  const int mode = flags & O_ACCMODE;
  return mode == O_RDWR || mode == accessMode;
}

}  // namespace

bool CheckDescriptors(int inputFd, int outputFd, const FileId* report, TransferResult& result) {
  const FilesToOpen files{nullptr, nullptr, report, nullptr};
  FileId input;
  FileId output;
  if (!FileIdOfDescriptor(inputFd, input) || !OpenFor(inputFd, O_RDONLY)) {
    return Refuse(result, TransferStatus::InputOpenFailed, EBADF);
  }
  if (S_ISDIR(input.mode)) return Refuse(result, TransferStatus::InputOpenFailed, EISDIR);
  if (!CheckInput(files, input, result)) return false;
  if (!FileIdOfDescriptor(outputFd, output) || !OpenFor(outputFd, O_WRONLY)) {
    return Refuse(result, TransferStatus::OutputOpenFailed, EBADF);
  }
  return CheckOutput(files, input, output, result);
}

bool CheckNamesBeforeOpening(const FilesToOpen& files, TransferResult& result) {
  FileId input;
  // No file by that name: the open fails, and says why.
  if (!FileIdOfName(files.inputName, input)) return true;
  if (!CheckInput(files, input, result)) return false;
  // A regular file named twice is refused once the input is open, so that
  // an input that cannot be opened says so first; a pipe or FIFO could keep
  // that open waiting for a writer for ever, so it is refused here.
  FileId output;
  if (!S_ISREG(input.mode) && FileIdOfName(files.outputName, output) &&
      OneDataFile(input, output)) {
    return Refuse(result, TransferStatus::OutputIsInput, 0);
  }
  return true;
}

UniqueFd OpenInput(const FilesToOpen& files, FileId& input, TransferResult& result) {
  UniqueFd fd(::open(files.inputName, O_RDONLY | O_CLOEXEC));
  bool usable = fd.valid() && FileIdOfDescriptor(fd.get(), input);
  if (!usable) {
    Refuse(result, TransferStatus::InputOpenFailed, errno);
  } else if (S_ISDIR(input.mode)) {  // reading one would only fail later
    usable = Refuse(result, TransferStatus::InputOpenFailed, EISDIR);
  } else {
    usable = CheckInput(files, input, result);
  }
  return usable ? std::move(fd) : UniqueFd();
}

UniqueFd OpenOutput(const FilesToOpen& files, const FileId& input, TruncateFunction truncate,
                    TransferResult& result) {
  FileId output;
  if (FileIdOfName(files.outputName, output) && !CheckOutput(files, input, output, result)) {
    return UniqueFd();
  }
  UniqueFd fd(::open(files.outputName, O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
  if (!fd.valid() || !FileIdOfDescriptor(fd.get(), output)) {
    Refuse(result, TransferStatus::OutputOpenFailed, errno);
    return UniqueFd();
  }
  if (!CheckOutput(files, input, output, result)) return UniqueFd();
  if (S_ISREG(output.mode) && truncate(fd.get(), 0) != 0) {
    Refuse(result, TransferStatus::OutputOpenFailed, errno);
    return UniqueFd();
  }
  return fd;
}

}  // namespace decbytes
