// The library as another program uses it: through <decbytes/decbytes.h>
// alone, linked against the shared library. What it may write, what it does
// to the caller's signals, and two transfers at once on two threads.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <decbytes/decbytes.h>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "test_support.h"

namespace decbytes {
namespace {

using testing::ReadFile;
using testing::RunOutcome;
using testing::ScratchDir;
using testing::WriteFile;

// A descriptor closed when it goes out of scope.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) static_cast<void>(::close(fd_));
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Points descriptor `target` at the file `path` until the end of the scope,
// then back where it was.
class Redirect {
 public:
  Redirect(int target, const std::string& path) : target_(target), saved_(::dup(target)) {
    const Fd file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    EXPECT_GE(saved_, 0);
    EXPECT_GE(file.get(), 0);
    EXPECT_EQ(::dup2(file.get(), target_), target_);
  }
  ~Redirect() {
    EXPECT_EQ(::dup2(saved_, target_), target_);
    EXPECT_EQ(::close(saved_), 0);
  }
  Redirect(const Redirect&) = delete;
  Redirect& operator=(const Redirect&) = delete;

 private:
  int target_;
  int saved_;
};

// A parameterised test's name: its case's.
template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  return info.param.name;
}

struct ReportCase {
  const char* name;
  std::string input;
};

void PrintTo(const ReportCase& c, std::ostream* os) { *os << c.name; }

class ReportFdTest : public ::testing::TestWithParam<ReportCase> {};

// transfer(in, out, reportFd) writes the program's bytes and report, the
// report on reportFd alone: nothing reaches the standard output or error.
TEST_P(ReportFdTest, SameAsTheProgramOnTheGivenDescriptorAlone) {
  const ScratchDir dir;
  WriteFile(dir / "in", GetParam().input);
  const RunOutcome program =
      testing::Run({testing::ProgramPath(), dir / "in", dir / "program.out"});
  ASSERT_EQ(program.exitStatus, 0) << program.err;

  SetByteBound();
  TransferResult result;
  {
    const Redirect out(STDOUT_FILENO, dir / "stdout");
    const Redirect err(STDERR_FILENO, dir / "stderr");
    const Fd report(::open((dir / "report").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
    result = transfer((dir / "in").c_str(), (dir / "out").c_str(), report.get());
  }
  EXPECT_EQ(result.status, TransferStatus::Completed);
  EXPECT_EQ(result.reportError, 0);
  EXPECT_EQ(ReadFile(dir / "out"), ReadFile(dir / "program.out"));
  // The program names its input as given; so did this transfer.
  EXPECT_EQ(ReadFile(dir / "report"), program.out);
  EXPECT_EQ(result.bytesWritten, ReadFile(dir / "out").size());
  EXPECT_EQ(ReadFile(dir / "stdout"), "");
  EXPECT_EQ(ReadFile(dir / "stderr"), "");
}

INSTANTIATE_TEST_SUITE_P(Inputs, ReportFdTest,
                         ::testing::Values(ReportCase{"Clean", "72\n105\n"},
                                           ReportCase{"Warnings", "72\n300\nabc\n\n33\n7"},
                                           ReportCase{"Empty", ""}),
                         CaseName<ReportCase>);

bool SigpipeIn(const sigset_t& set) { return sigismember(&set, SIGPIPE) == 1; }

bool SigpipePending() {
  sigset_t pending;
  EXPECT_EQ(sigpending(&pending), 0);
  return SigpipeIn(pending);
}

bool SigpipeBlocked() {
  sigset_t mask;
  EXPECT_EQ(pthread_sigmask(SIG_BLOCK, nullptr, &mask), 0);
  return SigpipeIn(mask);
}

void SetSigpipeBlocked(bool blocked) {
  sigset_t sigpipe;
  sigemptyset(&sigpipe);
  sigaddset(&sigpipe, SIGPIPE);
  ASSERT_EQ(pthread_sigmask(blocked ? SIG_BLOCK : SIG_UNBLOCK, &sigpipe, nullptr), 0);
}

// How the caller holds SIGPIPE when it starts a transfer whose report is a
// pipe with no reader.
struct CallerCase {
  const char* name;
  bool blocked;  // SIGPIPE blocked on the calling thread
  bool pending;  // and one already pending (only when blocked)
};

void PrintTo(const CallerCase& c, std::ostream* os) { *os << c.name; }

class ReaderGoneTest : public ::testing::TestWithParam<CallerCase> {};

// The report's write fails with EPIPE, the output is complete, SIGPIPE is
// still at its default disposition and the caller's mask and pending
// signals are as they were: a SIGPIPE the transfer raised is gone, one that
// was pending before is still there.
TEST_P(ReaderGoneTest, ReportFailsWithEpipeAndTheCallerLives) {
  const CallerCase& c = GetParam();
  struct sigaction before {};
  ASSERT_EQ(sigaction(SIGPIPE, nullptr, &before), 0);
  ASSERT_EQ(before.sa_handler, SIG_DFL) << "the test needs SIGPIPE at its default";
  SetSigpipeBlocked(c.blocked);
  if (c.pending) {
    ASSERT_EQ(pthread_kill(pthread_self(), SIGPIPE), 0);
  }

  const ScratchDir dir;
  WriteFile(dir / "in", "72\nx\n105\n");
  int ends[2];
  ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
  const Fd writeEnd(ends[1]);
  ASSERT_EQ(::close(ends[0]), 0);
  SetByteBound();
  const TransferResult result =
      transfer((dir / "in").c_str(), (dir / "out").c_str(), writeEnd.get());

  EXPECT_EQ(result.status, TransferStatus::Completed);
  EXPECT_EQ(result.reportError, EPIPE);
  EXPECT_EQ(ReadFile(dir / "out"), "Hi");
  struct sigaction after {};
  ASSERT_EQ(sigaction(SIGPIPE, nullptr, &after), 0);
  EXPECT_EQ(after.sa_handler, SIG_DFL);
  EXPECT_EQ(SigpipeBlocked(), c.blocked);
  EXPECT_EQ(SigpipePending(), c.pending);

  if (c.pending) {  // take it back before unblocking, or it ends the test
    sigset_t sigpipe;
    sigemptyset(&sigpipe);
    sigaddset(&sigpipe, SIGPIPE);
    const timespec noWait{};
    EXPECT_EQ(sigtimedwait(&sigpipe, nullptr, &noWait), SIGPIPE);
  }
  SetSigpipeBlocked(false);
}

INSTANTIATE_TEST_SUITE_P(Callers, ReaderGoneTest,
                         ::testing::Values(CallerCase{"Unblocked", false, false},
                                           CallerCase{"Blocked", true, false},
                                           CallerCase{"BlockedAndPending", true, true}),
                         CaseName<CallerCase>);

// Two transfers of different files, started together on two threads, again
// and again, each give their own bytes, counts and report. CI runs this
// under ThreadSanitizer.
TEST(Threads, TwoTransfersAtOnce) {
  const ScratchDir dir;
  struct Job {
    std::string name;
    std::string input;
    std::string output;
    std::uint64_t illegal;
    TransferResult result;
  };
  std::vector<Job> jobs{{"a", "72\n105\nx\n", "Hi", 1, {}},
                        {"b", std::string(20000, '7') + "\n1234\n33\n", "!", 2, {}}};
  for (Job& job : jobs) WriteFile(dir / job.name, job.input);
  SetByteBound();  // before any thread starts
  for (int round = 0; round < 20; ++round) {
    std::vector<std::thread> threads;
    for (Job& job : jobs) {
      threads.emplace_back([&dir, &job] {
        const Fd report(::open((dir / (job.name + ".report")).c_str(),
                               O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
        job.result =
            transfer((dir / job.name).c_str(), (dir / (job.name + ".out")).c_str(), report.get());
      });
    }
    for (std::thread& thread : threads) thread.join();
    for (const Job& job : jobs) {
      SCOPED_TRACE(job.name + ", round " + std::to_string(round));
      EXPECT_EQ(job.result.status, TransferStatus::Completed);
      EXPECT_EQ(job.result.illegalLines, job.illegal);
      EXPECT_EQ(ReadFile(dir / (job.name + ".out")), job.output);
      const std::string report = ReadFile(dir / (job.name + ".report"));
      EXPECT_NE(report.find(std::to_string(job.output.size()) + " characters transferred with " +
                            std::to_string(job.illegal) + " errors"),
                std::string::npos)
          << report;
    }
  }
}

// The report never lands in the data. A report descriptor that is not open
// as the call starts is never written, though the output then opens on its
// number: by the three-argument form, and by the two-argument form in a
// caller whose descriptors 0 and 1 are closed (a daemon).
TEST(ReportApart, ClosedReportDescriptorIsNeverWritten) {
  const ScratchDir dir;
  std::string input = "65\n";
  for (int i = 0; i < 1000; ++i) input += "x\n";
  WriteFile(dir / "in", input + "66\n");
  SetByteBound();
  for (const bool twoArguments : {false, true}) {
    SCOPED_TRACE(twoArguments ? "transfer(in, out)" : "transfer(in, out, reportFd)");
    // The two lowest free numbers: the input opens on the first, the
    // output on the second.
    const int first = twoArguments ? STDIN_FILENO : ::dup(STDERR_FILENO);
    const int second = twoArguments ? STDOUT_FILENO : ::dup(STDERR_FILENO);
    const int saved[] = {::dup(first), ::dup(second)};
    ASSERT_EQ(std::fflush(stdout), 0);
    ASSERT_EQ(::close(first), 0);
    ASSERT_EQ(::close(second), 0);
    const TransferResult result =
        twoArguments ? transfer((dir / "in").c_str(), (dir / "out").c_str())
                     : transfer((dir / "in").c_str(), (dir / "out").c_str(), second);
    ASSERT_EQ(::dup2(saved[0], first), first);
    ASSERT_EQ(::dup2(saved[1], second), second);
    for (const int fd : saved) ::close(fd);
    if (!twoArguments) {
      ::close(first);
      ::close(second);
    }
    EXPECT_EQ(result.status, TransferStatus::Completed);
    EXPECT_EQ(result.reportError, EBADF);
    EXPECT_EQ(ReadFile(dir / "out"), "AB");
  }
}

// A report descriptor that is the input or the output file is refused
// before the output is opened, each file as it was.
TEST(ReportApart, ReportThatIsAFileOfTheRunIsRefused) {
  const ScratchDir dir;
  WriteFile(dir / "in", "65\nx\n");
  SetByteBound();
  for (const auto& [file, status] : {std::pair{"in", TransferStatus::ReportIsInput},
                                     std::pair{"out", TransferStatus::ReportIsOutput}}) {
    SCOPED_TRACE(file);
    WriteFile(dir / "out", "old");
    const Fd report(::open((dir / file).c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
    const TransferResult result =
        transfer((dir / "in").c_str(), (dir / "out").c_str(), report.get());
    EXPECT_EQ(result.status, status);
    EXPECT_EQ(ReadFile(dir / "in"), "65\nx\n");
    EXPECT_EQ(ReadFile(dir / "out"), "old");
  }
}

// What the caller sees of its own: errno as it left it, what it printed
// before the call ahead of the report, and the errno of an open failure.
TEST(CallerSide, ErrnoOrderAndOpenFailures) {
  const ScratchDir dir;
  WriteFile(dir / "in", "72\nx\n");
  SetByteBound();
  ASSERT_EQ(std::fflush(stdout), 0);
  TransferResult result;
  {
    const Redirect out(STDOUT_FILENO, dir / "stdout");
    std::printf("printed first\n");  // kept in stdio's buffer: stdout is a file
    errno = EDOM;
    result = transfer((dir / "in").c_str(), (dir / "out").c_str());
    EXPECT_EQ(errno, EDOM);
    ASSERT_EQ(std::fflush(stdout), 0);
  }
  EXPECT_EQ(result.status, TransferStatus::Completed);
  EXPECT_EQ(ReadFile(dir / "stdout"), "printed first\n\nWarning : " + dir / "in" +
                                          " : (line 2) : 'x' is an illegal input string \n"
                                          "\n1 characters transferred with 1 errors \n\n");
  const TransferResult missing = transfer((dir / "missing").c_str(), (dir / "out").c_str(), -1);
  EXPECT_EQ(missing.status, TransferStatus::InputOpenFailed);
  EXPECT_EQ(missing.fileError, ENOENT);
}

}  // namespace
}  // namespace decbytes
