// The real transfer under a fault schedule, on files that live in memory
// (regular files, so that the output's truncation is met too), checked
// against the line-by-line model.
#pragma once

#include <string>

#include <decbytes/decbytes.h>
#include "fault_schedule.h"
#include "line_model.h"

namespace decbytes::faults {

// What a run under a schedule gave: its result and what each stream met.
struct Observed {
  TransferResult result;
  StreamLog input;
  StreamLog output;  // its bytes: the output file's contents
  StreamLog report;  // its bytes: what the report stream received
};

// Runs the transfer of `c` under its schedule.
Observed RunFaultCase(const FaultCase& c);

// What the transfer of `c` gives with no fault, by the line-by-line model.
model::Expected Faultless(const FaultCase& c);

// The oracle: returns "" when `o`, a run of `c`, is what the schedule allows
// of a transfer whose faultless result is `e`:
// - no stream was read or written after its failure;
// - every fault within the run's reach was met: the output's truncation,
//   once, through its seam, and each stream's failure when it made that
//   many calls;
// - the status and errno are those of the first failure of the input or the
//   output, and the report's error that of the report's failure;
// - bytesWritten counts the bytes the output received, after a failure too;
// - the output is a prefix of the model's, and the report too, without the
//   summary when the output or the input failed;
// - with no failure of the input or the output, the output, the counts and
//   (unless it failed) the report are the model's.
// Otherwise returns what differs.
std::string CheckFaultRun(const FaultCase& c, const Observed& o, const model::Expected& e);

// Runs `c` and checks it against the model; "" or what differs. Sets
// MaxValue to the bound of a byte.
std::string FaultRunDifference(const FaultCase& c);

}  // namespace decbytes::faults
