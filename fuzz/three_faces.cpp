#include "three_faces.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

#include <decbytes/decbytes.h>
#include "io/output_writer.h"
#include "line_model.h"

namespace decbytes::faces {

namespace {

std::size_t RepeatsFor(unsigned grow) {
  return grow < 28 ? 1 : grow == 31 ? 32 : std::size_t{1} << (grow - 27);
}

// Where the piece that size byte `s` asks for ends, the piece starting at
// `at` of `text`.
std::size_t PieceEnd(std::string_view text, std::size_t at, unsigned char s) {
  const std::size_t rest = text.size() - at;
  if (s == 0) return text.size();
  if (s < 192) return at + std::min<std::size_t>(s, rest);
  if (s < 240) return at + std::min<std::size_t>(std::size_t{s - 191u} * 128, rest);
  static constexpr std::string_view kLandmarks[] = {"\n", "\r", std::string_view("\0", 1),
                                                    "0123456789"};
  const std::size_t mark = text.find_first_of(kLandmarks[s & 3u], at);
  if (mark == std::string_view::npos) return text.size();
  return std::min<std::size_t>(mark + (s >> 2 & 3u), text.size());
}

[[noreturn]] void Broken(const char* what) {
  // The harness itself failed: no run can be checked.
  static_cast<void>(std::fprintf(stderr, "three faces: %s failed (errno %d)\n", what, errno));
  std::abort();
}

// Writes all of `bytes`, through the library's own loop; false when a
// write fails.
bool WriteAll(int fd, std::string_view bytes) {
  return WriteFully(DefaultWrite, fd, bytes.data(), bytes.size()) == 0;
}

// A file in memory, emptied and rewound before each run.
class MemoryFile {
 public:
  explicit MemoryFile(const char* name) : fd_(::memfd_create(name, MFD_CLOEXEC)) {
    if (fd_ < 0) Broken("memfd_create");
  }
  ~MemoryFile() { ::close(fd_); }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  int Empty() const {
    if (::ftruncate(fd_, 0) != 0 || ::lseek(fd_, 0, SEEK_SET) != 0) Broken("emptying a file");
    return fd_;
  }
  // Reads the file's contents into `bytes`, whose room is kept from run to
  // run.
  void ReadInto(std::string& bytes) const { ReadAll(fd_, bytes); }

  static void ReadAll(int fd, std::string& bytes) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) Broken("fstat");
    bytes.resize(static_cast<std::size_t>(status.st_size));
    std::size_t got = 0;
    while (got < bytes.size()) {
      const ssize_t n =
          ::pread(fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) Broken("pread");
      got += static_cast<std::size_t>(n);
    }
  }

 private:
  int fd_;
};

// The files every run uses, made once per process: a scratch directory (on
// tmpfs when there is one) for the file transfer's input and output, and
// files in memory for the other outputs and the reports.
struct Files {
  Files() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = ::access("/dev/shm", W_OK) == 0  ? "/dev/shm"
                          : tmp != nullptr && *tmp != '\0' ? tmp
                                                           : "/tmp";
    pattern += "/decbytes-faces-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) Broken("mkdtemp");
    dir = pattern;
    input = dir + "/in.txt";
    output = dir + "/out.bin";
  }
  ~Files() {
    ::unlink(input.c_str());
    ::unlink(output.c_str());
    ::rmdir(dir.c_str());
  }
  Files(const Files&) = delete;
  Files& operator=(const Files&) = delete;

  std::string dir, input, output;
  MemoryFile descriptorOutput{"descriptor-output"};
  MemoryFile report{"report"};
};

Files& TheFiles() {
  static Files files;
  return files;
}

struct FaceRun {
  TransferResult result;
  std::string output;
  std::string report;
};

bool ToOutput(void* context, std::string_view bytes) {
  static_cast<FaceRun*>(context)->output.append(bytes);
  return true;
}

bool ToReport(void* context, std::string_view bytes) {
  static_cast<FaceRun*>(context)->report.append(bytes);
  return true;
}

// Each piece is fed from memory of its own size, so that a read past its
// end or before its start is caught by the address sanitizer.
void RunConverter(const FacesCase& c, const char* name, FaceRun& run) {
  Converter converter(name, ToOutput, ToReport, &run);
  std::size_t at = 0;
  for (const std::size_t size : c.pieces) {
    const std::unique_ptr<char[]> piece(size == 0 ? nullptr : new char[size]);
    std::copy_n(c.text.data() + at, size, piece.get());
    at += size;
    if (!converter.Feed(piece.get(), size)) break;
  }
  run.result = converter.Finish();
}

// Writes the text into the pipe in its pieces, then closes it; stops early
// when the reader has gone (SIGPIPE blocked on this thread).
void FeedPipe(const FacesCase& c, int fd) {
  sigset_t sigpipe;
  sigemptyset(&sigpipe);
  sigaddset(&sigpipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &sigpipe, nullptr);
  std::size_t at = 0;
  for (const std::size_t size : c.pieces) {
    if (!WriteAll(fd, std::string_view(c.text).substr(at, size))) break;
    at += size;
  }
  ::close(fd);
}

