#include "report.h"

#include <charconv>

namespace decbytes {

namespace {
constexpr std::size_t kReportBufferSize = 64 * 1024;
}

Report::Report(int fd, std::string_view inputName, WriteFunction write)
    : out_(fd, kReportBufferSize, write), inputName_(inputName) {}

void Report::Warn(std::uint64_t lineNumber, std::string_view field) {
  out_.Append("\nWarning : ");
  out_.Append(inputName_);
  out_.Append(" : (line ");
  AppendNumber(lineNumber);
  out_.Append(") : '");
  out_.Append(field);
  out_.Append("' is an illegal input string \n");
}

void Report::Summarize(std::uint64_t bytesWritten, std::uint64_t illegalLines) {
  out_.Append("\n");
  AppendNumber(bytesWritten);
  out_.Append(" characters transferred with ");
  AppendNumber(illegalLines);
  out_.Append(" errors \n\n");
}

int Report::Flush() {
  out_.Flush();
  return out_.error();
}

void Report::AppendNumber(std::uint64_t number) {
  char digits[20];
  const auto converted = std::to_chars(digits, digits + sizeof digits, number);
  out_.Append(std::string_view(digits, static_cast<std::size_t>(converted.ptr - digits)));
}

}  // namespace decbytes
