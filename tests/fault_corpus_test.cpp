// The fault fuzzer's corpus replayed: every schedule it keeps, through the
// real transfer on one thread and, where the case asks, on the threads,
// must give what the schedule allows (see FaultRunDifference). Under the
// ThreadSanitizer preset this is how the schedules reach the threads.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "fault_run.h"
#include "test_support.h"

namespace decbytes {
namespace {

// A reproducer of a fault the fuzzer found between the threads ("repro-" in
// its name) meets it only in some runs, as the threads happen to meet: it is
// replayed often enough that its fault, were it back, would show.
constexpr int kReproducerRuns = 200;

TEST(FaultCorpus, EveryScheduleGivesWhatItAllows) {
  int replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(DECBYTES_FAULT_CORPUS)) {
    const std::string name = entry.path().filename().string();
    const std::string data = testing::ReadFile(entry.path().string());
    const faults::FaultCase c = faults::DecodeFaultCase(data);
    const int runs = name.starts_with("repro-") ? kReproducerRuns : 1;
    for (int run = 0; run < runs; ++run) {
      const std::string difference = faults::FaultRunDifference(c);
      EXPECT_EQ(difference, "") << name;
      if (!difference.empty()) break;
    }
    ++replayed;
  }
  EXPECT_GT(replayed, 10) << "the corpus is missing";
}

}  // namespace
}  // namespace decbytes
