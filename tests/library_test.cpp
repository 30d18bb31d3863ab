// The library as another program uses it: through <decbytes/decbytes.h>
// alone, linked against the shared library. Its three faces (file names,
// descriptors, memory) held to the program, what it may write, what it does
// to the caller's signals, and two transfers at once on two threads.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <decbytes/decbytes.h>
#include <algorithm>
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

// What one face of the library made of an input.
struct FaceRun {
  TransferResult result;
  std::string output;
  std::string report;
};

// Feeds `bytes` into the writing end `fd` from a thread of its own, then
// closes it, so that the reader may take them in whatever pieces it reads.
std::thread FeedAndClose(int fd, std::string bytes) {
  return std::thread([fd, bytes = std::move(bytes)] {
    std::size_t at = 0;
    while (at < bytes.size()) {
      const ssize_t wrote = ::write(fd, bytes.data() + at, bytes.size() - at);
      if (wrote <= 0) break;
      at += static_cast<std::size_t>(wrote);
    }
    ::close(fd);
  });
}

// TransferDescriptors with the input arriving on a pipe or a socket, the
// output and the report on files of `dir`; the descriptors stay open.
FaceRun OverDescriptors(const ScratchDir& dir, const std::string& input, bool socket) {
  int ends[2];
  EXPECT_EQ(socket ? ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends)
                   : ::pipe2(ends, O_CLOEXEC),
            0);
  const Fd reader(ends[0]);
  std::thread writer = FeedAndClose(ends[1], input);
  const Fd output(::open((dir / "fd.out").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
  const Fd report(
      ::open((dir / "fd.report").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
  FaceRun run;
  run.result = TransferDescriptors(reader.get(), output.get(), report.get(), (dir / "in").c_str());
  writer.join();
  EXPECT_NE(::fcntl(output.get(), F_GETFD), -1) << "the caller's descriptor was closed";
  run.output = ReadFile(dir / "fd.out");
  run.report = ReadFile(dir / "fd.report");
  return run;
}

bool Append(void* into, std::string_view bytes) {
  static_cast<std::string*>(into)->append(bytes);
  return true;
}

// A Converter fed `input` in pieces of `piece` bytes; the report kept in
// the run's report by a second converter context.
FaceRun InMemory(const std::string& name, const std::string& input, std::size_t piece) {
  FaceRun run;
  struct Sinks {
    std::string* output;
    std::string* report;
  } sinks{&run.output, &run.report};
  Converter converter(
      name.c_str(),
      [](void* c, std::string_view b) { return Append(static_cast<Sinks*>(c)->output, b); },
      [](void* c, std::string_view b) { return Append(static_cast<Sinks*>(c)->report, b); },
      &sinks);
  for (std::size_t at = 0; at < input.size(); at += piece) {
    EXPECT_TRUE(converter.Feed(std::string_view(input).substr(at, piece)));
  }
  run.result = converter.Finish();
  return run;
}

// Every face of the library writes the program's bytes, report and counts:
// transfer(in, out, reportFd), with the report on reportFd alone (nothing
// reaches the standard output or error); TransferDescriptors on a pipe and
// on a socket; a Converter fed pieces of 1, 7 and 64 Ki bytes and the whole.
TEST_P(ReportFdTest, EveryFaceGivesTheProgramsBytesAndReport) {
  const ScratchDir dir;
  const std::string& input = GetParam().input;
  WriteFile(dir / "in", input);
  const RunOutcome program =
      testing::Run({testing::ProgramPath(), dir / "in", dir / "program.out"});
  ASSERT_EQ(program.exitStatus, 0) << program.err;
  const std::string bytes = ReadFile(dir / "program.out");

  SetByteBound();
  std::vector<std::pair<std::string, FaceRun>> faces;
  {
    const Redirect out(STDOUT_FILENO, dir / "stdout");
    const Redirect err(STDERR_FILENO, dir / "stderr");
    const Fd report(::open((dir / "report").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
    FaceRun run;
    run.result = transfer((dir / "in").c_str(), (dir / "out").c_str(), report.get());
    run.output = ReadFile(dir / "out");
    run.report = ReadFile(dir / "report");
    faces.emplace_back("transfer", run);
  }
  EXPECT_EQ(ReadFile(dir / "stdout"), "");
  EXPECT_EQ(ReadFile(dir / "stderr"), "");
  faces.emplace_back("pipe", OverDescriptors(dir, input, false));
  faces.emplace_back("socket", OverDescriptors(dir, input, true));
  for (const std::size_t piece :
       {std::size_t{1}, std::size_t{7}, std::size_t{65536}, input.size() + 1}) {
    faces.emplace_back("pieces of " + std::to_string(piece), InMemory(dir / "in", input, piece));
  }
  for (const auto& [face, run] : faces) {
    SCOPED_TRACE(face);
    EXPECT_EQ(run.result.status, TransferStatus::Completed);
    EXPECT_EQ(run.result.reportError, 0);
    EXPECT_TRUE(run.output == bytes);
    // The program names its input as given; so did each face.
    EXPECT_TRUE(run.report == program.out);
    EXPECT_EQ(run.result.bytesWritten, bytes.size());
  }
}

// Lines that cross many pieces and blocks: a line longer than a block, a
// NUL, CR LF, a value of 256, a last line without its newline, and runs of
// legal lines long enough for the fast path to enter past a piece's start.
std::string Assorted() {
  std::string text;
  for (int i = 0; i < 30000; ++i) text += std::to_string(i % 256) + "\n";
  text += std::string(300000, '7') + std::string("\n1\0\n\n13\r\n256\n", 13);
  text.insert(text.size() / 3, "12\n");
  return text + "99";
}

INSTANTIATE_TEST_SUITE_P(Inputs, ReportFdTest,
                         ::testing::Values(ReportCase{"Clean", "72\n105\n"},
                                           ReportCase{"Warnings", "72\n300\nabc\n\n33\n7"},
                                           ReportCase{"Empty", ""},
                                           ReportCase{"Assorted", Assorted()}),
                         CaseName<ReportCase>);

// The checks of the names hold for descriptors, before anything is read or
// written: a report that is the output, an input open for writing alone,
// an output open for reading alone.
TEST(TransferDescriptorsChecks, RefusesAsForNames) {
  const ScratchDir dir;
  WriteFile(dir / "in", "65\n");
  WriteFile(dir / "out", "old");
  const Fd in(::open((dir / "in").c_str(), O_RDONLY | O_CLOEXEC));
  const Fd inForWriting(::open((dir / "in").c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
  const Fd out(::open((dir / "out").c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
  const Fd outForReading(::open((dir / "out").c_str(), O_RDONLY | O_CLOEXEC));
  struct Case {
    const char* what;
    int input, output, report;
    TransferStatus status;
    int error;
  } cases[] = {
      {"report is the output", in.get(), out.get(), out.get(), TransferStatus::ReportIsOutput, 0},
      {"report is the input", in.get(), out.get(), inForWriting.get(),
       TransferStatus::ReportIsInput, 0},
      {"input open for writing", inForWriting.get(), out.get(), -1, TransferStatus::InputOpenFailed,
       EBADF},
      {"output open for reading", in.get(), outForReading.get(), -1,
       TransferStatus::OutputOpenFailed, EBADF},
      {"output is the input", in.get(), inForWriting.get(), -1, TransferStatus::OutputIsInput, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const TransferResult result = TransferDescriptors(c.input, c.output, c.report, "in");
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.fileError, c.error);
    EXPECT_EQ(ReadFile(dir / "in"), "65\n");
    EXPECT_EQ(ReadFile(dir / "out"), "old");
  }
}

// A line of 100 MB fed in pieces from 1 byte to 1 MiB (each twice the last,
// modulo a little under 1 MiB) is one illegal line,
// and the converter's memory does not grow with it.
TEST(ConverterMemory, HundredMegabyteLineInPieces) {
  const std::string megabyte(1 << 20, 'x');
  SetByteBound();
  rusage before{};
  ASSERT_EQ(::getrusage(RUSAGE_SELF, &before), 0);
  std::string report;
  Converter converter("in", nullptr, Append, &report);
  std::size_t fed = 0;
  for (std::size_t piece = 1; fed < 100'000'000; piece = piece * 2 % (megabyte.size() - 1)) {
    const std::size_t size = std::min({piece, megabyte.size(), 100'000'000 - fed});
    ASSERT_TRUE(converter.Feed(megabyte.data(), size));
    fed += size;
  }
  ASSERT_TRUE(converter.Feed("\n12\n", 4));
  const TransferResult result = converter.Finish();
  rusage after{};
  ASSERT_EQ(::getrusage(RUSAGE_SELF, &after), 0);
  EXPECT_EQ(result.bytesWritten, 1u);
  EXPECT_EQ(result.illegalLines, 1u);
  EXPECT_EQ(report,
            "\nWarning : in : (line 1) : 'xxx' is an illegal input string \n"
            "\n1 characters transferred with 1 errors \n\n");
  // Far below the line (an emulator's own memory grows a little too).
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 32 * 1024) << "KiB of peak memory more";
}

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
