// The fuzz corpora replayed: every input the fuzzer kept, through every path
// in memory, against the line-by-line model, on the block size the input
// asks for and on a few others; and every input of the three faces' corpus
// through the Converter, TransferDescriptors and the file transfer.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "line_model.h"
#include "memory_conversion.h"
#include "test_support.h"
#include "three_faces.h"
#include "transfer_helpers.h"

namespace decbytes {
namespace {

TEST(FuzzCorpus, EveryInputAgreesWithTheModel) {
  int replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(DECBYTES_CORPUS)) {
    const std::string input = testing::ReadFile(entry.path().string());
    SCOPED_TRACE(entry.path().filename().string());
    for (std::size_t blockSize : {model::BlockSizeFor(input), std::size_t{1}, std::size_t{5},
                                  std::size_t{64}, std::size_t{8192}}) {
      EXPECT_EQ(model::DifferenceFromModel(input, blockSize), "");
    }
    ++replayed;
  }
  EXPECT_GT(replayed, 10) << "the corpus is missing";
}

// The same inputs through the transfer itself, files and all, in
// the blocks each input asks for.
TEST(FuzzCorpus, EveryInputTransfersLikeTheModel) {
  for (const auto& entry : std::filesystem::directory_iterator(DECBYTES_CORPUS)) {
    const std::string input = testing::ReadFile(entry.path().string());
    SCOPED_TRACE(entry.path().filename().string());
    model::Expected expected;
    model::Model(input, "in.txt", 0, expected);
    TransferIo io;
    io.blockSize = model::BlockSizeFor(input);
    const testing::TransferRun run = testing::TransferBytes(input, io);
    EXPECT_TRUE(run.output == expected.output) << "the output differs";
    EXPECT_TRUE(run.report == expected.report) << "the report differs";
  }
}

TEST(FacesCorpus, EveryInputGivesTheModelsRunOnEveryFace) {
  int replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(DECBYTES_FACES_CORPUS)) {
    SCOPED_TRACE(entry.path().filename().string());
    EXPECT_EQ(faces::FacesDifference(testing::ReadFile(entry.path().string())), "");
    ++replayed;
  }
  EXPECT_GT(replayed, 10) << "the corpus is missing";
}

}  // namespace
}  // namespace decbytes
