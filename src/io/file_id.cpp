#include "io/file_id.h"

namespace decbytes {

namespace {

FileId FromStatus(const struct stat& status) {
  return {status.st_dev, status.st_ino, status.st_mode};
}

}  // namespace

bool FileIdOfName(const char* name, FileId& id) {
  struct stat status;
  if (::stat(name, &status) != 0) return false;
  id = FromStatus(status);
  return true;
}

bool FileIdOfDescriptor(int fd, FileId& id) {
  struct stat status;
  if (::fstat(fd, &status) != 0) return false;
  id = FromStatus(status);
  return true;
}

bool OneDataFile(const FileId& a, const FileId& b) {
  const bool dataFile = S_ISREG(a.mode) || S_ISFIFO(a.mode);
  return dataFile && SameFile(a, b);
}

}  // namespace decbytes
