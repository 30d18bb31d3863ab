// The real transfer under a fault schedule, on files that live in memory
// (regular files, so that the threads run on them when forced), checked
// against the line-by-line model and against itself on one thread.
#pragma once

#include <string>

#include "fault_schedule.h"

namespace decbytes::faults {

// Runs the transfer of `c` on one thread, and again with the threads forced
// on when `c.threads` says so, each under `c`'s schedule. Returns "" when:
// - with no failure, the output, the report and the counts are the model's;
// - with failures, the status and errno are those of the first failure met,
//   the output is a prefix of the model's holding exactly the bytes written
//   before its failure, the report a prefix of the model's (without the
//   summary when the output or the input failed), and no stream was read or
//   written after its failure;
// - the threaded run gives the single-threaded run's status, errors, output
//   and report, byte for byte.
// Otherwise returns what differs. Sets MaxValue to the bound of a byte.
std::string FaultRunDifference(const FaultCase& c);

}  // namespace decbytes::faults
