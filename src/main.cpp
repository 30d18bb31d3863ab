// decbytes: converts a text file of decimal byte values, one per line, into
// a file holding those bytes.
#include "command_line.h"

int main(int argc, char** argv) { return decbytes::RunCommandLine(argc, argv); }
