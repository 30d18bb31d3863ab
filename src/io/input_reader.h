// Reads a file descriptor in large blocks, each kept behind a few bytes of
// the one before it.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <memory>

namespace decbytes {

// The read(2) interface; tests put a failing one in its place.
using ReadFunction = ssize_t (*)(int fd, void* buffer, std::size_t size);
ssize_t DefaultRead(int fd, void* buffer, std::size_t size);

inline constexpr std::size_t kDefaultBlockSize = 256 * 1024;

class InputReader {
 public:
  // Bytes kept before each block: the tail of the previous block, or
  // newlines before the first one, so that a scan may look behind a block's
  // first byte as if the input were one piece.
  static constexpr std::size_t kLookBehind = 16;

  InputReader(int fd, std::size_t blockSize, ReadFunction read);

  // Gives a reader made before its file was open (fd -1) the descriptor.
  void Attach(int fd) { fd_ = fd; }

  // Reads the next block, retrying on EINTR. Returns the number of bytes
  // read (0 at the end of the input), or -1 with errno set on a read error.
  // Call it no more after it returned 0 or -1.
  ssize_t Fill();

  const char* begin() const { return data_; }
  const char* end() const { return data_ + length_; }

 private:
  int fd_;
  std::size_t blockSize_;
  ReadFunction read_;
  std::unique_ptr<char[]> storage_;  // kLookBehind bytes, then the block
  char* data_;
  std::size_t length_ = 0;
};

}  // namespace decbytes
