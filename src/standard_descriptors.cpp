#include "standard_descriptors.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "io/unique_fd.h"

namespace decbytes {

namespace {

bool IsClosed(int fd) { return ::fcntl(fd, F_GETFD) < 0 && errno == EBADF; }

// Moves an end of the pipe above the standard descriptors, where it stays
// open, close-on-exec, for the life of the process.
int KeepAboveStandard(int fd) {
  const UniqueFd original(fd);
  return ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
}

}  // namespace

bool OpenClosedStandardDescriptors(FileId& standIn, bool& any) {
  bool closed[STDERR_FILENO + 1];
  any = false;
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    closed[fd] = IsClosed(fd);
    any = any || closed[fd];
  }
  if (!any) return true;
  // The pipe may take closed standard numbers itself; both ends are moved up
  // first, then copied onto the closed ones.
  int ends[2];
  if (::pipe(ends) != 0) return false;
  const int readEnd = KeepAboveStandard(ends[0]);
  const int writeEnd = KeepAboveStandard(ends[1]);
  if (readEnd < 0 || writeEnd < 0 || !FileIdOfDescriptor(readEnd, standIn)) return false;
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (closed[fd] && ::dup2(fd == STDIN_FILENO ? writeEnd : readEnd, fd) != fd) return false;
  }
  return true;
}

}  // namespace decbytes
