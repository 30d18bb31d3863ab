// Collects bytes and writes them to a file descriptor in large blocks, whole
// pages at a time: when the buffer fills, what lies past the last page
// boundary stays behind for the next write. The writes are made here, or by
// a WriteQueue's thread in the same order and sizes.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace decbytes {

class WriteQueue;

// The write(2) interface; tests put a failing or a partial one in its place.
using WriteFunction = ssize_t (*)(int fd, const void* buffer, std::size_t size);
ssize_t DefaultWrite(int fd, const void* buffer, std::size_t size);

// Writes all `count` bytes of `bytes` to `fd` through `write`, going on
// after a short or interrupted write. Returns 0, or the errno of the failed
// write (EIO for a write that wrote nothing).
int WriteFully(WriteFunction write, int fd, const char* bytes, std::size_t count);

// The ftruncate(2) interface; tests put a failing one in its place.
using TruncateFunction = int (*)(int fd, off_t length);
int DefaultTruncate(int fd, off_t length);

// The first failed write sticks: from then on nothing more is written, and
// error() holds the errno of that failure.
class OutputWriter {
 public:
  OutputWriter(int fd, std::size_t capacity, WriteFunction write = DefaultWrite);
  ~OutputWriter();
  OutputWriter(const OutputWriter&) = delete;
  OutputWriter& operator=(const OutputWriter&) = delete;

  // From now on hands its blocks to `queue` instead of writing them, with
  // `buffers` buffers in all (at least 2) so that it fills one while others
  // are written. The queue must outlive the writer's last Flush.
  void UseQueue(WriteQueue& queue, std::size_t buffers);
  bool queued() const { return queue_ != nullptr; }

  // Makes `companion` write none of the bytes it collects after this
  // writer's failed block was handed over: once the output fails, no
  // warning about a later line reaches the report.
  void CutsWith(OutputWriter& companion) { companion_ = &companion; }

  // Has the queue truncate the file to nothing through `truncate` before
  // its first write. A failure of the truncation fails the writer like a
  // failed write, with truncateFailed() true, and the companion writes
  // nothing.
  void TruncateFirst(TruncateFunction truncate);
  bool truncateFailed() const { return truncateFailed_; }

  // Returns a cursor with at least `count` free bytes behind it (count must
  // not exceed the capacity), writing out whole pages first when needed;
  // nullptr once a write has failed. The caller writes there and hands the
  // moved cursor back to Commit before any other call.
  char* Reserve(std::size_t count) {
    if (static_cast<std::size_t>(limit_ - cursor_) < count && !MakeRoom(count)) return nullptr;
    return failed() ? nullptr : cursor_;
  }
  void Commit(char* cursor) { cursor_ = cursor; }

  // Appends one byte or a run of bytes; false once a write has failed.
  bool Put(char byte);
  bool Append(std::string_view bytes);

  // Writes everything collected so far, whole pages or not, and waits for
  // it. Returns false, now or from an earlier failure, when any write failed.
  bool Flush();

  // Waits until every block handed to the queue is written, without handing
  // over what is still collected. Returns false when any write failed.
  bool AwaitHandedOver();

  bool failed() const { return error_.load(std::memory_order_relaxed) != 0; }
  int error() const { return error_.load(); }

 private:
  friend class WriteQueue;

  bool MakeRoom(std::size_t count);
  bool HandOver(std::size_t count);
  bool WriteAll(const char* bytes, std::size_t count);
  std::uint64_t collected() const {
    return handed_ + static_cast<std::uint64_t>(cursor_ - buffer_);
  }

  int fd_;
  WriteFunction write_;
  std::size_t capacity_;
  std::vector<std::unique_ptr<char[]>> store_;  // every buffer it has
  char* buffer_;                                // the one being filled
  char* cursor_;
  char* limit_;
  std::atomic<int> error_{0};
  std::uint64_t handed_ = 0;  // bytes written or handed over so far

  WriteQueue* queue_ = nullptr;
  std::vector<char*> free_;  // buffers not in use (the queue's lock)
  OutputWriter* companion_ = nullptr;
  TruncateFunction truncate_ = DefaultTruncate;  // the queue's truncation
  std::uint64_t writeLimit_ = UINT64_MAX;  // bytes past it are not written (the queue's thread)
  bool truncateFailed_ = false;            // set by the queue's thread, read after a Drain
};

// Closes `fd`; returns 0, or the errno of a failed close.
int CloseChecked(int fd);

}  // namespace decbytes
