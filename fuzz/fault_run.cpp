#include "fault_run.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <type_traits>
#include <utility>

#include "line_model.h"
#include "transfer.h"

namespace decbytes::faults {

namespace {

// The pieces one after the other, numbers in decimal. (A string literal
// added to a temporary string draws a false -Wrestrict from g++ 12.)
template <class... Pieces>
std::string Join(const Pieces&... pieces) {
  std::string text;
  const auto add = [&text](const auto& piece) {
    if constexpr (std::is_arithmetic_v<std::decay_t<decltype(piece)>>) {
      text += std::to_string(piece);
    } else {
      text += piece;
    }
  };
  (add(pieces), ...);
  return text;
}

// A regular file in memory, empty, named by its /proc path: what the
// transfer opens, checks and closes. Its contents are the seams'.
class MemoryFile {
 public:
  explicit MemoryFile(const char* name)
      : fd_(::memfd_create(name, MFD_CLOEXEC)), path_(Join("/proc/self/fd/", fd_)) {
    if (fd_ < 0) std::abort();  // no run can be checked without it
  }
  ~MemoryFile() { ::close(fd_); }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  int fd() const { return fd_; }
  const char* path() const { return path_.c_str(); }

 private:
  int fd_;
  std::string path_;
};

// The three files, made once per process and used by every run.
struct Files {
  MemoryFile input{"input"};
  MemoryFile output{"output"};
  MemoryFile report{"report"};
};

Files& TheFiles() {
  static Files files;
  return files;
}

struct Observed {
  TransferResult result;
  StreamLog input;
  StreamLog output;  // its bytes: the output file's contents
  StreamLog report;  // its bytes: what the report stream received
};

Observed Run(const FaultCase& c, Threads threads) {
  Files& files = TheFiles();
  ArmFaults(c, files.report.fd());
  TransferIo io;
  io.reportFd = files.report.fd();
  io.read = ScheduledRead;
  io.write = ScheduledWrite;
  io.truncate = ScheduledTruncate;
  io.blockSize = c.blockSize;
  io.outputBufferSize = c.outputBufferSize;
  io.reportBufferSize = c.reportBufferSize;
  io.fastPath = c.fastPath ? ConvertLinesFast : nullptr;
  io.threads = threads;
  Observed o;
  o.result = transfer(files.input.path(), files.output.path(), io);
  o.input = gFaultLog.input;
  o.output = std::move(gFaultLog.output);
  o.report = std::move(gFaultLog.report);
  return o;
}

// The status and errno the first failure of the input or the output gives.
void ExpectedStatus(const FaultCase& c, const Observed& o, TransferStatus& status, int& error) {
  status = TransferStatus::Completed;
  error = 0;
  const StreamLog* first = nullptr;
  for (const StreamLog* log : {&o.input, &o.output}) {
    if (log->failedAs != 0 && (first == nullptr || log->failedAs < first->failedAs)) first = log;
  }
  if (first == &o.input) {
    status = TransferStatus::ReadFailed;
    error = o.input.error;
  } else if (first == &o.output && c.truncateFails) {
    status = TransferStatus::OutputOpenFailed;
  } else if (first == &o.output) {
    status = TransferStatus::WriteFailed;
    error = o.output.error;
  }
}

std::string SummaryOf(const model::Expected& e) {
  return Join("\n", e.output.size(), " characters transferred with ", e.illegalLines,
              " errors \n\n");
}

std::string CheckStreams(const Observed& o) {
  if (o.input.callAfterFailure) return "the input was read after its failure";
  if (o.output.callAfterFailure) return "the output was written after its failure";
  if (o.report.callAfterFailure) return "the report was written after its failure";
  return "";
}

// Checks a single-threaded run against the model and the schedule.
std::string CheckSingle(const FaultCase& c, const Observed& o, const model::Expected& e) {
  if (std::string streams = CheckStreams(o); !streams.empty()) return streams;
  TransferStatus status;
  int error;
  ExpectedStatus(c, o, status, error);
  const TransferResult& r = o.result;
  if (r.status != status || r.fileError != error) {
    return Join("status ", static_cast<int>(r.status), " errno ", r.fileError, ", expected ",
                static_cast<int>(status), " errno ", error);
  }
  if (r.reportError != o.report.error) return Join("report error ", r.reportError);
  if (!e.output.starts_with(o.output.bytes)) return "the output is no prefix of the model's";
  if (!e.report.starts_with(o.report.bytes)) return "the report is no prefix of the model's";
  if (status != TransferStatus::Completed) {
    if (o.report.bytes.size() > e.report.size() - SummaryOf(e).size())
      return "a summary after a failure";
    return "";
  }
  if (o.output.bytes != e.output) return "the output differs from the model's";
  if (o.report.error == 0 && o.report.bytes != e.report)
    return "the report differs from the model's";
  if (r.bytesWritten != e.output.size() || r.illegalLines != e.illegalLines) return "the counts";
  return "";
}

// Checks a threaded run against the single-threaded run of the same case.
std::string CheckThreaded(const Observed& t, const Observed& s) {
  if (std::string streams = CheckStreams(t); !streams.empty()) return Join("threads: ", streams);
  const TransferResult& a = t.result;
  const TransferResult& b = s.result;
  if (a.status != b.status || a.fileError != b.fileError) {
    return Join("threads: status ", static_cast<int>(a.status), " errno ", a.fileError,
                ", on one thread ", static_cast<int>(b.status), " errno ", b.fileError);
  }
  if (a.reportError != b.reportError) return "threads: the report's error differs";
  if (t.output.bytes != s.output.bytes) {
    return Join("threads: the output differs (", t.output.bytes.size(), " bytes against ",
                s.output.bytes.size(), ")");
  }
  if (t.report.bytes != s.report.bytes) {
    return Join("threads: the report differs (", t.report.bytes.size(), " bytes against ",
                s.report.bytes.size(), ")");
  }
  if (a.status == TransferStatus::Completed &&
      (a.bytesWritten != b.bytesWritten || a.illegalLines != b.illegalLines)) {
    return "threads: the counts differ";
  }
  return "";
}

}  // namespace

std::string FaultRunDifference(const FaultCase& c) {
  SetByteBound();
  model::Expected expected;
  model::Model(c.text, TheFiles().input.path(), 0, expected);
  const Observed single = Run(c, Threads::Off);
  if (std::string difference = CheckSingle(c, single, expected); !difference.empty()) {
    return difference;
  }
  if (!c.threads) return "";
  return CheckThreaded(Run(c, Threads::On), single);
}

}  // namespace decbytes::faults
