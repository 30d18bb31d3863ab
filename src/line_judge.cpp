// The general path: any input, one line at a time, carried across blocks.
#include <algorithm>
#include <cstring>
#include <string_view>

#include "conversion.h"
#include "decbytes.h"

namespace decbytes {

namespace {

constexpr std::uint32_t kFieldLength = 3;  // the most bytes a value has

// Writes the byte of a legal line, or warns about an illegal one, then
// empties the line state. An empty line counts for nothing.
void JudgeLine(Conversion& c, bool endedByNewline) {
  LineState& line = c.line;
  if (line.length > 0) {
    const std::string_view field(line.field, std::min(line.length, kFieldLength));
    const int value = line.length <= kFieldLength ? CheckValue(field) : -1;
    if (endedByNewline && value >= 0) {
      c.output.Put(static_cast<char>(value));
      ++c.bytesWritten;
    } else {
      c.report.Warn(c.bytesWritten + 1, field);
      ++c.illegalLines;
    }
  }
  line.length = 0;
}

}  // namespace

const char* ConvertLineSlowly(Conversion& c, const char* cursor, const char* end) {
  LineState& line = c.line;
  while (cursor < end) {
    if (line.length > kFieldLength) {
      // Already illegal: skip the rest of the line however long it is.
      const auto* newline = static_cast<const char*>(
          std::memchr(cursor, '\n', static_cast<std::size_t>(end - cursor)));
      if (newline == nullptr) return end;
      cursor = newline;
    }
    const char byte = *cursor++;
    if (byte == '\n') {
      JudgeLine(c, true);
      return cursor;
    }
    if (line.length < kFieldLength) line.field[line.length] = byte;
    ++line.length;
  }
  return end;
}

void FinishInput(Conversion& c) { JudgeLine(c, false); }

void ConvertBlock(Conversion& c, const char* begin, const char* end, FastPathFunction fastPath) {
  const char* cursor = begin;
  while (cursor < end && !c.output.failed()) {
    if (fastPath != nullptr && c.line.length == 0) {
      cursor = fastPath(c, cursor, end);
      // A fast path also stops early when the output fails: judge no more.
      if (cursor == end || c.output.failed()) break;
    }
    cursor = ConvertLineSlowly(c, cursor, end);
  }
}

}  // namespace decbytes
