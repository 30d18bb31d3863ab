#include "command_line.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

#include <decbytes/decbytes.h>
#include "io/output_writer.h"
#include "transfer.h"

namespace decbytes {

namespace {

constexpr int NumParam = 3;  // the program name and two operands
constexpr const char* kDefaultProgramName = "decbytes";

enum ExitStatus { kSuccess = 0, kFailure = 1, kUsage = 2 };

bool IsHelpOption(std::string_view word) { return word == "-h" || word == "-H" || word == "-help"; }

std::string Quoted(const char* name) { return std::string("'") + name + "'"; }

// Where the report went: the standard output, or the standard error when the
// standard output is the output file.
struct ReportStream {
  int fd;
  const char* name;
};
constexpr ReportStream kStandardOutput{STDOUT_FILENO, "standard output"};
constexpr ReportStream kStandardError{STDERR_FILENO, "standard error"};

void ReportFailure(const TransferResult& result, const char* inputName, const char* outputName,
                   const ReportStream& report) {
  switch (result.status) {
    case TransferStatus::Completed:
      break;
    case TransferStatus::InputOpenFailed:
      WriteError("Can't find the input file " + Quoted(inputName) + "\n");
      break;
    case TransferStatus::OutputOpenFailed:
      WriteError("Can't create the output file " + Quoted(outputName) + "\n");
      break;
    case TransferStatus::OutputIsInput:
      WriteError("Can't create the output file " + Quoted(outputName) + ": it is the input file\n");
      break;
    case TransferStatus::ReadFailed:
      WriteError("Can't read the input file " + Quoted(inputName) + ": " +
                 std::strerror(result.fileError) + "\n");
      break;
    case TransferStatus::WriteFailed:
      WriteError("Can't write the output file " + Quoted(outputName) + ": " +
                 std::strerror(result.fileError) + "\n");
      break;
    case TransferStatus::ReportIsInput:
      // The standard error as the input takes no message either: nothing
      // may feed the input.
      if (report.fd == STDOUT_FILENO) {
        WriteError("Can't write the standard output: it is the input file\n");
      }
      break;
    case TransferStatus::ReportIsOutput:
      WriteError("Can't create the output file " + Quoted(outputName) +
                 ": it is the standard output and the standard error\n");
      break;
  }
  if (result.reportError != 0) {
    WriteError(std::string("Can't write the ") + report.name + ": " +
               std::strerror(result.reportError) + "\n");
  }
}

bool AnyHelpOption(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (IsHelpOption(argv[i])) return true;
  }
  return false;
}

// Writes the usage line for `programName` to stderr.
void PrintHelp(const char* programName) {
  WriteError(std::string("Usage : ") + programName +
             " <input file> <output file> | [-h | -H | -help]\n");
}

}  // namespace

void WriteError(const std::string& message) {
  static_cast<void>(WriteFully(DefaultWrite, STDERR_FILENO, message.data(), message.size()));
}

int RunCommandLine(int argc, char** argv, const FileId* standIn) {
  const char* programName = argc > 0 && argv[0] != nullptr ? argv[0] : kDefaultProgramName;
  const bool helpRequested = AnyHelpOption(argc, argv);
  if (argc != NumParam || helpRequested) {
    PrintHelp(programName);
    return helpRequested ? kSuccess : kUsage;
  }
  SetByteBound();
  TransferIo io;
  io.standIn = standIn;
  ReportStream report = kStandardOutput;
  io.reportFd = report.fd;
  TransferResult result = transfer(argv[1], argv[2], io);
  if (result.status == TransferStatus::ReportIsOutput) {
    // The data goes where the report would (decbytes IN /dev/stdout | xxd):
    // the report takes the standard error, as programs whose data is their
    // standard output do. Nothing was opened for writing yet.
    report = kStandardError;
    io.reportFd = report.fd;
    result = transfer(argv[1], argv[2], io);
  }
  ReportFailure(result, argv[1], argv[2], report);
  const bool failed = result.status != TransferStatus::Completed || result.reportError != 0;
  return failed ? kFailure : kSuccess;
}

}  // namespace decbytes
