#include "fault_schedule.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "transfer.h"

namespace decbytes::faults {

FaultLog gFaultLog;

namespace {

// The errors a failing call gives, by a header byte; 0 is a write that takes
// no byte (a read that returns 0 is the end of the input, not a failure).
constexpr std::array<int, 5> kErrors = {EIO, ENOSPC, EPIPE, EFBIG, 0};

// The header's bytes, read one after the other; zero past the end.
class HeaderReader {
 public:
  explicit HeaderReader(std::string_view data) : data_(data) {}
  unsigned Next() {
    const unsigned byte = at_ < data_.size() ? static_cast<unsigned char>(data_[at_]) : 0u;
    ++at_;
    return byte;
  }

 private:
  std::string_view data_;
  std::size_t at_ = 0;
};

// 1 to 48 bytes (lines straddle blocks, every block boundary is met), or
// up to 8 KiB, more than the inputs the fuzzer makes; or the program's own
// size. Few runs take the program's sizes: their large buffers behave like
// the largest of the others on small inputs.
std::size_t BlockSize(unsigned byte) {
  if (byte == 255) return kDefaultBlockSize;
  return byte < 48 ? byte + 1 : 48 + (byte - 48) * 40;
}

// The output's buffer, from the least a path takes up, in steps that meet
// every fill level; or the program's own size.
std::size_t OutputBuffer(unsigned byte, bool fastPath) {
  if (byte == 255) return kOutputBufferSize;
  return fastPath ? kLeastOutputBufferSize + byte * 17 : 1 + byte * 3;
}
std::size_t ReportBuffer(unsigned byte) { return byte == 255 ? kReportBufferSize : 1 + byte * 9; }

StreamSchedule Schedule(HeaderReader& header, bool reads) {
  StreamSchedule s;
  const unsigned interrupt = header.Next() % 8;
  s.interruptEvery = interrupt < 2 ? 0 : interrupt;  // every call interrupted never ends
  s.shortEvery = header.Next() % 8;
  s.shortTo = 1 + header.Next();
  s.failAt = header.Next();
  s.failError = kErrors[header.Next() % kErrors.size()];
  if (reads && s.failError == 0) s.failError = EIO;
  return s;
}

// Carries out the schedule for one call of `size` bytes on `log`'s stream:
// returns -1 with errno set when the call fails or is interrupted, else the
// number of bytes the call may take.
ssize_t Admit(StreamLog& log, std::size_t size) {
  if (log.error != 0) log.callAfterFailure = true;
  const StreamSchedule& s = log.schedule;
  ++log.calls;
  if (log.calls == s.failAt) {
    log.error = s.failError != 0 ? s.failError : EIO;
    log.failedAs = ++gFaultLog.failures;
    if (s.failError == 0) return 0;
    errno = s.failError;
    return -1;
  }
  if (s.interruptEvery != 0 && log.calls % s.interruptEvery == 0) {
    errno = EINTR;
    return -1;
  }
  if (s.shortEvery != 0 && log.calls % s.shortEvery == 0) {
    return static_cast<ssize_t>(std::min(size, s.shortTo));
  }
  return static_cast<ssize_t>(size);
}

}  // namespace

FaultCase DecodeFaultCase(std::string_view data) {
  HeaderReader header(data);
  FaultCase c;
  // The flags: 8, the fast path; 0x70 all set, a failing truncation (one
  // case in eight); the three low bits are free.
  const unsigned flags = header.Next();
  c.fastPath = (flags & 8) != 0;
  c.truncateFails = (flags & 0x70) == 0x70;  // one case in eight
  c.blockSize = BlockSize(header.Next());
  c.outputBufferSize = OutputBuffer(header.Next(), c.fastPath);
  c.reportBufferSize = ReportBuffer(header.Next());
  c.input = Schedule(header, true);
  c.output = Schedule(header, false);
  c.report = Schedule(header, false);
  c.text = data.size() > kHeaderSize ? data.substr(kHeaderSize) : std::string_view();
  return c;
}

void ArmFaults(const FaultCase& c, int reportFd) {
  const auto fresh = [](const StreamSchedule& schedule) {
    StreamLog log;
    log.schedule = schedule;
    return log;
  };
  gFaultLog.input = fresh(c.input);
  gFaultLog.output = fresh(c.output);
  gFaultLog.report = fresh(c.report);
  gFaultLog.failures = 0;
  gFaultLog.text = c.text;
  gFaultLog.truncateFails = c.truncateFails;
  gFaultLog.reportFd = reportFd;
}

ssize_t ScheduledRead(int /*fd*/, void* buffer, std::size_t size) {
  StreamLog& log = gFaultLog.input;
  const ssize_t admitted = Admit(log, size);
  if (admitted <= 0) return admitted;
  const std::string_view rest = gFaultLog.text.substr(log.taken);
  const std::size_t got = std::min(rest.size(), static_cast<std::size_t>(admitted));
  if (got != 0) std::memcpy(buffer, rest.data(), got);
  log.taken += got;
  return static_cast<ssize_t>(got);
}

ssize_t ScheduledWrite(int fd, const void* buffer, std::size_t size) {
  StreamLog& log = fd == gFaultLog.reportFd ? gFaultLog.report : gFaultLog.output;
  const ssize_t admitted = Admit(log, size);
  if (admitted <= 0) return admitted;
  log.bytes.append(static_cast<const char*>(buffer), static_cast<std::size_t>(admitted));
  return admitted;
}

int ScheduledTruncate(int /*fd*/, off_t length) {
  StreamLog& log = gFaultLog.output;
  if (log.error != 0) log.callAfterFailure = true;
  ++log.truncations;
  if (gFaultLog.truncateFails) {
    log.error = EIO;
    log.failedAs = ++gFaultLog.failures;
    errno = EIO;
    return -1;
  }
  log.bytes.resize(static_cast<std::size_t>(length));
  return 0;
}

}  // namespace decbytes::faults
