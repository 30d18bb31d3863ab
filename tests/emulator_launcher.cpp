// A native stand-in for a program built for another processor: it runs the
// program under the build's emulator (qemu-user), so that the tests can
// start it as they start a native one. The program sees the argv[0] this
// launcher was started with, as typed (the usage line prints it).
//
// Built with the host's compiler when the build cross-compiles, in two
// forms:
//   with DECBYTES_LAUNCHED_PROGRAM  launcher ARGS...          runs that program
//   without it                      launcher PROGRAM ARGS...  runs PROGRAM
// The emulator's command comes from emulator_launcher_config.h, which
// defines kEmulator as a null-terminated array of its words.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "emulator_launcher_config.h"

namespace {

// Returns the emulator's command line for `program`, started as `argv0`
// with `args` (`count` of them): the emulator's words, its option for
// argv[0], the program and the arguments, null-terminated.
std::vector<char*> EmulatorCommand(const char* program, const char* argv0, char** args, int count) {
  std::vector<char*> command;
  for (const char* const* word = kEmulator; *word != nullptr; ++word) {
    command.push_back(const_cast<char*>(*word));
  }
  command.push_back(const_cast<char*>("-0"));
  command.push_back(const_cast<char*>(argv0));
  command.push_back(const_cast<char*>(program));
  command.insert(command.end(), args, args + count);
  command.push_back(nullptr);
  return command;
}

}  // namespace

// Replaces this process with the emulator running the program; returns 127
// with a message on stderr when the emulator cannot be started, 2 with the
// usage line when the generic form is given no program.
int main(int argc, char** argv) {
#ifdef DECBYTES_LAUNCHED_PROGRAM
  const char* program = DECBYTES_LAUNCHED_PROGRAM;
  const char* argv0 = argc > 0 ? argv[0] : program;
  const int first = argc > 0 ? 1 : 0;
#else
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PROGRAM [ARGUMENT...]\n", argv[0]);
    return 2;
  }
  const char* program = argv[1];
  const char* argv0 = argv[1];
  const int first = 2;
#endif
  std::vector<char*> command = EmulatorCommand(program, argv0, argv + first, argc - first);
  ::execvp(command[0], command.data());
  std::fprintf(stderr, "%s: cannot run %s: %s\n", argv[0], command[0], std::strerror(errno));
  return 127;
}
