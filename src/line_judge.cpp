#include "line_judge.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include <decbytes/decbytes.h>
#include "line_word.h"

namespace decbytes {

namespace {

constexpr std::uint32_t kFieldLength = 3;  // the most bytes a value has

// The value of a field as a byte of the output: CheckValue's verdict, but a
// value a byte cannot hold (MaxValue set above 256) is illegal all the same.
// Returns -1 for an illegal field.
int ByteValue(std::string_view field) {
  const int value = CheckValue(field);
  return value < kByteValues ? value : -1;
}

// Judges the line kept in the line state, ended by a newline or not, and
// empties the state. A line is legal when it ends with a newline and holds a
// value; an empty line counts for nothing.
void JudgeKeptLine(Conversion& c, bool endedByNewline) {
  LineState& line = c.line;
  const std::uint32_t length = line.length;
  line.length = 0;
  if (length == 0) return;
  const std::string_view field(line.field, std::min(length, kFieldLength));
  const int value = length <= kFieldLength ? ByteValue(field) : -1;
  if (endedByNewline && value >= 0) {
    c.EmitByte(static_cast<char>(value));
  } else {
    c.WarnLine(field);
  }
}

// Bytes that ConvertLineInPlace reads at once.
constexpr std::ptrdiff_t kWordBytes = 8;

// Converts the line that begins at `cursor` with nothing of it kept in the
// line state, when at least eight bytes remain: the common case of the
// general path, judged in place. Only a line of 1 to 3 digits can be legal,
// and ByteValue has the last word on those, whatever MaxValue holds; every
// other line with bytes is illegal, without a branch that depends on which
// kind of illegal it is. Returns the position after the line's newline, or
// `end` when the line goes on past it (its start kept in the line state).
[[gnu::always_inline]] inline const char* ConvertLineInPlace(Conversion& c, const char* cursor,
                                                             const char* end) {
  const LineWord word = ReadLineWord(cursor);
  if (word.newlineAt == 0) return cursor + 1;  // an empty line
  const char* next = cursor + word.newlineAt + 1;
  if (word.newlineAt == kWordBytes) {  // longer than a value; find its end
    const auto* newline = static_cast<const char*>(std::memchr(
        cursor + kWordBytes, '\n', static_cast<std::size_t>(end - cursor - kWordBytes)));
    if (newline == nullptr) {
      std::memcpy(c.line.field, cursor, kFieldLength);
      c.line.length = kFieldLength + 1;
      return end;
    }
    next = newline + 1;
  }
  const std::string_view field(cursor, std::min(word.newlineAt, kFieldLength));
  // Digits up to the newline, and at most three of them; one test, as the
  // digits never reach beyond the newline.
  if (((word.digits ^ word.newlineAt) | (word.digits >> 2)) == 0) {
    const int value = ByteValue(field);
    if (value >= 0) {
      c.EmitByte(static_cast<char>(value));
      return next;
    }
  }
  c.WarnLine(field);
  return next;
}

// Consumes bytes from `cursor` up to and including the next newline, adding
// them to the line state and judging the line at its newline; returns the
// position after the newline, or `end` when the line goes on past it.
const char* ConvertLineByBytes(Conversion& c, const char* cursor, const char* end) {
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
      JudgeKeptLine(c, true);
      return cursor;
    }
    if (line.length < kFieldLength) line.field[line.length] = byte;
    ++line.length;
  }
  return end;
}

}  // namespace

const char* ConvertLinesSlowly(Conversion& c, const char* cursor, const char* end,
                               FastPathGate& gate) {
  do {
    const std::uint64_t illegalBefore = c.illegalLines;
    cursor = c.line.length == 0 && end - cursor >= kWordBytes ? ConvertLineInPlace(c, cursor, end)
                                                              : ConvertLineByBytes(c, cursor, end);
    gate.AfterSlowLine(c.illegalLines != illegalBefore);
  } while (cursor < end && !gate.open() && !c.failed());
  return cursor;
}

void JudgeUnfinishedLine(Conversion& c) { JudgeKeptLine(c, false); }

}  // namespace decbytes
