// The fault fuzzer's corpus replayed, and its oracle held to account: every
// schedule it keeps, through the real transfer, must give what the schedule
// allows (see CheckFaultRun); and each check of that oracle must fail a run
// built to break it, so that a check lost in an edit cannot pass unseen.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "fault_run.h"
#include "test_support.h"

namespace decbytes {
namespace {

using faults::Observed;

TEST(FaultCorpus, EveryScheduleGivesWhatItAllows) {
  int replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(DECBYTES_FAULT_CORPUS)) {
    const std::string name = entry.path().filename().string();
    const std::string data = testing::ReadFile(entry.path().string());
    EXPECT_EQ(faults::FaultRunDifference(faults::DecodeFaultCase(data)), "") << name;
    ++replayed;
  }
  EXPECT_GT(replayed, 10) << "the corpus is missing";
}

// One seed of the corpus, decoded, with its faultless result.
struct SeedRun {
  std::string data;
  faults::FaultCase c;
  model::Expected expected;
  Observed observed;

  explicit SeedRun(const std::string& name)
      : data(testing::ReadFile(std::string(DECBYTES_FAULT_CORPUS) + "/" + name)),
        c(faults::DecodeFaultCase(data)) {
    SetByteBound();
    observed = faults::RunFaultCase(c);
    expected = faults::Faultless(c);
  }
};

// A run that broke one rule: what it breaks, on which seed's run, how
// (given the faultless result too), and the oracle's word for it.
struct BrokenRun {
  const char* name;
  const char* seed;
  std::function<void(Observed&, const model::Expected&)> breakIt;
  const char* verdict;
};

class FaultOracle : public ::testing::TestWithParam<BrokenRun> {};

TEST_P(FaultOracle, FailsARunBuiltToBreakIt) {
  const BrokenRun& broken = GetParam();
  SeedRun run(broken.seed);
  const std::string difference = faults::CheckFaultRun(run.c, run.observed, run.expected);
  ASSERT_EQ(difference, "") << "the run as made must pass";
  broken.breakIt(run.observed, run.expected);
  const std::string verdict = faults::CheckFaultRun(run.c, run.observed, run.expected);
  EXPECT_TRUE(verdict.starts_with(broken.verdict)) << "the oracle said: '" << verdict << "'";
}

constexpr const char* kClean = "seed-general-one-clean";
constexpr const char* kOutputFails = "seed-general-one-output-late";  // ENOSPC at its third write
constexpr const char* kReadFails = "seed-general-one-read-late";      // EIO at its 40th read
// EIO at the third read, then ENOSPC at the output's flush.
constexpr const char* kReadThenOutputFails = "seed-general-one-read-then-output-flush";

// Drops the last byte of `bytes`, or adds one when there is none.
void Shorten(std::string& bytes) {
  if (bytes.empty()) {
    bytes.push_back('?');
  } else {
    bytes.pop_back();
  }
}

// Changes the last byte of `bytes`, or adds one when there is none.
void Spoil(std::string& bytes) {
  if (bytes.empty()) {
    bytes.push_back('?');
  } else {
    bytes.back() = static_cast<char>(bytes.back() ^ 0x55);
  }
}

std::string BrokenRunName(const ::testing::TestParamInfo<BrokenRun>& info) {
  return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    EachCheck, FaultOracle,
    ::testing::Values(
        BrokenRun{"InputReadAfterFailure", kReadFails,
                  [](Observed& o, const model::Expected&) { o.input.callAfterFailure = true; },
                  "the input was read after its failure"},
        BrokenRun{"OutputWrittenAfterFailure", kOutputFails,
                  [](Observed& o, const model::Expected&) { o.output.callAfterFailure = true; },
                  "the output was written after its failure"},
        BrokenRun{"ReportWrittenAfterFailure", kOutputFails,
                  [](Observed& o, const model::Expected&) { o.report.callAfterFailure = true; },
                  "the report was written after its failure"},
        BrokenRun{"TruncationAroundItsSeam", kClean,
                  [](Observed& o, const model::Expected&) { o.output.truncations = 0; },
                  "the output's truncation was met 0 times"},
        BrokenRun{"FailureNotMet", kOutputFails,
                  [](Observed& o, const model::Expected&) {
                    o.output.error = 0;
                    o.output.failedAs = 0;
                  },
                  "the output's failure at call 3 was not met"},
        BrokenRun{"WrongStatus", kOutputFails,
                  [](Observed& o, const model::Expected&) {
                    o.result.status = TransferStatus::ReadFailed;
                  },
                  "status "},
        BrokenRun{"LaterFailureAsFirst", kReadThenOutputFails,
                  [](Observed& o, const model::Expected&) {
                    o.result.status = TransferStatus::WriteFailed;
                    o.result.fileError = o.output.error;
                  },
                  "status "},
        BrokenRun{"WrongErrno", kReadFails,
                  [](Observed& o, const model::Expected&) { o.result.fileError = ENOSPC; },
                  "status "},
        BrokenRun{"WrongReportError", kClean,
                  [](Observed& o, const model::Expected&) { o.result.reportError = EPIPE; },
                  "report error "},
        BrokenRun{"BytesWrittenNotReceived", kOutputFails,
                  [](Observed& o, const model::Expected&) { ++o.result.bytesWritten; },
                  "bytesWritten "},
        BrokenRun{"OutputNoPrefix", kOutputFails,
                  [](Observed& o, const model::Expected&) { Spoil(o.output.bytes); },
                  "the output is no prefix of the model's"},
        BrokenRun{"ReportNoPrefix", kReadFails,
                  [](Observed& o, const model::Expected&) { Spoil(o.report.bytes); },
                  "the report is no prefix of the model's"},
        BrokenRun{"SummaryAfterFailure", kReadFails,
                  // The whole faultless report, its summary included.
                  [](Observed& o, const model::Expected& e) { o.report.bytes = e.report; },
                  "a summary after a failure"},
        BrokenRun{"OutputShort", kClean,
                  // Counted as received, so that the count is no giveaway.
                  [](Observed& o, const model::Expected&) {
                    Shorten(o.output.bytes);
                    o.result.bytesWritten = o.output.bytes.size();
                  },
                  "the output differs from the model's"},
        BrokenRun{"ReportShort", kClean,
                  [](Observed& o, const model::Expected&) { Shorten(o.report.bytes); },
                  "the report differs from the model's"},
        BrokenRun{"Counts", kClean,
                  [](Observed& o, const model::Expected&) { ++o.result.illegalLines; },
                  "the counts"}),
    BrokenRunName);

}  // namespace
}  // namespace decbytes
