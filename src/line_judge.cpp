// The general path: any input, one line at a time, carried across blocks.
#include <algorithm>
#include <cstring>
#include <string_view>

#include "conversion.h"
#include "decbytes.h"
#include "line_word.h"

namespace decbytes {

namespace {

constexpr std::uint32_t kFieldLength = 3;  // the most bytes a value has

// Writes the byte of a line of `length` bytes that begins with `field` (its
// first bytes, at most three) when the line is legal, or warns about it. A
// line is legal when it ends with a newline (`endedByNewline`) and holds a
// value. An empty line counts for nothing.
void JudgeLine(Conversion& c, std::string_view field, std::uint32_t length, bool endedByNewline) {
  if (length == 0) return;
  const int value = length <= kFieldLength ? CheckValue(field) : -1;
  if (endedByNewline && value >= 0) {
    c.output.Put(static_cast<char>(value));
    ++c.bytesWritten;
  } else {
    c.report.Warn(c.bytesWritten + 1, field);
    ++c.illegalLines;
  }
}

// Judges the line kept in the line state and empties the state.
void JudgeKeptLine(Conversion& c, bool endedByNewline) {
  LineState& line = c.line;
  JudgeLine(c, std::string_view(line.field, std::min(line.length, kFieldLength)), line.length,
            endedByNewline);
  line.length = 0;
}

// Bytes that ConvertLineInPlace reads at once.
constexpr std::ptrdiff_t kWordBytes = 8;

// Converts the line that begins at `cursor` with nothing of it kept in the
// line state, when at least eight bytes remain: the common case of the
// general path, judged in place. Only a line of 1 to 3 digits can be legal,
// and CheckValue has the last word on those; every other line with bytes is
// illegal, without a branch that depends on which kind of illegal it is.
// Returns the position after the line's newline, or `end` when the line goes
// on past it (its start kept in the line state).
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
    const int value = CheckValue(field);
    if (value >= 0) {
      c.output.Put(static_cast<char>(value));
      ++c.bytesWritten;
      return next;
    }
  }
  c.report.Warn(c.bytesWritten + 1, field);
  ++c.illegalLines;
  return next;
}

}  // namespace

const char* ConvertLineSlowly(Conversion& c, const char* cursor, const char* end) {
  LineState& line = c.line;
  if (line.length == 0 && end - cursor >= kWordBytes) {
    return ConvertLineInPlace(c, cursor, end);
  }
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

void FinishInput(Conversion& c) { JudgeKeptLine(c, false); }

namespace {

// When the fast path is worth entering again after it stopped. An entry costs
// about as much as the general path spends on a few short lines, so after an
// illegal line the general path goes on while lines stay illegal; and when
// an entry ended after only a few lines, the general path takes some legal
// lines before the next one, twice as many each time up to a bound, so that
// alternating legal and illegal lines cost no vector step per line.
class FastPathGate {
 public:
  // True when the fast path should be entered at the next line.
  bool open() const { return !lastLineIllegal_ && linesToWait_ == 0; }

  // Records a fast path run that took `taken` bytes.
  void AfterFastRun(std::ptrdiff_t taken) {
    wait_ = taken >= kPayingRun ? 0 : std::min(2 * wait_ + 1, kMaxWait);
    linesToWait_ = wait_;
  }

  // Records a line that the general path judged.
  void AfterSlowLine(bool illegal) {
    lastLineIllegal_ = illegal;
    if (!illegal && linesToWait_ > 0) --linesToWait_;
  }

 private:
  static constexpr std::ptrdiff_t kPayingRun = 64;  // bytes, about 16 lines
  static constexpr std::uint32_t kMaxWait = 63;     // lines

  bool lastLineIllegal_ = false;
  std::uint32_t wait_ = 0;         // legal lines the last short run costs
  std::uint32_t linesToWait_ = 0;  // legal lines left before the next entry
};

// Takes lines through the general path, at least one, until the gate lets
// the fast path in again, the block ends or the output fails; returns where
// it stopped.
const char* ConvertWhileGateShut(Conversion& c, const char* cursor, const char* end,
                                 FastPathGate& gate) {
  do {
    const std::uint64_t illegalBefore = c.illegalLines;
    cursor = c.line.length == 0 && end - cursor >= kWordBytes ? ConvertLineInPlace(c, cursor, end)
                                                              : ConvertLineSlowly(c, cursor, end);
    gate.AfterSlowLine(c.illegalLines != illegalBefore);
  } while (cursor < end && !gate.open() && !c.output.failed());
  return cursor;
}

}  // namespace

void ConvertBlock(Conversion& c, const char* begin, const char* end, FastPathFunction fastPath) {
  const char* cursor = begin;
  FastPathGate gate;
  while (cursor < end && !c.output.failed()) {
    if (fastPath != nullptr && c.line.length == 0 && gate.open()) {
      const char* const stop = fastPath(c, cursor, end);
      gate.AfterFastRun(stop - cursor);
      cursor = stop;
      // A fast path also stops early when the output fails: judge no more.
      if (cursor == end || c.output.failed()) break;
    }
    cursor = ConvertWhileGateShut(c, cursor, end, gate);
  }
}

}  // namespace decbytes
