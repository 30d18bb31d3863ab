// Fuzz target: arbitrary bytes through the real transfer, on every fast path
// and on the general path, with blocks small enough that lines straddle them.
// Each run must give exactly the bytes and report of a plain line-by-line
// model written here; any difference aborts.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "conversion.h"
#include "decbytes.h"

namespace {

// What a transfer of some input must produce.
struct Expected {
  std::string output;
  std::string report;
  std::uint64_t lines = 0;
  std::uint64_t illegalLines = 0;
  std::uint64_t emptyLines = 0;
};

// The rule for one line, written for clarity rather than speed: legal iff it
// ended with a newline and is 1 to 3 ASCII digits with a value up to 255.
bool IsLegal(std::string_view line, bool endedByNewline, unsigned& value) {
  if (!endedByNewline || line.empty() || line.size() > 3) return false;
  value = 0;
  for (char c : line) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return value <= 255;
}

void ModelLine(Expected& e, std::string_view name, std::string_view line, bool endedByNewline) {
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
    e.report += " : (line " + std::to_string(e.output.size() + 1) + ") : '";
    e.report += line.substr(0, 3);
    e.report += "' is an illegal input string \n";
  }
}

// Splits the input on '\n'; a last piece without a newline counts only when
// it is not empty.
Expected Model(std::string_view input, std::string_view name) {
  Expected e;
  std::size_t start = 0;
  for (std::size_t nl = input.find('\n'); nl != std::string_view::npos;
       nl = input.find('\n', start)) {
    ModelLine(e, name, input.substr(start, nl - start), true);
    start = nl + 1;
  }
  if (start < input.size()) ModelLine(e, name, input.substr(start), false);
  e.report += "\n" + std::to_string(e.output.size()) + " characters transferred with " +
              std::to_string(e.illegalLines) + " errors \n\n";
  return e;
}

// An in-memory file, reached by name through /proc so that transfer opens
// it as it would any file.
struct MemoryFile {
  int fd;
  std::string path;
};

MemoryFile MakeMemoryFile(const char* label) {
  const int fd = memfd_create(label, 0);
  if (fd < 0) std::abort();
  return {fd, "/proc/self/fd/" + std::to_string(fd)};
}

void Replace(const MemoryFile& file, std::string_view bytes) {
  if (ftruncate(file.fd, 0) != 0) std::abort();
  if (pwrite(file.fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
    std::abort();
  }
  if (lseek(file.fd, 0, SEEK_SET) != 0) std::abort();
}

std::string Contents(const MemoryFile& file) {
  std::string bytes;
  char chunk[4096];
  for (off_t at = 0;;) {
    const ssize_t got = pread(file.fd, chunk, sizeof chunk, at);
    if (got < 0) std::abort();
    if (got == 0) return bytes;
    bytes.append(chunk, static_cast<std::size_t>(got));
    at += got;
  }
}

// Block sizes 1..128 (lines straddle blocks, vector paths see short blocks)
// or 64..8192 in steps of 64 (vector paths run over many lanes).
std::size_t BlockSizeFor(std::string_view input) {
  const unsigned first = input.empty() ? 0u : static_cast<unsigned char>(input[0]);
  const std::size_t low = first & 0x7fu;
  return (first & 0x80u) != 0 ? 64 + low * 64 : low + 1;
}

void Check(bool holds) {
  if (!holds) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const MemoryFile in = MakeMemoryFile("in");
  static const MemoryFile out = MakeMemoryFile("out");
  static const MemoryFile report = MakeMemoryFile("report");
  static const std::vector<decbytes::FastPathFunction> paths = [] {
    decbytes::SetByteBound();
    std::vector<decbytes::FastPathFunction> all;
    for (const auto& variant : decbytes::AvailableFastPaths()) all.push_back(variant.function);
    all.push_back(nullptr);  // the general path alone
    return all;
  }();

  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const Expected expected = Model(input, in.path);
  Replace(in, input);
  for (const decbytes::FastPathFunction path : paths) {
    Replace(out, "stale bytes the transfer must truncate");
    Replace(report, "");
    decbytes::TransferIo io;
    io.reportFd = report.fd;
    io.blockSize = BlockSizeFor(input);
    io.fastPath = path;
    const decbytes::TransferResult result =
        decbytes::transfer(in.path.c_str(), out.path.c_str(), io);
    Check(result.status == decbytes::TransferStatus::Completed);
    Check(result.reportError == 0);
    Check(result.bytesWritten == expected.output.size());
    Check(result.illegalLines == expected.illegalLines);
    Check(result.bytesWritten + result.illegalLines + expected.emptyLines == expected.lines);
    Check(Contents(out) == expected.output);
    Check(Contents(report) == expected.report);
  }
  return 0;
}
