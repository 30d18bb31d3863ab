// The state of one conversion and the two ways of advancing it: the general
// path, which takes any bytes one line at a time, and the fast path, which
// takes runs of common lines (1 to 3 digits and a newline) in bulk. Both give
// exactly the same bytes, warnings and counts.
#pragma once

#include <cstdint>
#include <vector>

#include "decbytes.h"
#include "output_writer.h"
#include "report.h"

namespace decbytes {

// The line being read when a block ends in its middle.
struct LineState {
  char field[3] = {};        // its first bytes, at most three
  std::uint32_t length = 0;  // bytes seen before its newline, held at 4 once over 3
};

struct Conversion {
  OutputWriter& output;
  Report& report;
  std::uint64_t bytesWritten = 0;
  std::uint64_t illegalLines = 0;
  LineState line;
};

// Converts every complete line of [begin, end) and keeps the start of an
// unfinished last line in the conversion's line state. `begin` must come
// from an InputReader (the bytes just before it are readable). Stops early
// once the output has failed.
void ConvertBlock(Conversion& conversion, const char* begin, const char* end,
                  FastPathFunction fastPath);

// Judges an unfinished last line once the input has ended: a line without
// its newline is illegal.
void FinishInput(Conversion& conversion);

// General path: consumes bytes from `cursor` up to and including the next
// newline, judging that line; returns the position after the newline, or
// `end` when the line goes on past it (its start kept in the line state).
const char* ConvertLineSlowly(Conversion& conversion, const char* cursor, const char* end);

// Every fast path (a FastPathFunction, such as ConvertLinesFast) has this
// contract: `lineStart` begins a line (the line state empty), the four bytes
// before it are readable and the one just before it is a newline. It
// converts legal and empty lines and returns the start of the first line it
// leaves to the general path: an illegal line, or one too near `end`.

// The fast path in portable code, which ConvertLinesFast uses where no
// vector unit is available.
const char* ConvertLinesScalar(Conversion& conversion, const char* lineStart, const char* end);

struct FastPathVariant {
  const char* name;
  FastPathFunction function;
};

// Every fast path this processor can run, the portable one first and the
// fastest last; ConvertLinesFast runs the last.
std::vector<FastPathVariant> AvailableFastPaths();

// The name of the fast path that ConvertLinesFast runs.
const char* ChosenFastPathName();

}  // namespace decbytes
