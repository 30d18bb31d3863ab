// The program's standard descriptors, made sure to be open before it opens
// any file of its own.
#pragma once

#include "io/file_id.h"

namespace decbytes {

// Gives each of descriptors 0, 1 and 2 that is closed a stand-in, so that
// no file the program opens later can take its number and receive what is
// meant for a standard stream (the report landing in the output file). The
// stand-ins are the two ends of one pipe, made for the purpose and kept
// open for the life of the process: descriptor 0 gets the writing end, 1
// and 2 the reading end, so that using a stream that was closed still fails
// (EBADF) as it did, rather than reading nothing or writing into the void.
// `standIn` receives the pipe's identity, by which a name that reaches a
// stand-in (/dev/stdin, /dev/fd/N) is refused as the closed descriptor
// would have been; `any` tells whether one was made. Returns false, with
// errno set, when a closed one could not be given a stand-in.
bool OpenClosedStandardDescriptors(FileId& standIn, bool& any);

}  // namespace decbytes
