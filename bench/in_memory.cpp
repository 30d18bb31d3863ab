// decbytes_in_memory: the converter fed in memory (bytes in, bytes out, no
// file) against memcpy of the same bytes, in the same process, for the
// benchmark.
//
// usage: decbytes_in_memory [OPTION...] INPUT EXPECTED_OUTPUT [EXPECTED_REPORT]
//
// Reads INPUT whole into memory (untimed), converts it once untimed and
// checks the bytes against EXPECTED_OUTPUT and, when given, the report
// against EXPECTED_REPORT (what `decbytes INPUT OUTPUT` printed: the
// warnings name INPUT as it is given here). Then times, in REPS rounds, one
// memcpy of the whole input into another buffer and one conversion of it,
// their order swapped every round so that the machine's noise falls on both
// alike. Every buffer is allocated and written once before the first
// round, so that no page fault is timed. A conversion is a Converter made,
// fed and finished, its sinks copying the bytes and the report into
// buffers of the caller's (the output at the cursor, as a caller keeps
// what it receives). Each round's output size and counts are checked, and
// the last round's bytes and report in full.
//
//   --reps=N        timed rounds (25)
//   --piece=BYTES   feed the input in pieces of BYTES (default: whole)
//   --sink=KIND     copy: the sinks copy what they receive (the default);
//                   discard: they take it and copy nothing; none: no sinks
//                   (the Converter drops both streams)
//   --path=NAME     drive the conversion through the fast path NAME (as
//                   `decbytes_fast_path --list` names them; `general`: the
//                   general path alone) with the converter's own parts,
//                   instead of through the Converter, which takes the best
//   --times         also print each round's two times, one round a line
//
// Prints one line (then, with --times, the rounds):
//   in_memory bytes=N output=N illegal=N report=N reps=N piece=N sink=KIND
//     path=NAME memcpy_ns=N convert_ns=N memcpy_min_ns=N convert_min_ns=N
// where the _ns figures are the median and least nanoseconds of a round
// (piece=0: the input whole). Exits 0 when every check held, 1 when one
// failed, 2 for a wrong command line or an unreadable file.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <decbytes/decbytes.h>
#include "conversion.h"
#include "fast/fast_path.h"
#include "io/output_writer.h"
#include "report.h"
#include "transfer.h"

namespace {

// A buffer of the caller's, allocated and written through once when made.
class Buffer {
 public:
  explicit Buffer(std::size_t size) : size_(size), bytes_(new char[size == 0 ? 1 : size]) {
    std::memset(bytes_.get(), 0x55, size_);
  }
  char* data() { return bytes_.get(); }
  std::size_t size() const { return size_; }
  std::string_view view() const { return {bytes_.get(), size_}; }

 private:
  std::size_t size_;
  std::unique_ptr<char[]> bytes_;
};

// Where a sink appends: a buffer of fixed room, or a growing string for the
// untimed first run, which finds the sizes.
struct Collector {
  char* data = nullptr;
  std::size_t room = 0;
  std::size_t size = 0;
  std::string* grow = nullptr;

