// The text that a transfer writes on its report stream: one warning per
// illegal line and the closing summary, in their fixed byte-exact forms.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "io/output_writer.h"

namespace decbytes {

// The report's buffer: what it collects before a write.
inline constexpr std::size_t kReportBufferSize = 256 * 1024;

// When the report's collected bytes are written: in large blocks (into a
// file or a pipe, where the reader takes them at the end or in bulk), or at
// the end of each warning (on a terminal, where a person watches the
// warnings of an input that arrives slowly as they are made).
enum class ReportBuffering { Blocks, Lines };

class Report {
 public:
  // Collects the report in a buffer of `bufferSize` bytes, or more when the
  // input's name is so long that a warning would not fit, so that every
  // warning is one reservation.
  Report(int fd, std::string_view inputName, WriteFunction write = DefaultWrite,
         std::size_t bufferSize = kReportBufferSize,
         ReportBuffering buffering = ReportBuffering::Blocks);
  // As above, handing the report to `sink` in large blocks.
  Report(ByteSink sink, std::string_view inputName, std::size_t bufferSize = kReportBufferSize);

  // Appends "\nWarning : <input> : (line <lineNumber>) : '<field>' is an
  // illegal input string \n", the field raw, control bytes and NUL included.
  // The field is the first bytes of a line, at most three. Writes it out at
  // once when the report is buffered by lines.
  void Warn(std::uint64_t lineNumber, std::string_view field);

  // Appends "\n<bytes> characters transferred with <errors> errors \n\n".
  void Summarize(std::uint64_t bytesWritten, std::uint64_t illegalLines);

  // Writes out what is collected; returns 0 or the errno of the first
  // failed write. After a failure the rest of the report is dropped. The
  // report's buffer is written only at the end of a warning or of the
  // summary, never in the middle of one.
  int Flush();

 private:
  void MakeHead(std::string_view inputName);
  void SetHeadLine(std::uint64_t lineNumber);
  void MakeRoomAtLineEnd(std::size_t size);

  OutputWriter out_;
  bool flushEachWarning_;
  // A warning's text up to its field, "\nWarning : <input> : (line <n>) : '",
  // for the line number n of the last warning. Built once per run and
  // renumbered only when the line number changes, which takes a written
  // byte between two warnings. Its storage reaches a copy piece past it.
  std::unique_ptr<char[]> head_;
  std::size_t headSize_ = 0;
  std::size_t headNumberAt_ = 0;  // where the line number starts in head_
  std::uint64_t headLine_ = 0;    // the n in head_; 0 before the first warning
};

}  // namespace decbytes
