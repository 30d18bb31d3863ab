// decbytes: converts a text file of decimal byte values, one per line, into
// a file holding those bytes. This is the library's whole public interface:
// the value check, its bound, and one conversion engine with three faces:
// files by name (transfer), a caller's open descriptors
// (TransferDescriptors), and memory fed in pieces (Converter). Link the
// shared library libdecbytes.so.1 or the static libdecbytes.a (CMake:
// decbytes::decbytes; pkg-config: decbytes). C++17 or later.
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

#if !defined(__cplusplus) || __cplusplus < 201703L
#error "decbytes.h needs C++17 or later"
#endif

#include <cstddef>
#include <cstdint>
#include <string_view>

// Marks what the shared library exports; everything else in it is hidden.
#ifndef DECBYTES_API
#define DECBYTES_API __attribute__((visibility("default")))
#endif

// The version of this header; CMake reads the project's version from these
// three lines. DECBYTES_VERSION compares: major * 10000 + minor * 100 + patch.
#define DECBYTES_VERSION_MAJOR 1
#define DECBYTES_VERSION_MINOR 3
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

// Converts what the open descriptor `inputFd` holds into the open
// descriptor `outputFd`, with the warnings and the summary on `reportFd`,
// the warnings naming the input `inputName`. The descriptors may be of any
// kind (a regular file, a pipe, a socket, a terminal); the caller keeps
// them: they stay open, and a regular output is written from its offset,
// not truncated. The rules of the file names hold, checked before anything
// is read or written: a descriptor not open for its use gives
// InputOpenFailed or OutputOpenFailed with EBADF (EISDIR for a directory as
// input); both one regular file, pipe or FIFO gives OutputIsInput; a report
// descriptor that is one of them gives ReportIsInput or ReportIsOutput, and
// one that is not open is never written. Reads and writes are retried
// after EINTR and short writes completed; SIGPIPE as for transfer().
DECBYTES_API TransferResult TransferDescriptors(int inputFd, int outputFd, int reportFd,
                                                const char* inputName);

// Receives what a Converter makes: `bytes`, valid during the call only, and
// the `context` the Converter was given. Returns true to go on, false to
// refuse them, which stops that stream as a failed write would.
using Sink = bool (*)(void* context, std::string_view bytes);

// The converter fed in memory: takes the input in pieces of any size (a byte
// at a time or gigabytes at once) and hands on the bytes and the report as
// they are made, exactly those a transfer of the whole input writes, line
// numbers, fields, counts and summary included. A line split across pieces
// is one line; a line of any length takes constant memory. The output
// comes in runs of up to 256 KiB, the report in whole warnings; each is
// handed out of the converter's own buffer, so no byte is copied more than
// a transfer copies it. One converter serves one input, on one thread at a
// time; different converters may run on different threads.
class DECBYTES_API Converter {
 public:
  // `inputName` is the name the warnings show. `output` receives the bytes
  // and `report` the warnings and the summary, each with `context`; a
  // nullptr drops that stream. Allocates its buffers (a few hundred KiB),
  // throwing std::bad_alloc when it cannot.
  Converter(const char* inputName, Sink output, Sink report, void* context);
  ~Converter();
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts every line that `piece` completes and keeps the start of an
  // unfinished last one. Returns false once the output sink has refused
  // bytes (nothing more is converted then) or after Finish.
  bool Feed(std::string_view piece);
  bool Feed(const char* bytes, std::size_t size) { return Feed(std::string_view(bytes, size)); }

  // Ends the input: a last line without its newline is illegal, as at a
  // file's end. Hands on what is left, then the summary unless the output
  // sink refused bytes, and returns the result as a transfer gives it:
  // Completed, or WriteFailed with fileError ECANCELED when the output sink
  // refused; reportError ECANCELED when the report sink did; the counts.
  // Later calls return the same result.
  TransferResult Finish();

 private:
  struct State;
  State* state_;
};

}  // namespace decbytes
