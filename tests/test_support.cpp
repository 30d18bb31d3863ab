#include "test_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace decbytes::testing {

ScratchDir::ScratchDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "decbytes-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file.flush()) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

bool FileExists(const std::string& path) {
  struct stat status;
  return ::lstat(path.c_str(), &status) == 0;
}

namespace {

void RedirectOrDie(const std::string& path, int flags, int targetFd) {
  const int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0 || ::dup2(fd, targetFd) < 0) ::_exit(127);
  ::close(fd);
}

}  // namespace

RunOutcome Run(const std::vector<std::string>& argv, const RunOptions& options) {
  ScratchDir capture;
  const std::string outPath = capture / "stdout";
  const std::string errPath = capture / "stderr";
  const pid_t child = ::fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    if (!options.workingDir.empty() && ::chdir(options.workingDir.c_str()) != 0) ::_exit(127);
    RedirectOrDie(options.stdinPath, O_RDONLY, STDIN_FILENO);
    RedirectOrDie(options.stdoutPath.empty() ? outPath : options.stdoutPath,
                  O_WRONLY | O_CREAT | O_TRUNC, STDOUT_FILENO);
    RedirectOrDie(errPath, O_WRONLY | O_CREAT | O_TRUNC, STDERR_FILENO);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
  }
  RunOutcome outcome;
  outcome.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (options.stdoutPath.empty()) outcome.out = ReadFile(outPath);
  outcome.err = ReadFile(errPath);
  return outcome;
}

std::string ProgramPath() { return DECBYTES_PROGRAM; }

}  // namespace decbytes::testing
