// The transfer as tests and tools steer it: where its report goes, how it
// reads and writes, its block size and its fast path.
#pragma once

#include <cstddef>

#include "decbytes.h"
#include "fast/fast_path.h"
#include "input_reader.h"
#include "output_writer.h"
#include "thread_choice.h"

namespace decbytes {

// The defaults are the program's own. Tests narrow the blocks, or interrupt,
// shorten or fail the reads and the writes (of the output and the report)
// through these.
struct TransferIo {
  int reportFd = 1;
  ReadFunction read = DefaultRead;
  WriteFunction write = DefaultWrite;
  std::size_t blockSize = kDefaultBlockSize;
  FastPathFunction fastPath = ConvertLinesFast;
  Threads threads = Threads::Auto;
};

// As transfer(inputName, outputName), steered by `io`.
TransferResult transfer(const char* inputName, const char* outputName, const TransferIo& io);

}  // namespace decbytes
