// Keeps SIGPIPE from ending the process while a transfer writes, without
// touching any signal's disposition: the signal is blocked on the calling
// thread for the guard's life, so a write to a pipe whose reader has gone
// fails with EPIPE, and the SIGPIPE that write raised is taken back before
// the thread's mask is restored.
#pragma once

#include <signal.h>

namespace decbytes {

class SigpipeGuard {
 public:
  // Blocks SIGPIPE on the calling thread and notes whether one was already
  // pending (for the thread or the process), which is then left as it is.
  SigpipeGuard();
  // Takes back a SIGPIPE pending for this thread or the process that was
  // not pending when the guard was made, then restores the thread's mask.
  // May change errno: the transfer keeps the caller's around it.
  ~SigpipeGuard();
  SigpipeGuard(const SigpipeGuard&) = delete;
  SigpipeGuard& operator=(const SigpipeGuard&) = delete;

 private:
  sigset_t previousMask_;
  bool blocked_ = false;        // the mask was changed, so is restored
  bool pendingBefore_ = false;  // a SIGPIPE was pending before the guard
};

}  // namespace decbytes
