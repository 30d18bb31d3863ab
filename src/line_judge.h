// The general path: any bytes, one line at a time, a line carried across
// blocks in the conversion's line state. The reference that every fast path
// is held to.
#pragma once

#include "conversion.h"
#include "fast_path_gate.h"

namespace decbytes {

// Takes lines through the general path, at least one, until `gate` lets the
// fast path in again, the block [cursor, end) ends or the output fails;
// returns where it stopped: after a newline, or `end` with the start of an
// unfinished line kept in the line state.
const char* ConvertLinesSlowly(Conversion& conversion, const char* cursor, const char* end,
                               FastPathGate& gate);

// Judges the line kept in the line state as the last of the input, ended
// without a newline (so illegal, unless it is empty), and empties the state.
void JudgeUnfinishedLine(Conversion& conversion);

}  // namespace decbytes
