// One conversion in progress: where its bytes and warnings go, its counts,
// and the line it is in the middle of; and the driver that takes it through
// a block of input, by the general path (line_judge.h) and the fast path
// (fast/fast_path.h) in turn. Both paths give exactly the same bytes,
// warnings and counts, and keep them through the bookkeeping below alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include <decbytes/decbytes.h>
#include "fast/fast_path.h"
#include "io/output_writer.h"
#include "report.h"

namespace decbytes {

// The line being read when a block ends in its middle.
struct LineState {
  char field[3] = {};        // its first bytes, at most three
  std::uint32_t length = 0;  // bytes seen before its newline, held at 4 once over 3
};

struct Conversion {
  // Both counts start at `startCount`: 0 for a run of the program.
  Conversion(OutputWriter& out, Report& warnings, std::uint64_t startCount = 0)
      : output(out), report(warnings), bytesWritten(startCount), illegalLines(startCount) {}

  OutputWriter& output;
  Report& report;
  std::uint64_t bytesWritten;
  std::uint64_t illegalLines;
  LineState line;

  // A legal line: its byte goes to the output.
  void EmitByte(char value) {
    output.Put(value);
    ++bytesWritten;
  }

  // An illegal line whose first bytes (at most three) are `field`: one
  // warning. A warning's line number is one more than the bytes written so
  // far, not the line's place in the file.
  void WarnLine(std::string_view field) {
    report.Warn(bytesWritten + 1, field);
    ++illegalLines;
  }

  // A run of legal lines written in bulk: Reserve room for up to `count`
  // bytes (nullptr once the output has failed), write the bytes from the
  // cursor it gives, and hand the cursor after them to CommitRun.
  char* ReserveRun(std::size_t count) { return output.Reserve(count); }
  void CommitRun(const char* first, char* end) {
    bytesWritten += static_cast<std::uint64_t>(end - first);
    output.Commit(end);
  }

  bool failed() const { return output.failed(); }
};

// Converts every complete line of [begin, end) and keeps the start of an
// unfinished last line in the line state. `readableBefore` bytes just
// before `begin` may be read (an InputReader's block has its look-behind;
// a caller's piece of memory has none). Takes the fast path `fastPath`
// (nullptr: none) where it pays, MaxValue allows it and it has the bytes
// before a line that it reads, the general path everywhere else. Stops
// early once the output has failed.
void ConvertBlock(Conversion& conversion, const char* begin, const char* end,
                  FastPathFunction fastPath, std::size_t readableBefore = kFastPathLookBehind);

// Judges an unfinished last line once the input has ended: a line without
// its newline is illegal.
void FinishInput(Conversion& conversion);

// Writes out what the output holds and puts the counts in `result`, the
// output's bytes being those it received; a failure to write makes the
// status WriteFailed, unless an earlier failure set it.
void FlushOutput(Conversion& conversion, TransferResult& result);

// Adds the summary after a completed conversion and writes out the report,
// putting the errno of its first failed write in `result`.
void EndReport(Conversion& conversion, TransferResult& result);

}  // namespace decbytes
