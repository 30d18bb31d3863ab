// consumer: converts a file with the decbytes library, the report of its
// illegal lines on the standard error, then prints the counts on the
// standard output. It takes the input one of the library's three ways.
//
//   consumer [--via=WAY] INPUT OUTPUT
//   consumer --version
//
// WAY: `names` (the default: transfer() by the files' names), `pipe` or
// `socket` (TransferDescriptors() reading the input from a pipe or a socket
// that a child process fills), or `memory:N` (a Converter fed the input in
// pieces of N bytes read one at a time, 0 for the whole file read first;
// its bytes written to OUTPUT).
//
// Exit status: 0 when the whole input was converted and reported, 1 when a
// file or the report or the counts could not be written, 2 for a wrong
// command line. --version prints the version of the header it was compiled
// with, and DECBYTES_VERSION, then the version of the library it loaded.
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <decbytes/decbytes.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view kMemory = "--via=memory:";

bool StartsWith(std::string_view word, std::string_view prefix) {
  return word.substr(0, prefix.size()) == prefix;
}

// Writes all of `bytes` to `fd`; false when a write fails.
bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t wrote = ::write(fd, bytes.data(), bytes.size());
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(wrote));
  }
  return true;
}

// The whole of the file `name`, or false.
bool ReadAll(const char* name, std::string& text) {
  const int fd = ::open(name, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char block[65536];
  ssize_t got;
  while ((got = ::read(fd, block, sizeof block)) > 0)
    text.append(block, static_cast<std::size_t>(got));
  return ::close(fd) == 0 && got == 0;
}

// The input on a pipe or a socket that a child process fills with the
// file's bytes; the output a new file.
decbytes::TransferResult ViaDescriptors(const char* input, const char* output, bool socket) {
  decbytes::TransferResult failed;
  failed.status = decbytes::TransferStatus::InputOpenFailed;
  std::string text;
  int ends[2];
  if (!ReadAll(input, text) ||
      (socket ? ::socketpair(AF_UNIX, SOCK_STREAM, 0, ends) : ::pipe(ends)) != 0) {
    return failed;
  }
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(ends[0]);
    std::_Exit(WriteAll(ends[1], text) ? 0 : 1);
  }
  ::close(ends[1]);
  const int out = ::open(output, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  const decbytes::TransferResult result =
      decbytes::TransferDescriptors(ends[0], out, STDERR_FILENO, input);
  ::close(ends[0]);  // before the wait: a child still writing then stops
  int status = 0;
  const bool closed = out >= 0 && ::close(out) == 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !closed) return failed;
  return result;
}

// A sink that writes to the descriptor its context points at.
bool WriteTo(void* fd, std::string_view bytes) { return WriteAll(*static_cast<int*>(fd), bytes); }

// Reads up to `size` bytes of `fd` into `into` (fewer only at the end of
// the input); false when a read fails.
bool ReadPiece(int fd, std::string& into, std::size_t size) {
  into.resize(size);
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = ::read(fd, into.data() + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  into.resize(got);
  return true;
}

// The input fed to a Converter from memory in pieces of `piece` bytes (0:
// the whole file, read first), one piece held at a time; its bytes written
// to the output file, its report to stderr.
decbytes::TransferResult ViaMemory(const char* input, const char* output, std::size_t piece) {
  decbytes::TransferResult failed;
  failed.status = decbytes::TransferStatus::InputOpenFailed;
  std::string text;
  const int in = ::open(input, O_RDONLY | O_CLOEXEC);
  if (in < 0 || (piece == 0 && !ReadAll(input, text))) return failed;
  struct Streams {
    int output;
    int report;
  } streams{::open(output, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666), STDERR_FILENO};
  if (streams.output < 0) return failed;
  decbytes::Converter converter(
      input,
      [](void* s, std::string_view b) { return WriteTo(&static_cast<Streams*>(s)->output, b); },
      [](void* s, std::string_view b) { return WriteTo(&static_cast<Streams*>(s)->report, b); },
      &streams);
  bool read = true;
  if (piece == 0) {
    converter.Feed(text);
  } else {
    while ((read = ReadPiece(in, text, piece)) && !text.empty() && converter.Feed(text)) {
    }
  }
  decbytes::TransferResult result = converter.Finish();
  if (::close(in) != 0 || !read) result.status = decbytes::TransferStatus::ReadFailed;
  if (::close(streams.output) != 0) result.status = decbytes::TransferStatus::WriteFailed;
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    const bool printed = std::printf("header %d.%d.%d (%d), library %s\n", DECBYTES_VERSION_MAJOR,
                                     DECBYTES_VERSION_MINOR, DECBYTES_VERSION_PATCH,
                                     DECBYTES_VERSION, decbytes::Version()) >= 0 &&
                         std::fflush(stdout) == 0;
    return printed ? 0 : 1;
  }
  const std::string_view way = argc == 4 ? argv[1] : "--via=names";
  if ((argc != 3 && argc != 4) || !StartsWith(way, "--via=")) {
    std::fprintf(stderr, "Usage : %s [--via=WAY] <input file> <output file> | --version\n",
                 argv[0]);
    return 2;
  }
  const char* input = argv[argc - 2];
  const char* output = argv[argc - 1];
  decbytes::SetByteBound();
  decbytes::TransferResult result;
  if (way == "--via=pipe" || way == "--via=socket") {
    result = ViaDescriptors(input, output, way == "--via=socket");
  } else if (StartsWith(way, kMemory)) {
    result = ViaMemory(input, output, std::strtoul(argv[1] + kMemory.size(), nullptr, 10));
  } else {
    result = decbytes::transfer(input, output, STDERR_FILENO);
  }
  if (result.status != decbytes::TransferStatus::Completed) {
    const char* reason = result.fileError != 0 ? std::strerror(result.fileError) : "cannot open";
    std::fprintf(stderr, "consumer: '%s' to '%s': %s\n", input, output, reason);
    return 1;
  }
  // The report went to the standard error: when that failed, the standard
  // output, the one stream left, says so.
  const bool reported = result.reportError == 0;
  if ((!reported && std::printf("report failed: %s\n", std::strerror(result.reportError)) < 0) ||
      std::printf("%llu bytes written, %llu illegal lines\n",
                  static_cast<unsigned long long>(result.bytesWritten),
                  static_cast<unsigned long long>(result.illegalLines)) < 0 ||
      std::fflush(stdout) != 0) {
    std::fprintf(stderr, "consumer: can't write the standard output: %s\n", std::strerror(errno));
    return 1;
  }
  return reported ? 0 : 1;
}
