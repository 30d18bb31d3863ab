#include "output_writer.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace decbytes {

ssize_t DefaultWrite(int fd, const void* buffer, std::size_t size) {
  return ::write(fd, buffer, size);
}

OutputWriter::OutputWriter(int fd, std::size_t capacity, WriteFunction write)
    : fd_(fd),
      write_(write),
      buffer_(new char[capacity]),
      cursor_(buffer_.get()),
      limit_(buffer_.get() + capacity) {}

bool OutputWriter::Put(char byte) {
  char* cursor = Reserve(1);
  if (cursor == nullptr) return false;
  *cursor = byte;
  cursor_ = cursor + 1;
  return true;
}

bool OutputWriter::Append(std::string_view bytes) {
  if (failed()) return false;
  if (bytes.size() > static_cast<std::size_t>(limit_ - cursor_)) {
    if (!Flush()) return false;
    // Too large for the buffer even when empty: write it straight through.
    if (bytes.size() > static_cast<std::size_t>(limit_ - cursor_)) {
      return WriteAll(bytes.data(), bytes.size());
    }
  }
  std::memcpy(cursor_, bytes.data(), bytes.size());
  cursor_ += bytes.size();
  return true;
}

bool OutputWriter::Flush() {
  if (failed()) return false;
  const std::size_t pending = static_cast<std::size_t>(cursor_ - buffer_.get());
  cursor_ = buffer_.get();
  return WriteAll(buffer_.get(), pending);
}

bool OutputWriter::WriteAll(const char* bytes, std::size_t count) {
  while (count > 0) {
    const ssize_t written = write_(fd_, bytes, count);
    if (written < 0) {
      if (errno == EINTR) continue;
      error_ = errno;
      return false;
    }
    if (written == 0) {  // no progress on a non-empty write: never retry
      error_ = EIO;
      return false;
    }
    bytes += written;
    count -= static_cast<std::size_t>(written);
  }
  return true;
}

int CloseChecked(int fd) {
  // A close interrupted by a signal has still released the descriptor on
  // this system, so it is not retried.
  if (::close(fd) == 0 || errno == EINTR) return 0;
  return errno;
}

}  // namespace decbytes
