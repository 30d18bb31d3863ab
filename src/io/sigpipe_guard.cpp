#include "io/sigpipe_guard.h"

#include <pthread.h>

#include <cerrno>
#include <ctime>

namespace decbytes {

namespace {

sigset_t SigpipeOnly() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGPIPE);
  return set;
}

// True when SIGPIPE is pending for the calling thread or the process. A
// failed sigpending (it cannot fail with a valid pointer) counts as pending,
// so that nothing is taken back that might not be the transfer's.
bool SigpipePending() {
  sigset_t pending;
  if (sigpending(&pending) != 0) return true;
  return sigismember(&pending, SIGPIPE) == 1;
}

}  // namespace

SigpipeGuard::SigpipeGuard() {
  const sigset_t sigpipe = SigpipeOnly();
  blocked_ = pthread_sigmask(SIG_BLOCK, &sigpipe, &previousMask_) == 0;
  pendingBefore_ = blocked_ && SigpipePending();
}

SigpipeGuard::~SigpipeGuard() {
  if (!blocked_) return;
  if (!pendingBefore_) {
    // A failed write raises SIGPIPE for the thread that made it; with the
    // signal blocked it waits here, and is taken without waiting. EAGAIN:
    // none was raised. EINTR: a handler ran first; try again.
    const sigset_t sigpipe = SigpipeOnly();
    const timespec noWait{};
    while (sigtimedwait(&sigpipe, nullptr, &noWait) < 0 && errno == EINTR) {
    }
  }
  // Restoring a mask that pthread_sigmask gave cannot fail.
  static_cast<void>(pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr));
}

}  // namespace decbytes
