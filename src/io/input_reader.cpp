#include "io/input_reader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace decbytes {

ssize_t DefaultRead(int fd, void* buffer, std::size_t size) { return ::read(fd, buffer, size); }

InputReader::InputReader(int fd, std::size_t blockSize, ReadFunction read)
    : fd_(fd),
      blockSize_(blockSize),
      read_(read),
      storage_(new char[kLookBehind + blockSize]),
      data_(storage_.get() + kLookBehind) {
  std::memset(storage_.get(), '\n', kLookBehind);
}

ssize_t InputReader::Fill() {
  // Keep the last kLookBehind bytes seen, which may reach into the old
  // look-behind when the previous block was short.
  std::memmove(storage_.get(), data_ + length_ - kLookBehind, kLookBehind);
  ssize_t got;
  do {
    got = read_(fd_, data_, blockSize_);
  } while (got < 0 && errno == EINTR);
  length_ = got > 0 ? static_cast<std::size_t>(got) : 0;
  return got;
}

}  // namespace decbytes
