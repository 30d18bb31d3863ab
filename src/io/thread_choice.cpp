#include "io/thread_choice.h"

#include <sched.h>
#include <sys/stat.h>

namespace decbytes {

namespace {

// The number of CPUs this process may run on; 1 when that cannot be told.
int CpusAvailable() {
  cpu_set_t cpus;
  CPU_ZERO(&cpus);
  if (::sched_getaffinity(0, sizeof cpus, &cpus) != 0) return 1;
  return CPU_COUNT(&cpus);
}

}  // namespace

bool UseThreads(Threads threads, const struct stat& input) {
  switch (threads) {
    case Threads::On:
      return true;
    case Threads::Off:
      return false;
    case Threads::Auto:
      break;
  }
  return S_ISREG(input.st_mode) && input.st_size >= kThreadsFromBytes && CpusAvailable() > 1;
}

bool WriteBehind(int fd) {
  struct stat target;
  if (::fstat(fd, &target) != 0 || !S_ISCHR(target.st_mode)) return true;
  struct stat null;
  return ::stat("/dev/null", &null) != 0 || !S_ISCHR(null.st_mode) ||
         target.st_rdev != null.st_rdev;
}

}  // namespace decbytes