  bool Take(std::string_view bytes) {
    if (grow != nullptr) {
      grow->append(bytes);
      return true;
    }
    if (bytes.size() > room - size) return false;  // more than expected: fails the run
    std::memcpy(data + size, bytes.data(), bytes.size());
    size += bytes.size();
    return true;
  }
  std::string_view view() const {
    return grow != nullptr ? std::string_view(*grow) : std::string_view(data, size);
  }
};

struct Collectors {
  Collector output;
  Collector report;
};

enum class SinkKind { Copy, Discard, None };

bool TakeOutput(void* context, std::string_view bytes) {
  return static_cast<Collectors*>(context)->output.Take(bytes);
}
bool TakeReport(void* context, std::string_view bytes) {
  return static_cast<Collectors*>(context)->report.Take(bytes);
}
bool Discard(void* /*context*/, std::string_view /*bytes*/) { return true; }

struct Settings {
  int reps = 25;
  std::size_t piece = 0;  // 0: the input whole
  SinkKind sink = SinkKind::Copy;
  std::string pathName = "converter";
  decbytes::FastPathFunction path = nullptr;  // with a --path only
  bool times = false;
};

// What one conversion came to.
struct Outcome {
  std::uint64_t bytesWritten = 0;
  std::uint64_t illegalLines = 0;
  bool completed = false;
};

// Feeds `input` to `feed` whole or in pieces of `piece` bytes.
template <class Feed>
void FeedAll(std::string_view input, std::size_t piece, Feed feed) {
  if (piece == 0) {
    feed(input);
    return;
  }
  for (std::size_t at = 0; at < input.size(); at += piece) feed(input.substr(at, piece));
}

// Converts `input` through the public Converter.
Outcome ThroughConverter(const char* name, std::string_view input, const Settings& s,
                         Collectors& to) {
  const bool copy = s.sink == SinkKind::Copy;
  const decbytes::Sink output = s.sink == SinkKind::None ? nullptr : copy ? TakeOutput : Discard;
  const decbytes::Sink report = s.sink == SinkKind::None ? nullptr : copy ? TakeReport : Discard;
  decbytes::Converter converter(name, output, report, &to);
  FeedAll(input, s.piece, [&](std::string_view piece) { converter.Feed(piece); });
  const decbytes::TransferResult result = converter.Finish();
  return {result.bytesWritten, result.illegalLines,
          result.status == decbytes::TransferStatus::Completed && result.reportError == 0};
}

// What a ByteSink of the converter's parts calls.
bool TakeOutputBytes(void* context, const char* bytes, std::size_t size) {
  return static_cast<Collectors*>(context)->output.Take(std::string_view(bytes, size));
}
bool TakeReportBytes(void* context, const char* bytes, std::size_t size) {
  return static_cast<Collectors*>(context)->report.Take(std::string_view(bytes, size));
}
bool DiscardBytes(void* /*context*/, const char* /*bytes*/, std::size_t /*size*/) { return true; }

// Converts `input` as the Converter does, with the fast path of the
// settings (the general path alone for none).
Outcome ThroughPath(const char* name, std::string_view input, const Settings& s, Collectors& to) {
  const bool copy = s.sink == SinkKind::Copy;
  decbytes::OutputWriter output(decbytes::ByteSink{copy ? TakeOutputBytes : DiscardBytes, &to},
                                decbytes::kOutputBufferSize);
  decbytes::Report report(decbytes::ByteSink{copy ? TakeReportBytes : DiscardBytes, &to}, name);
  decbytes::Conversion conversion(output, report);
  FeedAll(input, s.piece, [&](std::string_view piece) {
    if (!output.failed()) {
      decbytes::ConvertBlock(conversion, piece.data(), piece.data() + piece.size(), s.path, 0);
    }
  });
  if (!output.failed()) decbytes::FinishInput(conversion);
  const bool flushed = output.Flush();
  if (flushed) report.Summarize(output.written(), conversion.illegalLines);
  const bool reported = report.Flush() == 0;
  return {output.written(), conversion.illegalLines, flushed && reported};
}

Outcome Convert(const char* name, std::string_view input, const Settings& s, Collectors& to) {
  return s.pathName == "converter" ? ThroughConverter(name, input, s, to)
                                   : ThroughPath(name, input, s, to);
}

// Reads the whole file `path` into `bytes`; false when it cannot.
bool ReadFile(const char* path, std::string& bytes) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  char block[1 << 16];
  std::size_t got = 0;
  while ((got = std::fread(block, 1, sizeof block, file)) > 0) bytes.append(block, got);
  const bool ok = std::ferror(file) == 0;
  return std::fclose(file) == 0 && ok;
}

// Reads a number after `prefix` in `word` into `value`; false when `word`
// is not that option or its number is not one.
bool NumberOption(std::string_view word, std::string_view prefix, unsigned long long& value) {
  if (!word.starts_with(prefix)) return false;
  char* end = nullptr;
  value = std::strtoull(word.data() + prefix.size(), &end, 10);
  return end != word.data() + prefix.size() && *end == '\0';
}

// Finds the fast path `name` for --path; false when this processor runs
// none of that name.
bool FindPath(const std::string& name, Settings& s) {
  if (name == "general") return true;  // no fast path
  if (name == "best") {
    s.path = decbytes::ConvertLinesFast;
    return true;
  }
  for (const decbytes::FastPathVariant& path : decbytes::RunnableFastPaths()) {
    if (name == path.name) {
      s.path = path.function;
      return true;
    }
  }
  return false;
}

// Sets `s` from one option word; false for a word that is no option.
bool ApplyOption(std::string_view word, Settings& s) {
  unsigned long long number = 0;
  if (NumberOption(word, "--reps=", number) && number > 0 && number < 100000) {
    s.reps = static_cast<int>(number);
  } else if (NumberOption(word, "--piece=", number) && number > 0) {
    s.piece = static_cast<std::size_t>(number);
  } else if (word == "--sink=copy") {
    s.sink = SinkKind::Copy;
  } else if (word == "--sink=discard") {
    s.sink = SinkKind::Discard;
  } else if (word == "--sink=none") {
    s.sink = SinkKind::None;
  } else if (word.starts_with("--path=")) {
    s.pathName = std::string(word.substr(7));
    if (!FindPath(s.pathName, s)) {
      static_cast<void>(
          std::fprintf(stderr, "decbytes_in_memory: no fast path '%s' here\n", s.pathName.c_str()));
      return false;
    }
  } else if (word == "--times") {
    s.times = true;
  } else {
    return false;
  }
  return true;
}

std::int64_t Nanoseconds(std::chrono::steady_clock::time_point from,
                         std::chrono::steady_clock::time_point to) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(to - from).count();
}

std::int64_t Median(std::vector<std::int64_t> times) {
  std::sort(times.begin(), times.end());
  const std::size_t n = times.size();
  return n % 2 == 1 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
}

