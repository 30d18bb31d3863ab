// decbytes: converts a text file of decimal byte values, one per line, into
// a file holding those bytes. This is the library's whole public interface:
// the value check, its bound, and the transfer of one input file into one
// output file. Link the shared library libdecbytes.so.1 or the static
// libdecbytes.a (CMake: decbytes::decbytes; pkg-config: decbytes). C++17 or
// later.
//
// Conduct inside the calling process:
// - Streams: a transfer writes only to the output file and to the report's
//   descriptor (the standard output for transfer(input, output), reportFd
//   for the three-argument form); it writes nothing else to the standard
//   output or the standard error, and reads no environment variable. The
//   two-argument form flushes the C library's stdout before anything else,
//   so that what the caller printed comes first. The report never lands in
//   the data: a report descriptor that was not open when the call started
//   is never written (whatever number a file then opens on), and one that
//   is the input or the output file is refused before the output is opened.
// - Signals: no signal's disposition is changed. For the length of a
//   transfer SIGPIPE is blocked on the calling thread, so that a report or
//   output whose reader has gone fails with EPIPE instead of ending the
//   process; the SIGPIPE that such a write raises is taken back before the
//   thread's signal mask is restored, unless one was already pending.
// - errno: a transfer leaves it as the caller had it; its failures are in
//   the TransferResult.
// - Threads: transfers of different files may run at the same time on
//   different threads. Call SetByteBound (or set MaxValue) before starting
//   them, and not while any transfer or CheckValue runs: MaxValue is one
//   variable shared by the whole process. Two transfers that write the same
//   output file, or one that writes another's input, give undefined content.
//   Two reports on one descriptor interleave whole lines: every write of a
//   report ends at the end of a warning or of the summary.
// - Failures: every failure to open, read, write or close is returned in the
//   TransferResult. Only a failure to allocate the transfer's buffers (a
//   few MiB at most) throws, as std::bad_alloc, and it is met before either
//   file is opened: no descriptor is left open and the output is as it was.
#pragma once

#include <cstdint>
#include <string_view>

// Marks what the shared library exports; everything else in it is hidden.
#define DECBYTES_API __attribute__((visibility("default")))

namespace decbytes {

// The exclusive upper bound of a legal value. It holds 1 when the library is
// loaded; the command line raises it to 256 before any transfer. A caller
// that skips the command line sets it itself (SetByteBound). A transfer
// writes bytes only: a value of 256 or more is an illegal line whatever
// MaxValue holds.
extern DECBYTES_API int MaxValue;

// Sets MaxValue to the number of values a byte can hold (256).
DECBYTES_API void SetByteBound();

// Returns the value of `field` when it is all ASCII decimal digits (leading
// zeros allowed, empty counts as 0) and below MaxValue; returns -1 otherwise.
// Every byte that is not '0'..'9' is a non-digit, NUL included.
DECBYTES_API int CheckValue(std::string_view field);

// What a transfer came to, with the errno that fileError holds for it.
enum class TransferStatus {
  Completed = 0,         // ran to the end of the input; the summary was made
                         // (it reached the report unless reportError is set)
  InputOpenFailed = 1,   // the input could not be opened (the errno of open or
                         // stat; EISDIR for a directory)
  OutputOpenFailed = 2,  // the output could not be created or truncated (the
                         // errno of open, fstat or ftruncate)
  OutputIsInput,         // both name one regular file, pipe or FIFO (0)
  ReadFailed,            // reading the input failed before its end (its errno)
  WriteFailed,           // writing or closing the output failed (its errno)
  ReportIsInput,         // the report's descriptor is the input file (0)
  ReportIsOutput,        // the report's descriptor is the output file (0)
};

struct TransferResult {
  TransferStatus status = TransferStatus::Completed;
  int fileError = 0;               // the errno behind a failure (see TransferStatus), or 0
  int reportError = 0;             // errno of the first failed write of the report, or 0;
                                   // EBADF once a descriptor that was not open had
                                   // something to write
  std::uint64_t bytesWritten = 0;  // the bytes the output file received
  std::uint64_t illegalLines = 0;
};

// Converts the file `inputName` into the file `outputName`: one byte per
// legal line, a warning on the standard output for each illegal line, then
// the summary. The names are checked before either file is opened: the
// input named again as the output (a regular file, pipe or FIFO; a FIFO is
// never opened then, so no open waits on it) gives OutputIsInput and leaves
// the file as it was; a standard output that is the input or the output
// file (a regular file, pipe or FIFO; a terminal or other device is not
// refused) gives ReportIsInput or ReportIsOutput, and nothing is written.
// Writes nothing to the standard output unless the status is Completed,
// apart from the warnings already made when a read or write fails. On a
// terminal each warning is written as it is made; elsewhere the report
// goes out in large blocks, each ending at the end of a line.
DECBYTES_API TransferResult transfer(const char* inputName, const char* outputName);

// As transfer(inputName, outputName), with the warnings and the summary
// written to the descriptor `reportFd` instead of the standard output, and
// the same checks made of it. The descriptor stays open. When it cannot be
// written (a full disk, a pipe whose reader has gone, a descriptor not
// open) the report stops there, the output file is still completed and
// closed, and reportError holds the errno (EPIPE for the pipe).
DECBYTES_API TransferResult transfer(const char* inputName, const char* outputName, int reportFd);

}  // namespace decbytes
