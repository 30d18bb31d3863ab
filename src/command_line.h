// The command line: operands, help options, messages on stderr, exit status.
#pragma once

#include <string>

#include "io/file_id.h"

namespace decbytes {

// Runs the program on its command line; returns the exit status: 0 for a
// completed transfer or a help request, 1 for any failure, 2 for a command
// line of the wrong shape. `standIn` is the file standing in for closed
// standard descriptors (nullptr: none), which no name may reach.
int RunCommandLine(int argc, char** argv, const FileId* standIn = nullptr);

// Writes a whole message to stderr in one call. A failure to write there is
// left unreported: there is nowhere else to report it.
void WriteError(const std::string& message);

}  // namespace decbytes
