#include "io/output_writer.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "io/write_queue.h"

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

OutputWriter::OutputWriter(int fd, std::size_t capacity, WriteFunction write)
    : fd_(fd), write_(write), capacity_(capacity) {
  store_.emplace_back(new char[capacity]);
  buffer_ = cursor_ = store_.back().get();
  limit_ = buffer_ + capacity;
}

void OutputWriter::UseQueue(WriteQueue& queue, std::size_t buffers) {
  while (store_.size() < buffers) {
    store_.emplace_back(new char[capacity_]);
    free_.push_back(store_.back().get());
  }
  queue_ = &queue;
}

void OutputWriter::TruncateFirst(TruncateFunction truncate) {
  truncate_ = truncate;
  queue_->Submit(*this, nullptr, 0, 0, 0);
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
    if (!MakeRoom(bytes.size())) return false;
    // Too large for the buffer even when empty: write it straight through,
    // after everything handed over before it.
    if (bytes.size() > static_cast<std::size_t>(limit_ - cursor_)) {
      if (queue_ != nullptr) queue_->Drain();
      return !failed() && WriteAll(bytes.data(), bytes.size());
    }
  }
  std::memcpy(cursor_, bytes.data(), bytes.size());
  cursor_ += bytes.size();
  return true;
}

OutputWriter::~OutputWriter() {
  if (queue_ != nullptr) queue_->Drain();  // no job may outlive its buffer
}

bool OutputWriter::Flush() {
  const std::size_t pending = static_cast<std::size_t>(cursor_ - buffer_);
  if (queue_ == nullptr) {
    if (failed()) return false;
    cursor_ = buffer_;
    return WriteAll(buffer_, pending);
  }
  if (!failed() && pending > 0) HandOver(pending);
  queue_->Drain();
  return !failed();
}

bool OutputWriter::AwaitHandedOver() {
  if (queue_ != nullptr) queue_->Drain();
  return !failed();
}

// Makes room for `count` bytes: writes the whole write units collected and
// moves the rest, less than a unit, to the front of the buffer (of a fresh
// one when the units are handed to the queue); writes everything when that
// rest would leave too little room. Returns false, now or from an earlier
// failure, when any write failed.
bool OutputWriter::MakeRoom(std::size_t count) {
  if (failed()) return false;
  const std::size_t pending = static_cast<std::size_t>(cursor_ - buffer_);
  std::size_t whole = pending - pending % kWriteUnit;
  if (capacity_ - (pending - whole) < count) whole = pending;
  if (queue_ != nullptr) return HandOver(whole);
  if (!WriteAll(buffer_, whole)) return false;
  std::memmove(buffer_, buffer_ + whole, pending - whole);
  cursor_ = buffer_ + (pending - whole);
  return true;
}

// Hands the first `count` bytes of the buffer to the queue and goes on in a
// free buffer, with the bytes after them moved to its front. Returns false
// when a write has failed (this one's, or an earlier one).
bool OutputWriter::HandOver(std::size_t count) {
  char* const fresh = queue_->TakeFree(*this);
  const std::size_t rest = static_cast<std::size_t>(cursor_ - buffer_) - count;
  std::memcpy(fresh, buffer_ + count, rest);
  const std::uint64_t mark = companion_ != nullptr ? companion_->collected() : 0;
  queue_->Submit(*this, buffer_, count, handed_, mark);
  handed_ += count;
  buffer_ = fresh;
  cursor_ = fresh + rest;
  limit_ = fresh + capacity_;
  return !failed();
}

bool OutputWriter::WriteAll(const char* bytes, std::size_t count) {
  const int error = WriteFully(write_, fd_, bytes, count);
  if (error != 0) error_.store(error);
  handed_ += count;
  return error == 0;
}

int CloseChecked(int fd) {
  // A close interrupted by a signal has still released the descriptor on
  // this system, so it is not retried.
  if (::close(fd) == 0 || errno == EINTR) return 0;
  return errno;
}

}  // namespace decbytes
