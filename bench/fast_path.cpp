// decbytes_fast_path: the transfer with one named fast path and the blocks
// and buffers of chosen sizes, for the benchmark, which times each vector
// unit's path and each size on its own.
//
// usage: decbytes_fast_path --list
//        decbytes_fast_path [OPTION...] NAME INPUT OUTPUT
//
// --list prints the fast paths this processor can run, one name a line, the
// portable one first and the fastest last. Otherwise converts INPUT into
// OUTPUT as decbytes does, through the fast path NAME (`best`: the one
// decbytes takes), with the sizes decbytes takes unless an option sets them:
//   --block=BYTES           the input's blocks
//   --output-buffer=BYTES   the output's buffer
//   --report-buffer=BYTES   the report's buffer
// Exits 0 when the transfer completed, 1 when it failed, 2 for a wrong
// command line or a path this processor cannot run.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

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

// Reads a size of at least one byte after `prefix` in `word` into `size`;
// false when `word` is not that option or its number is not a size.
bool SizeOption(std::string_view word, std::string_view prefix, std::size_t& size) {
  if (!word.starts_with(prefix)) return false;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(word.data() + prefix.size(), &end, 10);
  if (end == word.data() + prefix.size() || *end != '\0' || value == 0) return false;
  size = static_cast<std::size_t>(value);
  return true;
}

// Sets `io` from one option word; false for a word that is no option.
bool ApplyOption(std::string_view word, decbytes::TransferIo& io) {
  return SizeOption(word, "--block=", io.blockSize) ||
         SizeOption(word, "--output-buffer=", io.outputBufferSize) ||
         SizeOption(word, "--report-buffer=", io.reportBufferSize);
}

// Runs the transfer through the fast path `name`; returns the exit status.
int Convert(decbytes::TransferIo io, const char* name, const char* input, const char* output) {
  io.fastPath = FindPath(name);
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
  decbytes::TransferIo io;
  int at = 1;
  while (at < argc && ApplyOption(argv[at], io)) ++at;
  if (argc - at == 3) return Convert(io, argv[at], argv[at + 1], argv[at + 2]);
  static_cast<void>(
      std::fprintf(stderr,
                   "usage: decbytes_fast_path --list\n"
                   "       decbytes_fast_path [--block=BYTES] [--output-buffer=BYTES]\n"
                   "                          [--report-buffer=BYTES] NAME INPUT OUTPUT\n"));
  return 2;
}
