// The conversion core run on memory alone: an input cut into blocks, each
// with the look-behind an input reader keeps, and the output and the report
// collected in memory. No file, no system call and no large buffer made per
// run, so that the fuzz target runs fast; the unit tests run it too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "transfer.h"

namespace decbytes::model {

// The input's name in the warnings of every run.
inline constexpr std::string_view kInputName = "in";

struct MemoryRun {
  std::string output;  // the bytes written
  std::string report;  // the warnings and the summary
  std::uint64_t bytesWritten = 0;
  std::uint64_t illegalLines = 0;
};

// Copies `lookBehind` and then `block` into memory of its own; returns where
// the copy of the block begins. It stays valid until the next call.
using PlaceBlock = const char* (*)(std::string_view lookBehind, std::string_view block);

struct MemoryOptions {
  std::size_t blockSize = 4096;
  FastPathFunction fastPath = nullptr;  // nullptr: the general path alone
  PlaceBlock place = nullptr;           // nullptr: the whole input in one buffer
  std::uint64_t startCount = 0;         // where both counters start
};

// Converts `input` block by block (newlines before the first block, then the
// bytes before each), judges an unfinished last line and adds the summary.
// Writes the output, the report and the counters into `run` (emptied first,
// its strings' room kept). MaxValue must be set.
void ConvertInMemory(std::string_view input, const MemoryOptions& options, MemoryRun& run);

// Returns "" when the general path and every fast path, on blocks of
// `blockSize` placed by `place`, give exactly the model's output, report
// and counts for `input`; otherwise names the first path and what differs.
std::string DifferenceFromModel(std::string_view input, std::size_t blockSize,
                                PlaceBlock place = nullptr);

// The block size a fuzz input asks for with its first byte: 1 to 128 (lines
// straddle blocks, vector paths see short blocks) or 64 to 8192 in steps of
// 64 (vector paths run over many lanes).
std::size_t BlockSizeFor(std::string_view input);

}  // namespace decbytes::model
