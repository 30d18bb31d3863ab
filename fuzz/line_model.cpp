#include "line_model.h"

#include <charconv>

namespace decbytes::model {

namespace {

// Legal iff it ended with a newline and is 1 to 3 ASCII digits with a value
// up to 255; `value` receives the value of a legal line.
bool IsLegal(std::string_view line, bool endedByNewline, unsigned& value) {
  if (!endedByNewline || line.empty() || line.size() > 3) return false;
  value = 0;
  for (char c : line) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return value <= 255;
}

void AppendNumber(std::string& text, std::uint64_t number) {
  char digits[20];
  const auto converted = std::to_chars(digits, digits + sizeof digits, number);
  text.append(digits, converted.ptr);
}

// Adds one line's byte or warning to `e`.
void ModelLine(Expected& e, std::string_view name, std::uint64_t start, std::string_view line,
               bool endedByNewline) {
  ++e.lines;
  unsigned value = 0;
  if (line.empty()) {
    ++e.emptyLines;
  } else if (IsLegal(line, endedByNewline, value)) {
    e.output.push_back(static_cast<char>(value));
  } else {
    ++e.illegalLines;
    e.report += "\nWarning : ";
    e.report += name;
    e.report += " : (line ";
    AppendNumber(e.report, start + e.output.size() + 1);
    e.report += ") : '";
    e.report += line.substr(0, 3);
    e.report += "' is an illegal input string \n";
  }
}

}  // namespace

void Model(std::string_view input, std::string_view name, std::uint64_t startCount, Expected& e) {
  e.output.clear();
  e.report.clear();
  e.lines = e.illegalLines = e.emptyLines = 0;
  // Split on '\n'; a last piece without a newline counts only when it is
  // not empty.
  std::size_t start = 0;
  for (std::size_t nl = input.find('\n'); nl != std::string_view::npos;
       nl = input.find('\n', start)) {
    ModelLine(e, name, startCount, input.substr(start, nl - start), true);
    start = nl + 1;
  }
  if (start < input.size()) ModelLine(e, name, startCount, input.substr(start), false);
  e.report += "\n";
  AppendNumber(e.report, startCount + e.output.size());
  e.report += " characters transferred with ";
  AppendNumber(e.report, startCount + e.illegalLines);
  e.report += " errors \n\n";
}

}  // namespace decbytes::model
