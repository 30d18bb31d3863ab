// The command line: operands, help options, messages on stderr, exit status.
#pragma once

namespace decbytes {

// Runs the program on its command line; returns the exit status: 0 for a
// completed transfer or a help request, 1 for any failure, 2 for a command
// line of the wrong shape.
int RunCommandLine(int argc, char** argv);

}  // namespace decbytes
