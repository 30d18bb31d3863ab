// A fault schedule: for each stream of a transfer (the input's reads, the
// output's writes, the report's writes), which calls are interrupted, which
// are short and by how much, and which one fails with which error; and
// whether the output's truncation fails. The seams below carry it out and
// note what each stream met, so that a run can be checked against it. They
// stand for the files' contents too: reads take the input's text from
// memory and writes keep their bytes there, so that a run makes no system
// call per block and the fuzzer runs many.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace decbytes::faults {

struct StreamSchedule {
  unsigned interruptEvery = 0;  // every n-th call fails with EINTR first (0: none; else >= 2)
  unsigned shortEvery = 0;      // every n-th call takes at most shortTo bytes (0: none)
  std::size_t shortTo = 1;      // at least 1, so that a short call still makes progress
  unsigned failAt = 0;          // the call, counted from 1, that fails (0: none)
  int failError = 0;            // its errno; 0 for a write that takes no byte
};

// A transfer to run under faults, as a fuzz input describes it: a header of
// kHeaderSize bytes (missing ones read as zero), then the input's text.
struct FaultCase {
  std::string_view text;
  std::size_t blockSize = 0;
  std::size_t outputBufferSize = 0;
  std::size_t reportBufferSize = 0;
  bool fastPath = false;
  bool truncateFails = false;
  StreamSchedule input;
  StreamSchedule output;
  StreamSchedule report;
};

inline constexpr std::size_t kHeaderSize = 4 + 3 * 5;

FaultCase DecodeFaultCase(std::string_view data);

// What one stream met in a run.
struct StreamLog {
  StreamSchedule schedule;
  unsigned calls = 0;
  std::string bytes;      // the output's or the report's bytes written
  std::size_t taken = 0;  // the input's bytes read
  int error = 0;          // the errno the failure gave the program; 0: none
  unsigned failedAs = 0;  // its place among the run's failures, from 1; 0: none
  bool callAfterFailure = false;
  unsigned truncations = 0;  // the output's: calls of its truncation
};

// The seams' state: arm it before a run, read it after. The report's writes
// are those to `reportFd`; every other write is the output's.
struct FaultLog {
  StreamLog input;
  StreamLog output;  // its truncation included
  StreamLog report;
  std::string_view text;  // the input file's contents
  bool truncateFails = false;
  int reportFd = -1;
  unsigned failures = 0;  // failures met so far, all streams together
};
extern FaultLog gFaultLog;

// Starts a fresh log for a run of `c` with the report on `reportFd`.
void ArmFaults(const FaultCase& c, int reportFd);

ssize_t ScheduledRead(int fd, void* buffer, std::size_t size);
ssize_t ScheduledWrite(int fd, const void* buffer, std::size_t size);
int ScheduledTruncate(int fd, off_t length);

}  // namespace decbytes::faults
