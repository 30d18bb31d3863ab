#include "conversion.h"

#include <algorithm>

#include <decbytes/decbytes.h>
#include "line_judge.h"

namespace decbytes {

void ConvertBlock(Conversion& c, const char* begin, const char* end, FastPathFunction fastPath,
                  std::size_t readableBefore) {
  // The fast paths' tables hold the bound of a byte, which no output byte
  // passes whatever MaxValue holds; a lower bound is judged line by line.
  if (MaxValue < kByteValues) fastPath = nullptr;
  // Where a line start has the bytes before it that a fast path reads: the
  // line before it ended there, so the byte just before is a newline.
  const std::size_t fastFrom = kFastPathLookBehind - std::min(readableBefore, kFastPathLookBehind);
  const char* cursor = begin;
  FastPathGate gate;
  while (cursor < end && !c.failed()) {
    if (fastPath != nullptr && c.line.length == 0 && gate.open() &&
        static_cast<std::size_t>(cursor - begin) >= fastFrom) {
      const char* const stop = fastPath(c, cursor, end);
      gate.AfterFastRun(stop - cursor);
      cursor = stop;
      // A fast path also stops early when the output fails: judge no more.
      if (cursor == end || c.failed()) break;
    }
    cursor = ConvertLinesSlowly(c, cursor, end, gate);
  }
}

void FinishInput(Conversion& c) { JudgeUnfinishedLine(c); }

void FlushOutput(Conversion& c, TransferResult& result) {
  if (!c.output.Flush() && result.status == TransferStatus::Completed) {
    result.status = TransferStatus::WriteFailed;
    result.fileError = c.output.error();
  }
  result.bytesWritten = c.output.written();
  result.illegalLines = c.illegalLines;
}

void EndReport(Conversion& c, TransferResult& result) {
  if (result.status == TransferStatus::Completed) {
    c.report.Summarize(result.bytesWritten, result.illegalLines);
  }
  result.reportError = c.report.Flush();
}

}  // namespace decbytes
