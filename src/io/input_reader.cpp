#include "io/input_reader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace decbytes {

ssize_t DefaultRead(int fd, void* buffer, std::size_t size) { return ::read(fd, buffer, size); }

InputReader::InputReader(int fd, std::size_t blockSize, ReadFunction read)
    : fd_(fd), blockSize_(blockSize), read_(read) {
  blocks_.emplace_back();
  blocks_[0].storage.reset(new char[kLookBehind + blockSize]);
  std::memset(blocks_[0].storage.get(), '\n', kLookBehind);
  data_ = blocks_[0].storage.get() + kLookBehind;
}

InputReader::~InputReader() {
  if (!reader_.joinable()) return;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  reader_.join();
}

bool InputReader::ReadAhead(std::size_t blocks) {
  while (blocks_.size() < blocks) {
    blocks_.emplace_back();
    blocks_.back().storage.reset(new char[kLookBehind + blockSize_]);
  }
  try {
    reader_ = std::thread([this] { RunReader(); });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

// Reads one block into `into`, retrying on EINTR; returns what the read
// returned, with `error` set to its errno when it failed.
ssize_t InputReader::ReadBlock(char* into, int& error) {
  ssize_t got;
  do {
    got = read_(fd_, into, blockSize_);
  } while (got < 0 && errno == EINTR);
  error = got < 0 ? errno : 0;
  return got;
}

ssize_t InputReader::Fill() {
  if (reader_.joinable()) return FillAhead();
  // Keep the last kLookBehind bytes seen, which may reach into the old
  // look-behind when the previous block was short.
  std::memmove(blocks_[0].storage.get(), data_ + length_ - kLookBehind, kLookBehind);
  int error;
  const ssize_t got = ReadBlock(data_, error);
  length_ = got > 0 ? static_cast<std::size_t>(got) : 0;
  if (got < 0) errno = error;
  return got;
}

// Takes the next block the thread has read, with the last bytes of the one
// before as its look-behind, and gives that one back to the thread.
ssize_t InputReader::FillAhead() {
  const std::size_t ring = blocks_.size();
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return ready_ > (holding_ ? 1u : 0u); });
  lock.unlock();
  Block& next = blocks_[taken_ % ring];
  std::memmove(next.storage.get(), data_ + length_ - kLookBehind, kLookBehind);
  lock.lock();
  if (holding_) --ready_;
  holding_ = true;
  ++taken_;
  lock.unlock();
  changed_.notify_all();
  data_ = next.storage.get() + kLookBehind;
  length_ = next.got > 0 ? static_cast<std::size_t>(next.got) : 0;
  if (next.got < 0) errno = next.error;
  return next.got;
}

// The reading thread: fills the free blocks in turn until the end of the
// input, a read error or the reader's end.
void InputReader::RunReader() {
  const std::size_t ring = blocks_.size();
  for (std::size_t filled = 0;; ++filled) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [this, ring] { return ready_ < ring || stopping_; });
      if (stopping_) return;
    }
    Block& block = blocks_[filled % ring];
    block.got = ReadBlock(block.storage.get() + kLookBehind, block.error);
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      ++ready_;
    }
    changed_.notify_all();
    if (block.got <= 0) return;
  }
}

}  // namespace decbytes
