// decbytes: converts a text file of decimal byte values, one per line, into
// a file holding those bytes.
#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include "command_line.h"
#include "standard_descriptors.h"

int main(int argc, char** argv) {
  // A closed standard descriptor would hand its number to the input or the
  // output file, and the report would be written into it. Without a
  // stand-in, nothing can be run safely.
  decbytes::FileId standIn;
  bool anyStandIn = false;
  if (!decbytes::OpenClosedStandardDescriptors(standIn, anyStandIn)) {
    decbytes::WriteError(std::string("Can't open a stand-in for a closed standard descriptor: ") +
                         std::strerror(errno) + "\n");
    return 1;
  }
  // The standard output carries only the report; the output file is the
  // product. With SIGPIPE ignored, a reader of the report that goes away
  // (decbytes IN OUT | head) makes the report's write fail with EPIPE, a
  // standard output error like a full disk, instead of killing the program
  // before the file is complete. SIG_IGN for a valid signal cannot fail.
  static_cast<void>(std::signal(SIGPIPE, SIG_IGN));
  return decbytes::RunCommandLine(argc, argv, anyStandIn ? &standIn : nullptr);
}