// The input on a pipe: written ahead when the pipe holds it all, which
// keeps the run the same every time; else by a thread, piece by piece, as
// the transfer reads.
void RunDescriptors(const FacesCase& c, const char* name, FaceRun& run) {
  const Files& files = TheFiles();
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) Broken("pipe2");
  const int room = ::fcntl(ends[1], F_GETPIPE_SZ);
  std::thread writer;
  if (room >= 0 && c.text.size() <= static_cast<std::size_t>(room)) {
    if (!WriteAll(ends[1], c.text)) Broken("write");
    ::close(ends[1]);
  } else {
    writer = std::thread(FeedPipe, std::cref(c), ends[1]);
  }
  run.result =
      TransferDescriptors(ends[0], files.descriptorOutput.Empty(), files.report.Empty(), name);
  ::close(ends[0]);
  if (writer.joinable()) writer.join();
  files.descriptorOutput.ReadInto(run.output);
  files.report.ReadInto(run.report);
}

void RunFiles(const FacesCase& c, FaceRun& run) {
  const Files& files = TheFiles();
  const int input = ::open(files.input.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (input < 0) Broken("open");
  if (!WriteAll(input, c.text)) Broken("write");
  ::close(input);
  run.result = transfer(files.input.c_str(), files.output.c_str(), files.report.Empty());
  const int output = ::open(files.output.c_str(), O_RDONLY | O_CLOEXEC);
  if (output < 0) Broken("open of the output");
  MemoryFile::ReadAll(output, run.output);
  ::close(output);
  files.report.ReadInto(run.report);
}

// Where `got` first differs from `expected`, and their sizes.
std::string Mismatch(const char* what, const std::string& got, const std::string& expected) {
  const std::size_t at = static_cast<std::size_t>(
      std::mismatch(got.begin(), got.end(), expected.begin(), expected.end()).first - got.begin());
  return std::string(what) + " differs from the model's at byte " + std::to_string(at) + " (" +
         std::to_string(got.size()) + " bytes, the model's " + std::to_string(expected.size()) +
         ")";
}

// "" when `run` is the model's, else what differs.
std::string FaceDifference(const FaceRun& run, const model::Expected& e) {
  const TransferResult& r = run.result;
  if (r.status != TransferStatus::Completed || r.fileError != 0 || r.reportError != 0) {
    return "status " + std::to_string(static_cast<int>(r.status)) + ", errno " +
           std::to_string(r.fileError) + ", report errno " + std::to_string(r.reportError);
  }
  if (run.output != e.output) return Mismatch("the output", run.output, e.output);
  if (run.report != e.report) return Mismatch("the report", run.report, e.report);
  if (r.bytesWritten != e.output.size()) return "bytesWritten " + std::to_string(r.bytesWritten);
  if (r.illegalLines != e.illegalLines) return "illegalLines " + std::to_string(r.illegalLines);
  return "";
}

// The text's size and its first pieces, for a finding's message.
std::string Describe(const FacesCase& c) {
  std::string text = "text of " + std::to_string(c.text.size()) + " bytes in " +
                     std::to_string(c.pieces.size()) + " pieces:";
  for (std::size_t i = 0; i < c.pieces.size() && i < 24; ++i) {
    text += ' ' + std::to_string(c.pieces[i]);
  }
  if (c.pieces.size() > 24) text += " ...";
  return text;
}

}  // namespace

FacesCase DecodeFacesCase(std::string_view data) {
  FacesCase c;
  const unsigned layout = data.empty() ? 0u : static_cast<unsigned char>(data[0]);
  data.remove_prefix(std::min<std::size_t>(data.size(), 1));
  std::string_view sizes = data.substr(0, (layout & 7u) + 1);
  data.remove_prefix(sizes.size());
  if (sizes.empty()) sizes = std::string_view("\0", 1);
  const std::size_t repeats = RepeatsFor(layout >> 3);
  c.text.reserve(data.size() * repeats);
  for (std::size_t i = 0; i < repeats; ++i) c.text += data;
  for (std::size_t at = 0, i = 0; at < c.text.size(); ++i) {
    const std::size_t end =
        PieceEnd(c.text, at, static_cast<unsigned char>(sizes[i % sizes.size()]));
    if (end == at) {
      c.pieces.insert(c.pieces.end(), {0, 1});
      at += 1;
    } else {
      c.pieces.push_back(end - at);
      at = end;
    }
  }
  return c;
}

std::string FacesDifference(const FacesCase& c) {
  SetByteBound();
  const char* const name = TheFiles().input.c_str();
  static model::Expected expected;
  model::Model(c.text, name, 0, expected);
  static FaceRun runs[3];  // their strings' room kept from run to run
  for (FaceRun& run : runs) {
    run.result = TransferResult{};
    run.output.clear();
    run.report.clear();
  }
  RunConverter(c, name, runs[0]);
  RunDescriptors(c, name, runs[1]);
  RunFiles(c, runs[2]);
  static constexpr const char* kFaces[] = {"Converter", "TransferDescriptors on a pipe",
                                           "transfer of files"};
  std::string differences;
  for (int i = 0; i < 3; ++i) {
    const std::string difference = FaceDifference(runs[i], expected);
    if (difference.empty()) continue;
    differences += differences.empty() ? "" : "; ";
    differences += std::string(kFaces[i]) + ": " + difference;
  }
  if (differences.empty()) return "";
  return differences + " [" + Describe(c) + "]";
}

}  // namespace decbytes::faces
