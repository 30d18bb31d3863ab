// The transfer as tests and tools steer it: where its report goes, how it
// reads and writes, its block size and its fast path.
#pragma once

#include <cstddef>

#include <decbytes/decbytes.h>
#include "fast/fast_path.h"
#include "io/file_id.h"
#include "io/input_reader.h"
#include "io/output_writer.h"
#include "report.h"

namespace decbytes {

// The output's buffer: its writes are of 256 KiB (whole pages), and it
// holds a page more, so that a reservation of up to a page still fits once
// 256 KiB have gathered.
inline constexpr std::size_t kOutputBufferSize = 256 * 1024 + 4096;
// The least output buffer with a fast path: the most it reserves at once.
// The general path alone puts one byte at a time, into a buffer of any size.
inline constexpr std::size_t kLeastOutputBufferSize = 4096;

// The defaults are the program's own. Tests narrow the blocks and the
// buffers, or interrupt, shorten or fail the reads, the writes (of the
// output and the report) and the output's truncation through these.
struct TransferIo {
  int reportFd = 1;
  // A file that stands in for the program's closed standard descriptors: a
  // name that reaches it fails to open (EBADF). nullptr: none.
  const FileId* standIn = nullptr;
  ReadFunction read = DefaultRead;
  WriteFunction write = DefaultWrite;
  TruncateFunction truncate = DefaultTruncate;
  std::size_t blockSize = kDefaultBlockSize;
  std::size_t outputBufferSize = kOutputBufferSize;  // see kLeastOutputBufferSize
  std::size_t reportBufferSize = kReportBufferSize;
  FastPathFunction fastPath = ConvertLinesFast;
};

// As transfer(inputName, outputName), steered by `io`.
TransferResult transfer(const char* inputName, const char* outputName, const TransferIo& io);

// As TransferDescriptors(inputFd, outputFd, io.reportFd, inputName), steered
// by `io` (its truncation and stand-in unused).
TransferResult TransferDescriptors(int inputFd, int outputFd, const char* inputName,
                                   const TransferIo& io);

}  // namespace decbytes
