#include "memory_conversion.h"

#include <algorithm>
#include <array>
#include <vector>

#include "conversion.h"
#include "line_model.h"

namespace decbytes::model {

namespace {

constexpr int kOutputFd = 1000;  // names the sinks; never a real descriptor
constexpr int kReportFd = 1001;
constexpr std::size_t kWriterCapacity = 256 * 1024;  // as the program's own

MemoryRun* gRun = nullptr;  // where the run in progress writes

// Appends the bytes to the run's output or report; returns their count.
ssize_t WriteToMemory(int fd, const void* bytes, std::size_t size) {
  std::string& sink = fd == kOutputFd ? gRun->output : gRun->report;
  sink.append(static_cast<const char*>(bytes), size);
  return static_cast<ssize_t>(size);
}

using LookBehind = std::array<char, InputReader::kLookBehind>;

// The bytes of `input` just before `at`, newlines standing for those before
// its start: what an input reader keeps in front of a block.
std::string_view BytesBefore(std::string_view input, std::size_t at, LookBehind& into) {
  const std::size_t taken = std::min(at, into.size());
  const std::size_t newlines = into.size() - taken;
  std::fill_n(into.begin(), newlines, '\n');
  std::copy_n(input.begin() + static_cast<std::ptrdiff_t>(at - taken), taken,
              into.begin() + static_cast<std::ptrdiff_t>(newlines));
  return {into.data(), into.size()};
}

// Copies `input` after the newlines an input reader puts before the first
// block, into a buffer reused from call to call; returns where the copy of
// the input begins. Each block's look-behind is then the bytes before it.
const char* PlaceWhole(std::string_view input) {
  static std::vector<char> buffer;
  buffer.assign(InputReader::kLookBehind, '\n');
  buffer.insert(buffer.end(), input.begin(), input.end());
  return buffer.data() + InputReader::kLookBehind;
}

}  // namespace

void ConvertInMemory(std::string_view input, const MemoryOptions& options, MemoryRun& run) {
  // Made once: the writers are empty again after every run's flush.
  static OutputWriter output(kOutputFd, kWriterCapacity, WriteToMemory);
  static Report report(kReportFd, kInputName, WriteToMemory);
  run.output.clear();
  run.report.clear();
  gRun = &run;
  Conversion conversion(output, report, options.startCount);
  const char* const whole = options.place == nullptr ? PlaceWhole(input) : nullptr;
  LookBehind lookBehind;
  for (std::size_t at = 0; at < input.size() && !output.failed(); at += options.blockSize) {
    const std::string_view block = input.substr(at, options.blockSize);
    const char* begin =
        whole != nullptr ? whole + at : options.place(BytesBefore(input, at, lookBehind), block);
    ConvertBlock(conversion, begin, begin + block.size(), options.fastPath);
  }
  if (!output.failed()) FinishInput(conversion);
  if (output.Flush()) report.Summarize(conversion.bytesWritten, conversion.illegalLines);
  report.Flush();
  run.bytesWritten = conversion.bytesWritten;
  run.illegalLines = conversion.illegalLines;
}

std::string DifferenceFromModel(std::string_view input, std::size_t blockSize, PlaceBlock place) {
  static const std::vector<FastPathVariant> paths = [] {
    SetByteBound();
    return PathsUnderTest();
  }();
  // Kept from call to call, so that a run allocates nothing once warm.
  static Expected expected;
  static MemoryRun run;
  Model(input, kInputName, 0, expected);
  for (const FastPathVariant& path : paths) {
    ConvertInMemory(input, {blockSize, path.function, place}, run);
    const char* differs = run.output != expected.output                ? "output"
                          : run.report != expected.report              ? "report"
                          : run.bytesWritten != expected.output.size() ? "byte count"
                          : run.illegalLines != expected.illegalLines  ? "illegal-line count"
                                                                       : nullptr;
    if (differs != nullptr) {
      return std::string(path.name) + " path, blocks of " + std::to_string(blockSize) + ": the " +
             differs + " differs from the model";
    }
  }
  return "";
}

std::size_t BlockSizeFor(std::string_view input) {
  const unsigned first = input.empty() ? 0u : static_cast<unsigned char>(input[0]);
  const std::size_t low = first & 0x7fu;
  return (first & 0x80u) != 0 ? 64 + low * 64 : low + 1;
}

}  // namespace decbytes::model
