// decbytes: converts a text file of decimal byte values, one per line, into
// a file holding those bytes. This is the library's whole public interface:
// the value check, its bound, and the transfer of one input file into one
// output file. Link the shared library libdecbytes.so.1 or the static
// libdecbytes.a (CMake: decbytes::decbytes; pkg-config: decbytes). C++17 or
// later.
//
// Conduct inside the calling process:
// - Streams: a transfer writes only to the two files it is given and to the
//   report's descriptor (the standard output for transfer(input, output),
//   reportFd for the three-argument form); it writes nothing else to the
//   standard output or the standard error, and reads no environment
//   variable.
// - Signals: no signal's disposition is changed. For the length of a
//   transfer SIGPIPE is blocked on the calling thread, so that a report or
//   output whose reader has gone fails with EPIPE instead of ending the
//   process; the SIGPIPE that such a write raises is taken back before the
//   thread's signal mask is restored, unless one was already pending.
// - Threads: transfers of different files may run at the same time on
//   different threads. Call SetByteBound (or set MaxValue) before starting
//   them, and not while any transfer or CheckValue runs: MaxValue is one
//   variable shared by the whole process. Two transfers that write the same
//   output file, or one that writes another's input, give undefined content.
// - Failures: every failure to open, read, write or close is returned in the
//   TransferResult. Only a failure to allocate the transfer's buffers (a
//   few MiB at most) throws, as std::bad_alloc.
#pragma once

#if !defined(__cplusplus) || __cplusplus < 201703L
#error "decbytes.h needs C++17 or later"
#endif

#include <cstdint>
#include <string_view>

// Marks what the shared library exports; everything else in it is hidden.
#ifndef DECBYTES_API
#define DECBYTES_API __attribute__((visibility("default")))
#endif

// The version of this header; CMake reads the project's version from these
// three lines. DECBYTES_VERSION compares: major * 10000 + minor * 100 + patch.
#define DECBYTES_VERSION_MAJOR 1
#define DECBYTES_VERSION_MINOR 2
#define DECBYTES_VERSION_PATCH 0
#define DECBYTES_VERSION \
  (DECBYTES_VERSION_MAJOR * 10000 + DECBYTES_VERSION_MINOR * 100 + DECBYTES_VERSION_PATCH)

namespace decbytes {
// The version of the library loaded, "MAJOR.MINOR.PATCH", which may be newer
// than the header a program was compiled with.
DECBYTES_API const char* Version();
}  // namespace decbytes

namespace decbytes {

// The exclusive upper bound of a legal value. It holds 1 when the library is
// loaded; the command line raises it to 256 before any transfer. A caller
// that skips the command line sets it itself (SetByteBound).
extern DECBYTES_API int MaxValue;

// Raises MaxValue to the number of values a byte can hold (256).
DECBYTES_API void SetByteBound();

// Returns the value of `field` when it is all ASCII decimal digits (leading
// zeros allowed, empty counts as 0) and below MaxValue; returns -1 otherwise.
// Every byte that is not '0'..'9' is a non-digit, NUL included.
DECBYTES_API int CheckValue(std::string_view field);

enum class TransferStatus {
  Completed = 0,         // ran to the end of the input; summary printed
  InputOpenFailed = 1,   // the input could not be opened (or is a directory)
  OutputOpenFailed = 2,  // the output could not be created or truncated
  OutputIsInput,         // both name one regular file, pipe, FIFO or socket
  ReadFailed,            // reading the input failed before its end
  WriteFailed,           // writing, flushing or closing the output failed
};

struct TransferResult {
  TransferStatus status = TransferStatus::Completed;
  int fileError = 0;    // errno behind ReadFailed or WriteFailed
  int reportError = 0;  // errno of the first failed write of the report, or 0
  std::uint64_t bytesWritten = 0;
  std::uint64_t illegalLines = 0;
};

// Converts the file `inputName` into the file `outputName`: one byte per
// legal line, a warning on the standard output for each illegal line, then
// the summary. Writes nothing to the standard output unless the status is
// Completed, apart from the warnings already made when a read or write
// fails. On a terminal each warning is written as it is made; elsewhere the
// report goes out in large blocks.
DECBYTES_API TransferResult transfer(const char* inputName, const char* outputName);

// As transfer(inputName, outputName), with the warnings and the summary
// written to the descriptor `reportFd` instead of the standard output. The
// descriptor stays open. When it cannot be written (a full disk, a pipe
// whose reader has gone) the report stops there, the output file is still
// completed and closed, and reportError holds the errno (EPIPE for the
// pipe).
DECBYTES_API TransferResult transfer(const char* inputName, const char* outputName, int reportFd);

}  // namespace decbytes
