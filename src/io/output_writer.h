// Collects bytes and writes them to a file descriptor, or hands them to a
// function of the caller's, in large blocks, whole pages at a time: when the
// buffer fills, what lies past the last page boundary stays behind for the
// next write.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace decbytes {

// The write(2) interface; tests put a failing or a partial one in its place.
using WriteFunction = ssize_t (*)(int fd, const void* buffer, std::size_t size);
ssize_t DefaultWrite(int fd, const void* buffer, std::size_t size);

// Writes all `count` bytes of `bytes` to `fd` through `write`, going on
// after a short or interrupted write. Returns 0, or the errno of the failed
// write (EIO for a write that wrote nothing). Adds to `*written`, when
// given, the bytes `fd` took: all of them, or those before the failure.
int WriteFully(WriteFunction write, int fd, const char* bytes, std::size_t count,
               std::uint64_t* written = nullptr);

// The ftruncate(2) interface; tests put a failing one in its place.
using TruncateFunction = int (*)(int fd, off_t length);
int DefaultTruncate(int fd, off_t length);

// Where a writer hands its bytes when it writes to no descriptor: a function
// of the caller's and its context. The bytes are valid during the call only;
// false refuses them, which fails the writer with ECANCELED.
struct ByteSink {
  bool (*take)(void* context, const char* bytes, std::size_t size) = nullptr;
  void* context = nullptr;
};

// The first failed write sticks: from then on nothing more is written, and
// error() holds the errno of that failure.
class OutputWriter {
 public:
  OutputWriter(int fd, std::size_t capacity, WriteFunction write = DefaultWrite);
  OutputWriter(ByteSink sink, std::size_t capacity);
  OutputWriter(const OutputWriter&) = delete;
  OutputWriter& operator=(const OutputWriter&) = delete;

  // Returns a cursor with at least `count` free bytes behind it, writing out
  // whole pages first when needed; nullptr once a write has failed, or when
  // `count` exceeds the capacity (which fails the writer with EOVERFLOW).
  // The caller writes there and hands the moved cursor back to Commit before
  // any other call.
  char* Reserve(std::size_t count) {
    if (static_cast<std::size_t>(limit_ - cursor_) < count && !MakeRoom(count)) return nullptr;
    return failed() ? nullptr : cursor_;
  }
  void Commit(char* cursor) { cursor_ = cursor; }

  // The bytes that fit before the next write.
  std::size_t room() const { return static_cast<std::size_t>(limit_ - cursor_); }

  // Gives a writer made without a descriptor the one it writes to.
  void Attach(int fd) { fd_ = fd; }

  // Appends one byte or a run of bytes; false once a write has failed.
  bool Put(char byte);
  bool Append(std::string_view bytes);

  // Writes everything collected so far, whole pages or not. Returns false,
  // now or from an earlier failure, when any write failed.
  bool Flush();

  bool failed() const { return error_ != 0; }
  int error() const { return error_; }
  // The bytes the descriptor took, those of a write that failed part-way
  // included: after a failure, fewer than were handed over.
  std::uint64_t written() const { return written_; }

 private:
  bool MakeRoom(std::size_t count);
  bool WriteAll(const char* bytes, std::size_t count);

  int fd_;
  WriteFunction write_;
  ByteSink sink_;  // used in place of the descriptor when it has a function
  std::size_t capacity_;
  std::unique_ptr<char[]> buffer_;
  char* cursor_;
  char* limit_;
  int error_ = 0;  // the errno of the first failed write; 0 while none failed
  std::uint64_t written_ = 0;
};

// Closes `fd`; returns 0, or the errno of a failed close.
int CloseChecked(int fd);

}  // namespace decbytes
