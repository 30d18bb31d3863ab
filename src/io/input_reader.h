// Reads a file descriptor in large blocks, here or ahead on a thread of its
// own into a small ring of blocks.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

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
  // Stops the reading thread, if any.
  ~InputReader();
  InputReader(const InputReader&) = delete;
  InputReader& operator=(const InputReader&) = delete;

  // From now on reads ahead on a thread of its own, into `blocks` blocks in
  // all (at least 2). Call it before the first Fill. Returns false, and
  // goes on reading here, when the thread cannot be started.
  bool ReadAhead(std::size_t blocks);

  // Gives the next block, retrying reads on EINTR. Returns the number of
  // bytes read (0 at the end of the input), or -1 with errno set on a read
  // error. Call it no more after it returned 0 or -1.
  ssize_t Fill();

  const char* begin() const { return data_; }
  const char* end() const { return data_ + length_; }

 private:
  struct Block {
    std::unique_ptr<char[]> storage;  // kLookBehind bytes, then the block
    ssize_t got = 0;                  // what the read returned
    int error = 0;                    // its errno when it failed
  };

  ssize_t ReadBlock(char* into, int& error);
  ssize_t FillAhead();
  void RunReader();

  int fd_;
  std::size_t blockSize_;
  ReadFunction read_;
  std::vector<Block> blocks_;  // one when reading here, the ring when ahead
  char* data_;
  std::size_t length_ = 0;

  // Reading ahead: the thread fills blocks_[filled_ % size] while fewer
  // than all are ready; the caller takes them in the same order.
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t ready_ = 0;  // blocks read and not given back, the held one included
  std::size_t taken_ = 0;  // blocks the caller has taken
  bool holding_ = false;   // the caller holds blocks_[(taken_ - 1) % size]
  bool stopping_ = false;
  std::thread reader_;
};

}  // namespace decbytes
