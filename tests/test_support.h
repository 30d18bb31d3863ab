// Files and processes for the tests: a scratch directory removed afterwards,
// whole-file reads and writes, and runs of the built program.
#pragma once

#include <string>
#include <vector>

namespace decbytes::testing {

class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);

struct RunOutcome {
  int exitStatus = -1;  // the exit status, or -1 when killed by a signal
  std::string out;      // what the program wrote on stdout
  std::string err;      // what it wrote on stderr
};

struct RunOptions {
  std::string stdinPath = "/dev/null";
  std::string stdoutPath;  // empty: capture stdout
  std::string workingDir;  // empty: stay where the test runs
};

// Runs `argv` (argv[0] is the program to execute, found through PATH when it
// has no slash) and waits for it.
RunOutcome Run(const std::vector<std::string>& argv, const RunOptions& options = {});

// The path of the built program under test.
std::string ProgramPath();

}  // namespace decbytes::testing
