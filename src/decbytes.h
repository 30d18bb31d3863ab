// The converter's public interface: the value check, its bound, and the
// transfer of one input file into one output file.
#pragma once

#include <cstdint>
#include <string_view>

namespace decbytes {

// The exclusive upper bound of a legal value. It holds 1 when the program is
// loaded; the command line raises it to 256 before any transfer. A caller
// that skips the command line sets it itself (SetByteBound).
extern int MaxValue;

// Raises MaxValue to the number of values a byte can hold (256).
void SetByteBound();

// Returns the value of `field` when it is all ASCII decimal digits (leading
// zeros allowed, empty counts as 0) and below MaxValue; returns -1 otherwise.
// Every byte that is not '0'..'9' is a non-digit, NUL included.
int CheckValue(std::string_view field);

enum class TransferStatus {
  Completed = 0,         // ran to the end of the input; summary printed
  InputOpenFailed = 1,   // the input could not be opened (or is a directory)
  OutputOpenFailed = 2,  // the output could not be created or truncated
  OutputIsInput,         // both names lead to the same regular file
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
// fails. (transfer.h has the form that tests and tools steer.)
TransferResult transfer(const char* inputName, const char* outputName);

}  // namespace decbytes
