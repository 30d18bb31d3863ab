// consumer: converts a file with the decbytes library, the report of its
// illegal lines on the standard error, then prints the counts on the
// standard output.
//
//   consumer INPUT OUTPUT
//   consumer --version
//
// Exit status: 0 when the whole input was converted and reported, 1 when a
// file or the report or the counts could not be written, 2 for a wrong
// command line. --version prints the version of the header it was compiled
// with, and DECBYTES_VERSION, then the version of the library it loaded.
#include <unistd.h>

#include <decbytes/decbytes.h>
#include <cerrno>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    const bool printed = std::printf("header %d.%d.%d (%d), library %s\n", DECBYTES_VERSION_MAJOR,
                                     DECBYTES_VERSION_MINOR, DECBYTES_VERSION_PATCH,
                                     DECBYTES_VERSION, decbytes::Version()) >= 0 &&
                         std::fflush(stdout) == 0;
    return printed ? 0 : 1;
  }
  if (argc != 3) {
    std::fprintf(stderr, "Usage : %s <input file> <output file> | --version\n", argv[0]);
    return 2;
  }
  decbytes::SetByteBound();
  const decbytes::TransferResult result = decbytes::transfer(argv[1], argv[2], STDERR_FILENO);
  if (result.status != decbytes::TransferStatus::Completed) {
    const char* reason = result.fileError != 0 ? std::strerror(result.fileError) : "cannot open";
    std::fprintf(stderr, "consumer: '%s' to '%s': %s\n", argv[1], argv[2], reason);
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
