#include "output_writer.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace decbytes {

namespace {
// The unit of the writes made while the buffer fills: the page size of the
// systems the program is built for (4 KiB), so that writes stay page-aligned
// in the file.
constexpr std::size_t kWriteUnit = 4096;
}  // namespace

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
    if (!MakeRoom(bytes.size())) return false;
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

// Makes room for `count` bytes: writes the whole write units collected and
// moves the rest, less than a unit, to the front of the buffer; writes
// everything when that rest would leave too little room. Returns false, now
// or from an earlier failure, when any write failed.
bool OutputWriter::MakeRoom(std::size_t count) {
  if (failed()) return false;
  char* const start = buffer_.get();
  const std::size_t pending = static_cast<std::size_t>(cursor_ - start);
  std::size_t whole = pending - pending % kWriteUnit;
  if (static_cast<std::size_t>(limit_ - start) - (pending - whole) < count) whole = pending;
  if (!WriteAll(start, whole)) return false;
  std::memmove(start, start + whole, pending - whole);
  cursor_ = start + (pending - whole);
  return true;
}

int WriteFully(WriteFunction write, int fd, const char* bytes, std::size_t count) {
  while (count > 0) {
    const ssize_t written = write(fd, bytes, count);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (written == 0) return EIO;  // no progress on a non-empty write: never retry
    bytes += written;
    count -= static_cast<std::size_t>(written);
  }
  return 0;
}

bool OutputWriter::WriteAll(const char* bytes, std::size_t count) {
  error_ = WriteFully(write_, fd_, bytes, count);
  return error_ == 0;
}

int CloseChecked(int fd) {
  // A close interrupted by a signal has still released the descriptor on
  // this system, so it is not retried.
  if (::close(fd) == 0 || errno == EINTR) return 0;
  return errno;
}

}  // namespace decbytes
