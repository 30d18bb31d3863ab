// decbytes: converts a text file of decimal byte values, one per line, into
// a file holding those bytes.
#include <csignal>

#include "command_line.h"

int main(int argc, char** argv) {
  // The standard output carries only the report; the output file is the
  // product. With SIGPIPE ignored, a reader of the report that goes away
  // (decbytes IN OUT | head) makes the report's write fail with EPIPE, a
  // standard output error like a full disk, instead of killing the program
  // before the file is complete. SIG_IGN for a valid signal cannot fail.
  static_cast<void>(std::signal(SIGPIPE, SIG_IGN));
  return decbytes::RunCommandLine(argc, argv);
}
