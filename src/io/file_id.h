// Which file a name or a descriptor leads to, so that two ways of reaching
// one file are told apart from two files.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

namespace decbytes {

struct FileId {
  dev_t device = 0;
  ino_t inode = 0;
  mode_t mode = 0;
};

// The file `name` leads to (symbolic links followed, /dev/stdin and the like
// included); false, with errno set, when there is none.
bool FileIdOfName(const char* name, FileId& id);

// The file the open descriptor `fd` refers to; false, with errno set, when
// it is not open.
bool FileIdOfDescriptor(int fd, FileId& id);

// True when `a` and `b` are one file whose content a write to it would take
// from a read of it: a regular file (writing it changes what is read), or a
// pipe or FIFO (a writer to it feeds its own reader). Devices, terminals
// among them, are shared by nature and never count.
bool OneDataFile(const FileId& a, const FileId& b);

// True when `a` and `b` are one file of any kind.
inline bool SameFile(const FileId& a, const FileId& b) {
  return a.device == b.device && a.inode == b.inode;
}

}  // namespace decbytes
