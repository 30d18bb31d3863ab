// A descriptor owned by one scope: closed when it goes, unless released to
// be closed with its error checked.
#pragma once

#include <unistd.h>

namespace decbytes {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  // Closes a descriptor that was not released: one given up after a failure
  // or an exception, through which nothing was written, so that a failed
  // close changes nothing.
  ~UniqueFd() {
    if (fd_ >= 0) static_cast<void>(::close(fd_));
  }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  UniqueFd& operator=(UniqueFd&&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Hands the descriptor to the caller, who closes it.
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_ = -1;
};

}  // namespace decbytes
