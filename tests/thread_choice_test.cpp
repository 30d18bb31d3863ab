// Which transfers take the reading and writing threads, and which writes go
// to the writing thread. A pipe read on a thread could block it for ever; a
// hand-over per block to the null device would only cost time, and a stream
// written on the converting thread must still get every byte, in order.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "io/thread_choice.h"
#include "transfer_helpers.h"

namespace decbytes {
namespace {

struct UseCase {
  const char* name;
  Threads threads;
  mode_t type;
  off_t size;
  bool expected;
};

// The answers that hold whatever the number of CPUs.
TEST(UseThreads, OnlyLargeRegularFilesByDefault) {
  const UseCase cases[] = {
      {"forced on, even for a pipe", Threads::On, S_IFIFO, 0, true},
      {"forced off, even for a large file", Threads::Off, S_IFREG, off_t{1} << 30, false},
      {"a pipe, whatever it reports", Threads::Auto, S_IFIFO, off_t{1} << 30, false},
      {"a device", Threads::Auto, S_IFCHR, off_t{1} << 30, false},
      {"a file just below the size", Threads::Auto, S_IFREG, kThreadsFromBytes - 1, false},
  };
  for (const UseCase& c : cases) {
    struct stat input {};
    input.st_mode = c.type | 0644;
    input.st_size = c.size;
    EXPECT_EQ(UseThreads(c.threads, input), c.expected) << c.name;
  }
}

// A large file takes the threads only where the process may run on more
// than one CPU: pinned to one (as by taskset -c 0), it starts none. The
// mask is set on this thread alone, which the choice asks, and put back.
TEST(UseThreads, LargeFilesByTheCpusAllowed) {
  cpu_set_t all;
  ASSERT_EQ(::sched_getaffinity(0, sizeof all, &all), 0);
  struct stat large {};
  large.st_mode = S_IFREG | 0644;
  large.st_size = kThreadsFromBytes;
  cpu_set_t one;
  CPU_ZERO(&one);
  for (std::size_t cpu = 0; cpu < std::size_t{CPU_SETSIZE}; ++cpu) {
    if (CPU_ISSET(cpu, &all)) {
      CPU_SET(cpu, &one);
      break;
    }
  }
  ASSERT_EQ(::sched_setaffinity(0, sizeof one, &one), 0);
  const bool pinned = UseThreads(Threads::Auto, large);
  ASSERT_EQ(::sched_setaffinity(0, sizeof all, &all), 0);
  EXPECT_FALSE(pinned) << "one CPU counted as many";
  if (CPU_COUNT(&all) > 1) {
    EXPECT_TRUE(UseThreads(Threads::Auto, large)) << CPU_COUNT(&all) << " CPUs";
  }
}

TEST(WriteBehind, AllButTheNullDevice) {
  testing::ScratchDir dir;
  const std::string file = dir / "file";
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  const struct {
    const char* name;
    int fd;
    bool expected;
  } cases[] = {
      {"/dev/null", ::open("/dev/null", O_WRONLY), false},
      {"/dev/full", ::open("/dev/full", O_WRONLY), true},
      {"a regular file", ::open(file.c_str(), O_WRONLY | O_CREAT, 0666), true},
      {"a pipe", pipeFds[1], true},
  };
  for (const auto& c : cases) {
    ASSERT_GE(c.fd, 0) << c.name;
    EXPECT_EQ(WriteBehind(c.fd), c.expected) << c.name;
    ::close(c.fd);
  }
  ::close(pipeFds[0]);
}

// With the threads on and one stream going to the null device, written on
// the converting thread, the other stream still gets every block in order.
TEST(WriteBehind, OtherStreamCompleteBesideTheNullDevice) {
  std::string input;
  std::string bytes;
  std::string report;
  for (int line = 1; line <= 20000; ++line) {
    if (line % 2 == 0) {
      input += "x\n";
      report += testing::Warning(bytes.size() + 1, "x");
    } else {
      input += std::to_string(line % 256) + "\n";
      bytes += static_cast<char>(line % 256);
    }
  }
  report += testing::Summary(bytes.size(), 10000);
  TransferIo io;
  io.threads = Threads::On;
  io.blockSize = 4096;
  const auto toNullOutput = testing::TransferBytes(input, io, kByteValues, "/dev/null");
  EXPECT_EQ(toNullOutput.result.status, TransferStatus::Completed);
  EXPECT_EQ(toNullOutput.report, report);
  const auto toNullReport = testing::TransferBytes(input, io, kByteValues, "", "/dev/null");
  EXPECT_EQ(toNullReport.result.status, TransferStatus::Completed);
  EXPECT_EQ(toNullReport.output, bytes);
  EXPECT_EQ(toNullReport.result.illegalLines, 10000u);
}

}  // namespace
}  // namespace decbytes
