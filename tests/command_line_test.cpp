// The built program end to end: exit status, stdout, stderr and the files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <string>
#include <vector>

#include "test_support.h"

namespace decbytes::testing {
namespace {

const std::string kUsageTail = " <input file> <output file> | [-h | -H | -help]\n";

std::string Usage() { return "Usage : " + ProgramPath() + kUsageTail; }

RunOutcome RunProgram(const std::vector<std::string>& operands, const RunOptions& options = {}) {
  std::vector<std::string> argv{ProgramPath()};
  argv.insert(argv.end(), operands.begin(), operands.end());
  return Run(argv, options);
}

// The usage line goes to stderr for a help option (status 0) and for a wrong
// number of operands (status 2); no file is read or created either way.
struct UsageCase {
  std::vector<std::string> operands;
  int exitStatus;
};

class UsageTest : public ::testing::TestWithParam<UsageCase> {};

TEST_P(UsageTest, PrintsUsageAndTouchesNoFile) {
  ScratchDir dir;
  RunOptions options;
  options.workingDir = dir.path();
  const RunOutcome run = RunProgram(GetParam().operands, options);
  EXPECT_EQ(run.exitStatus, GetParam().exitStatus);
  EXPECT_EQ(run.err, Usage());
  EXPECT_EQ(run.out, "");
  EXPECT_FALSE(FileExists(dir / "out")) << "no output file may be created";
}

std::string UsageCaseName(const ::testing::TestParamInfo<UsageCase>& info) {
  std::string name = "Operands" + std::to_string(info.param.operands.size());
  for (const std::string& word : info.param.operands) {
    for (char c : word) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  }
  return name + "_" + std::to_string(info.index);
}

INSTANTIATE_TEST_SUITE_P(CommandLines, UsageTest,
                         ::testing::Values(UsageCase{{}, 2}, UsageCase{{"in"}, 2},
                                           UsageCase{{"in", "out", "x"}, 2}, UsageCase{{"-h"}, 0},
                                           UsageCase{{"-help"}, 0}, UsageCase{{"-h", "out"}, 0},
                                           UsageCase{{"in", "-H"}, 0},
                                           UsageCase{{"-help", "out"}, 0},
                                           UsageCase{{"in", "out", "-h"}, 0}),
                         UsageCaseName);

// Words that only look like options are file names.
TEST(CommandLine, NearHelpWordsAreFileNames) {
  for (const std::string word : {"--help", "-HELP", "-Help", "-"}) {
    ScratchDir dir;
    RunOptions options;
    options.workingDir = dir.path();
    WriteFile(dir / word, "65\n");
    const RunOutcome run = RunProgram({word, "out"}, options);
    EXPECT_EQ(run.exitStatus, 0) << word;
    EXPECT_EQ(ReadFile(dir / "out"), "A") << word;
  }
}

// The worked example: bytes, warnings and summary, byte for byte.
TEST(CommandLine, WorkedExample) {
  ScratchDir dir;
  RunOptions options;
  options.workingDir = dir.path();
  WriteFile(dir / "in.txt", "72\n105\n\n300\nabc\n33\n");
  const RunOutcome run = RunProgram({"in.txt", "out.bin"}, options);
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "\nWarning : in.txt : (line 3) : '300' is an illegal input string \n"
            "\nWarning : in.txt : (line 3) : 'abc' is an illegal input string \n"
            "\n3 characters transferred with 2 errors \n\n");
  EXPECT_EQ(ReadFile(dir / "out.bin"), "Hi!");
}

// Files that cannot be opened: one message, status 1, no summary, and an
// existing output left as it was.
TEST(CommandLine, OpenFailures) {
  ScratchDir dir;
  RunOptions options;
  options.workingDir = dir.path();
  WriteFile(dir / "in", "1\n");
  WriteFile(dir / "out", "old");
  ::mkdir((dir / "subdir").c_str(), 0755);

  struct Case {
    std::vector<std::string> operands;
    std::string err;
  } cases[] = {
      {{"missing", "out"}, "Can't find the input file 'missing'\n"},
      {{"subdir", "out"}, "Can't find the input file 'subdir'\n"},
      {{"in", "no/such/dir/out"}, "Can't create the output file 'no/such/dir/out'\n"},
      {{"in", "subdir"}, "Can't create the output file 'subdir'\n"},
  };
  for (const Case& c : cases) {
    const RunOutcome run = RunProgram(c.operands, options);
    EXPECT_EQ(run.exitStatus, 1) << c.err;
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.out, "");
  }
  EXPECT_EQ(ReadFile(dir / "out"), "old");
}

// Illegal lines are not failures: the status stays 0.
TEST(CommandLine, IllegalLinesStillSucceed) {
  ScratchDir dir;
  WriteFile(dir / "in", "x\n");
  const RunOutcome run = RunProgram({dir / "in", dir / "out"});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.err, "");
}

}  // namespace
}  // namespace decbytes::testing
