// The text that a transfer writes on its report stream: one warning per
// illegal line and the closing summary, in their fixed byte-exact forms.
#pragma once

#include <cstdint>
#include <string_view>

#include "output_writer.h"

namespace decbytes {

class Report {
 public:
  Report(int fd, std::string_view inputName, WriteFunction write = DefaultWrite);

  // Appends "\nWarning : <input> : (line <lineNumber>) : '<field>' is an
  // illegal input string \n", the field raw, control bytes and NUL included.
  void Warn(std::uint64_t lineNumber, std::string_view field);

  // Appends "\n<bytes> characters transferred with <errors> errors \n\n".
  void Summarize(std::uint64_t bytesWritten, std::uint64_t illegalLines);

  // Writes out what is collected; returns 0 or the errno of the first
  // failed write. After a failure the rest of the report is dropped.
  int Flush();

 private:
  void AppendNumber(std::uint64_t number);

  OutputWriter out_;
  std::string_view inputName_;
};

}  // namespace decbytes
