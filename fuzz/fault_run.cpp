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

}  // namespace

Observed RunFaultCase(const FaultCase& c) {
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
  Observed o;
  o.result = transfer(files.input.path(), files.output.path(), io);
  o.input = gFaultLog.input;
  o.output = std::move(gFaultLog.output);
  o.report = std::move(gFaultLog.report);
  return o;
}

namespace {

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
    error = o.output.error;
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

// Every fault the schedule put within the run's reach was met: the output,
// a regular file, was truncated once, through its seam (a truncation made
// around it would let a schedule that fails it pass untried); and a stream
// that made at least as many calls as its failure's was failed.
std::string CheckReached(const Observed& o) {
  if (o.output.truncations != 1) {
    return Join("the output's truncation was met ", o.output.truncations,
                " times through its seam, not once");
  }
  const std::pair<const char*, const StreamLog*> streams[] = {
      {"input", &o.input}, {"output", &o.output}, {"report", &o.report}};
  for (const auto& [name, log] : streams) {
    const unsigned failAt = log->schedule.failAt;
    if (failAt != 0 && log->calls >= failAt && log->error == 0) {
      return Join("the ", name, "'s failure at call ", failAt, " was not met in ", log->calls,
                  " calls");
    }
  }
  return "";
}

}  // namespace

std::string CheckFaultRun(const FaultCase& c, const Observed& o, const model::Expected& e) {
  if (std::string streams = CheckStreams(o); !streams.empty()) return streams;
  if (std::string reached = CheckReached(o); !reached.empty()) return reached;
  TransferStatus status;
  int error;
  ExpectedStatus(c, o, status, error);
  const TransferResult& r = o.result;
  if (r.status != status || r.fileError != error) {
    return Join("status ", static_cast<int>(r.status), " errno ", r.fileError, ", expected ",
                static_cast<int>(status), " errno ", error);
  }
  if (r.reportError != o.report.error) return Join("report error ", r.reportError);
  if (r.bytesWritten != o.output.bytes.size()) {
    return Join("bytesWritten ", r.bytesWritten, ", the output received ", o.output.bytes.size());
  }
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

model::Expected Faultless(const FaultCase& c) {
  model::Expected expected;
  model::Model(c.text, TheFiles().input.path(), 0, expected);
  return expected;
}

std::string FaultRunDifference(const FaultCase& c) {
  SetByteBound();
  return CheckFaultRun(c, RunFaultCase(c), Faultless(c));
}

}  // namespace decbytes::faults
