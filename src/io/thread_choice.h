// Whether a transfer reads, converts and writes on threads of their own.
#pragma once

#include <sys/stat.h>

#include <cstdint>

namespace decbytes {

enum class Threads {
  Auto,  // where they pay: see UseThreads
  Off,   // read, convert and write in turn on the calling thread
  On,    // read ahead and write behind on threads of their own
};

// Inputs from this size on are read and written on threads of their own.
// Below it the threads cost more than the overlap gains: measured on two
// CPUs, they lost on inputs of 1 MiB, broke even about 4 to 8 MiB and
// gained from 16 MiB on. A later measurement on the same kind of machine
// found them paying at no size (doc/speed.md): the size stands until that
// is settled.
inline constexpr std::int64_t kThreadsFromBytes = std::int64_t{16} << 20;

// True when a transfer of the input described by `input` should use the
// reading and writing threads: always for On, never for Off; for Auto, when
// the input is a regular file of kThreadsFromBytes or more and the process
// may run on more than one CPU. A pipe or a device may block a read without
// end, and a reading thread blocked there could not be stopped, so they are
// read on the calling thread.
bool UseThreads(Threads threads, const struct stat& input);

// True when, with the threads, the writes to `fd` should go to the writing
// thread: all but those to the null device, which cost nothing and reach no
// one, so that handing them over block by block would only slow the
// transfer down (a report of warnings thrown away, or an output when only
// the report is wanted).
bool WriteBehind(int fd);

}  // namespace decbytes
