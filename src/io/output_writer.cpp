#include "io/output_writer.h"

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

int DefaultTruncate(int fd, off_t length) { return ::ftruncate(fd, length); }

int WriteFully(WriteFunction write, int fd, const char* bytes, std::size_t count,
               std::uint64_t* written) {
  while (count > 0) {
    const ssize_t took = write(fd, bytes, count);
    if (took < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (took == 0) return EIO;  // no progress on a non-empty write: never retry
    if (written != nullptr) *written += static_cast<std::uint64_t>(took);
    bytes += took;
    count -= static_cast<std::size_t>(took);
  }
  return 0;
}

OutputWriter::OutputWriter(int fd, std::size_t capacity, WriteFunction write)
    : fd_(fd),
      write_(write),
      capacity_(capacity),
      buffer_(new char[capacity]),
      cursor_(buffer_.get()),
      limit_(buffer_.get() + capacity) {}

OutputWriter::OutputWriter(ByteSink sink, std::size_t capacity)
    : OutputWriter(-1, capacity, nullptr) {
  sink_ = sink;
}

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
    // Too large for the buffer even when empty: written straight through,
    // after everything collected before it.
    if (bytes.size() > capacity_) return Flush() && WriteAll(bytes.data(), bytes.size());
    if (!MakeRoom(bytes.size())) return false;
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
// or from an earlier failure, when any write failed. A reservation larger
// than the buffer could never be met: it fails the writer (EOVERFLOW) rather
// than hand out room the buffer does not have.
bool OutputWriter::MakeRoom(std::size_t count) {
  if (failed()) return false;
  if (count > capacity_) {
    error_ = EOVERFLOW;
    return false;
  }
  char* const buffer = buffer_.get();
  const std::size_t pending = static_cast<std::size_t>(cursor_ - buffer);
  std::size_t whole = pending - pending % kWriteUnit;
  if (capacity_ - (pending - whole) < count) whole = pending;
  if (!WriteAll(buffer, whole)) return false;
  std::memmove(buffer, buffer + whole, pending - whole);
  cursor_ = buffer + (pending - whole);
  return true;
}

bool OutputWriter::WriteAll(const char* bytes, std::size_t count) {
  if (sink_.take != nullptr) {
    if (count > 0 && !sink_.take(sink_.context, bytes, count)) {
      error_ = ECANCELED;
      return false;
    }
    written_ += count;
    return true;
  }
  const int error = WriteFully(write_, fd_, bytes, count, &written_);
  if (error != 0) error_ = error;
  return error == 0;
}

int CloseChecked(int fd) {
  // A close interrupted by a signal has still released the descriptor on
  // this system, so it is not retried.
  if (::close(fd) == 0 || errno == EINTR) return 0;
  return errno;
}

}  // namespace decbytes
