// decbytes_fast_path: the transfer with one named fast path, and the
// reading and writing threads forced on or off, for the benchmark, which
// times each vector unit's path and each way of running on its own.
//
// usage: decbytes_fast_path --list
//        decbytes_fast_path [--threads=on|--threads=off] NAME INPUT OUTPUT
//
// --list prints the fast paths this processor can run, one name a line, the
// portable one first and the fastest last. Otherwise converts INPUT into
// OUTPUT as decbytes does, through the fast path NAME (`best`: the one
// decbytes takes), with the threads as decbytes chooses them unless forced;
// exits 0 when the transfer completed, 1 when it failed, 2 for a wrong
// command line or a path this processor cannot run.
#include <cstdio>
#include <cstring>
#include <vector>

#include "fast/fast_path.h"
#include "transfer.h"

namespace {

// Prints the names of the available fast paths; returns the exit status.
int ListPaths() {
  for (const decbytes::FastPathVariant& path : decbytes::RunnableFastPaths()) {
    if (std::printf("%s\n", path.name) < 0) return 1;
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}

// Returns the fast path named `name`, or nullptr when this processor runs
// none of that name.
decbytes::FastPathFunction FindPath(const char* name) {
  if (std::strcmp(name, "best") == 0) return decbytes::ConvertLinesFast;
  for (const decbytes::FastPathVariant& path : decbytes::RunnableFastPaths()) {
    if (std::strcmp(path.name, name) == 0) return path.function;
  }
  return nullptr;
}

// Runs the transfer through the fast path `name`; returns the exit status.
int Convert(decbytes::Threads threads, const char* name, const char* input, const char* output) {
  decbytes::TransferIo io;
  io.fastPath = FindPath(name);
  io.threads = threads;
  if (io.fastPath == nullptr) {
    static_cast<void>(std::fprintf(stderr, "decbytes_fast_path: no fast path '%s' here\n", name));
    return 2;
  }
  decbytes::SetByteBound();
  const decbytes::TransferResult result = decbytes::transfer(input, output, io);
  return result.status == decbytes::TransferStatus::Completed ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--list") == 0) return ListPaths();
  if (argc == 4) return Convert(decbytes::Threads::Auto, argv[1], argv[2], argv[3]);
  if (argc == 5 && std::strcmp(argv[1], "--threads=on") == 0) {
    return Convert(decbytes::Threads::On, argv[2], argv[3], argv[4]);
  }
  if (argc == 5 && std::strcmp(argv[1], "--threads=off") == 0) {
    return Convert(decbytes::Threads::Off, argv[2], argv[3], argv[4]);
  }
  static_cast<void>(std::fprintf(stderr,
                                 "usage: decbytes_fast_path --list\n       decbytes_fast_path "
                                 "[--threads=on|--threads=off] NAME INPUT OUTPUT\n"));
  return 2;
}