// Keeps the compiler from dropping or moving a copy whose result is only
// read after the clock.
void Clobber(void* p) { asm volatile("" : : "r"(p) : "memory"); }

int Fail(const char* what) {
  static_cast<void>(std::fprintf(stderr, "decbytes_in_memory: %s\n", what));
  return 1;
}

int Run(const Settings& s, const char* inputName, const char* wantName, const char* reportName) {
  std::string inputText;
  std::string want;
  std::string wantReport;
  if (!ReadFile(inputName, inputText) || !ReadFile(wantName, want) ||
      (reportName != nullptr && !ReadFile(reportName, wantReport))) {
    static_cast<void>(std::fprintf(stderr, "decbytes_in_memory: cannot read the files\n"));
    return 2;
  }
  decbytes::SetByteBound();
  Buffer input(inputText.size());
  std::memcpy(input.data(), inputText.data(), inputText.size());
  inputText = std::string();  // given back: only the buffers stay

  // The untimed first run: checks the bytes and finds the report's size.
  std::string firstOutput;
  std::string firstReport;
  Collectors first{{.grow = &firstOutput}, {.grow = &firstReport}};
  Settings copying = s;
  copying.sink = SinkKind::Copy;
  const Outcome expected = Convert(inputName, input.view(), copying, first);
  if (!expected.completed) return Fail("the first conversion failed");
  if (firstOutput != want) return Fail("the output differs from the expected");
  if (reportName != nullptr && firstReport != wantReport) {
    return Fail("the report differs from the expected");
  }
  if (expected.bytesWritten != want.size()) return Fail("the count of bytes is wrong");

  Buffer copy(input.size());
  Buffer output(want.size());
  Buffer report(firstReport.size());
  std::vector<std::int64_t> copyTimes;
  std::vector<std::int64_t> convertTimes;
  Collectors to;
  for (int round = 0; round < s.reps; ++round) {
    for (int half = 0; half < 2; ++half) {
      if ((half == 0) == (round % 2 == 0)) {
        const auto start = std::chrono::steady_clock::now();
        std::memcpy(copy.data(), input.data(), input.size());
        Clobber(copy.data());
        copyTimes.push_back(Nanoseconds(start, std::chrono::steady_clock::now()));
      } else {
        to = Collectors{{output.data(), output.size()}, {report.data(), report.size()}};
        const auto start = std::chrono::steady_clock::now();
        const Outcome got = Convert(inputName, input.view(), s, to);
        Clobber(output.data());
        convertTimes.push_back(Nanoseconds(start, std::chrono::steady_clock::now()));
        if (!got.completed || got.bytesWritten != expected.bytesWritten ||
            got.illegalLines != expected.illegalLines ||
            (s.sink == SinkKind::Copy &&
             (to.output.size != want.size() || to.report.size != firstReport.size()))) {
          return Fail("a timed conversion came to other counts or sizes");
        }
      }
    }
  }
  if (copy.view() != input.view()) return Fail("memcpy's copy differs from the input");
  if (s.sink == SinkKind::Copy && (to.output.view() != want || to.report.view() != firstReport)) {
    return Fail("the last timed conversion's bytes or report differ");
  }

  if (std::printf("in_memory bytes=%zu output=%zu illegal=%llu report=%zu reps=%d piece=%zu"
                  " sink=%s path=%s memcpy_ns=%lld convert_ns=%lld memcpy_min_ns=%lld"
                  " convert_min_ns=%lld\n",
                  input.size(), want.size(), static_cast<unsigned long long>(expected.illegalLines),
                  firstReport.size(), s.reps, s.piece,
                  s.sink == SinkKind::Copy      ? "copy"
                  : s.sink == SinkKind::Discard ? "discard"
                                                : "none",
                  s.pathName.c_str(), static_cast<long long>(Median(copyTimes)),
                  static_cast<long long>(Median(convertTimes)),
                  static_cast<long long>(*std::min_element(copyTimes.begin(), copyTimes.end())),
                  static_cast<long long>(
                      *std::min_element(convertTimes.begin(), convertTimes.end()))) < 0) {
    return 1;
  }
  if (s.times) {
    for (std::size_t round = 0; round < copyTimes.size(); ++round) {
      if (std::printf("round %zu memcpy_ns=%lld convert_ns=%lld\n", round,
                      static_cast<long long>(copyTimes[round]),
                      static_cast<long long>(convertTimes[round])) < 0) {
        return 1;
      }
    }
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  Settings settings;
  int at = 1;
  while (at < argc && ApplyOption(argv[at], settings)) ++at;
  if (argc - at == 2 || argc - at == 3) {
    return Run(settings, argv[at], argv[at + 1], argc - at == 3 ? argv[at + 2] : nullptr);
  }
  static_cast<void>(std::fprintf(
      stderr,
      "usage: decbytes_in_memory [--reps=N] [--piece=BYTES] [--sink=copy|discard|none]\n"
      "                          [--path=NAME] [--times]\n"
      "                          INPUT EXPECTED_OUTPUT [EXPECTED_REPORT]\n"));
  return 2;
}
