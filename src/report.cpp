#include "report.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace decbytes {

namespace {

constexpr std::size_t kMaxDigits = 20;      // of a 64-bit count
constexpr std::size_t kMaxFieldLength = 3;  // of the field a warning shows
constexpr std::string_view kWarningOpening = "\nWarning : ";
constexpr std::string_view kLineOpening = " : (line ";
constexpr std::string_view kFieldOpening = ") : '";
constexpr std::string_view kWarningClosing = "' is an illegal input string \n";
constexpr std::size_t kCopyPiece = 16;  // bytes the head is copied by

// Copies `size` bytes from `from` to `cursor` in pieces of kCopyPiece bytes,
// the last one reading and writing up to kCopyPiece - 1 bytes past them.
// Returns the cursor after the `size` bytes.
inline char* CopyInPieces(char* cursor, const char* from, std::size_t size) {
  for (std::size_t at = 0; at < size; at += kCopyPiece) {
    std::memcpy(cursor + at, from + at, kCopyPiece);
  }
  return cursor + size;
}

// Copies `bytes` to `cursor`; returns the cursor after them.
inline char* Copy(char* cursor, std::string_view bytes) {
  std::memcpy(cursor, bytes.data(), bytes.size());
  return cursor + bytes.size();
}

// Copies a field to `cursor`, one of at most three bytes without a call;
// returns the cursor after it.
inline char* CopyField(char* cursor, std::string_view field) {
  switch (field.size()) {
    case 3:
      cursor[2] = field[2];
      [[fallthrough]];
    case 2:
      cursor[1] = field[1];
      [[fallthrough]];
    case 1:
      cursor[0] = field[0];
      [[fallthrough]];
    case 0:
      return cursor + field.size();
    default:
      return Copy(cursor, field);
  }
}

// The report's buffer: `asked`, or more when the input's name is so long
// that a warning would not fit.
std::size_t ReportBufferSize(std::string_view inputName, std::size_t asked) {
  const std::size_t longestWarning = kWarningOpening.size() + inputName.size() +
                                     kLineOpening.size() + kMaxDigits + kFieldOpening.size() +
                                     kMaxFieldLength + kWarningClosing.size();
  return std::max(asked, longestWarning + kCopyPiece);
}

}  // namespace

Report::Report(int fd, std::string_view inputName, WriteFunction write, std::size_t bufferSize,
               ReportBuffering buffering)
    : out_(fd, ReportBufferSize(inputName, bufferSize), write),
      flushEachWarning_(buffering == ReportBuffering::Lines) {
  MakeHead(inputName);
}

Report::Report(ByteSink sink, std::string_view inputName, std::size_t bufferSize)
    : out_(sink, ReportBufferSize(inputName, bufferSize)), flushEachWarning_(false) {
  MakeHead(inputName);
}

// Builds the head of the warnings up to their line number.
void Report::MakeHead(std::string_view inputName) {
  const std::size_t longest = kWarningOpening.size() + inputName.size() + kLineOpening.size() +
                              kMaxDigits + kFieldOpening.size();
  head_ = std::make_unique<char[]>(longest + kCopyPiece);
  char* cursor = Copy(head_.get(), kWarningOpening);
  cursor = Copy(cursor, inputName);
  cursor = Copy(cursor, kLineOpening);
  headNumberAt_ = static_cast<std::size_t>(cursor - head_.get());
}

void Report::Warn(std::uint64_t lineNumber, std::string_view field) {
  if (lineNumber != headLine_) SetHeadLine(lineNumber);
  const std::size_t length = headSize_ + field.size() + kWarningClosing.size();
  MakeRoomAtLineEnd(length + kCopyPiece);
  char* cursor = out_.Reserve(length + kCopyPiece);
  if (cursor == nullptr) return;
  cursor = CopyInPieces(cursor, head_.get(), headSize_);
  cursor = CopyField(cursor, field);
  out_.Commit(Copy(cursor, kWarningClosing));
  if (flushEachWarning_) out_.Flush();
}

void Report::Summarize(std::uint64_t bytesWritten, std::uint64_t illegalLines) {
  constexpr std::string_view kOpening = "\n";
  constexpr std::string_view kMiddle = " characters transferred with ";
  constexpr std::string_view kClosing = " errors \n\n";
  char text[kOpening.size() + kMaxDigits + kMiddle.size() + kMaxDigits + kClosing.size()];
  char* cursor = Copy(text, kOpening);
  cursor = std::to_chars(cursor, cursor + kMaxDigits, bytesWritten).ptr;
  cursor = Copy(cursor, kMiddle);
  cursor = std::to_chars(cursor, cursor + kMaxDigits, illegalLines).ptr;
  cursor = Copy(cursor, kClosing);
  const auto size = static_cast<std::size_t>(cursor - text);
  MakeRoomAtLineEnd(size);
  out_.Append(std::string_view(text, size));
}

int Report::Flush() {
  out_.Flush();
  return out_.error();
}

// Puts `lineNumber` and what follows it into the head of the warnings.
void Report::SetHeadLine(std::uint64_t lineNumber) {
  char* const number = head_.get() + headNumberAt_;
  const auto converted = std::to_chars(number, number + kMaxDigits, lineNumber);
  headSize_ = static_cast<std::size_t>(Copy(converted.ptr, kFieldOpening) - head_.get());
  headLine_ = lineNumber;
}

// Writes out what is collected when `size` more bytes would not fit, so
// that the buffer never writes part of a warning or of the summary: every
// write of the report ends at the end of a line, and two reports on one
// descriptor interleave whole lines.
void Report::MakeRoomAtLineEnd(std::size_t size) {
  if (out_.room() < size) out_.Flush();
}

}  // namespace decbytes
