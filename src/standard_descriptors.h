// The program's standard descriptors, made sure to be open before it opens
// any file of its own.
#pragma once

namespace decbytes {

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, so that
// no file the program opens later can take its number and receive what is
// meant for a standard stream (the report landing in the output file). Each
// is opened the other way round from its use: descriptor 0 for writing only,
// 1 and 2 for reading only, so that using a stream that was closed still
// fails (EBADF) as it did, rather than reading nothing or writing into the
// void. Returns false when a closed one could not be opened.
bool OpenClosedStandardDescriptors();

}  // namespace decbytes
