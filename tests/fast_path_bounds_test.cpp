// Every fast path at its bounds, against the line-by-line model: each
// boundary value at every lane position of a 64-lane vector, after lines of
// every length, in inputs long enough for the widest vector loop; and every
// block placed right before a page that cannot be read, or with its
// look-behind right after one, so that a read past the block or before its
// look-behind crashes the test.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string>
#include <string_view>

#include "memory_conversion.h"

namespace decbytes {
namespace {

// Readable and writable pages between two pages that cannot be touched.
class GuardedPages {
 public:
  explicit GuardedPages(std::size_t usable) {
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    size_ = (usable + page - 1) / page * page + 2 * page;
    void* mapped = ::mmap(nullptr, size_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::runtime_error("mmap failed");
    base_ = static_cast<char*>(mapped);
    if (::mprotect(base_ + page, size_ - 2 * page, PROT_READ | PROT_WRITE) != 0) {
      throw std::runtime_error("mprotect failed");
    }
    begin_ = base_ + page;
    end_ = base_ + size_ - page;
  }
  ~GuardedPages() { ::munmap(base_, size_); }
  GuardedPages(const GuardedPages&) = delete;
  GuardedPages& operator=(const GuardedPages&) = delete;

  char* begin() const { return begin_; }
  char* end() const { return end_; }

 private:
  char* base_;
  std::size_t size_;
  char* begin_;
  char* end_;
};

GuardedPages& Pages() {
  static GuardedPages pages(64 * 1024);
  return pages;
}

// The block's last byte just before the unreadable page after it.
const char* PlaceAgainstEnd(std::string_view lookBehind, std::string_view block) {
  char* const blockStart = Pages().end() - block.size();
  std::copy(lookBehind.begin(), lookBehind.end(), blockStart - lookBehind.size());
  std::copy(block.begin(), block.end(), blockStart);
  return blockStart;
}

// The look-behind's first byte just after the unreadable page before it.
const char* PlaceAfterStart(std::string_view lookBehind, std::string_view block) {
  char* const blockStart = Pages().begin() + lookBehind.size();
  std::copy(lookBehind.begin(), lookBehind.end(), Pages().begin());
  std::copy(block.begin(), block.end(), blockStart);
  return blockStart;
}

constexpr std::array<std::string_view, 27> kBoundaryValues = {
    "0",   "9",   "10",  "99",  "100",  "199",  "200",  "205",  "209",
    "245", "249", "250", "251", "254",  "255",  "256",  "259",  "260",
    "290", "299", "300", "999", "1000", "2550", "0255", "0256", "00"};

// Lines of every length a fast path takes: empty, one, two and three digits.
constexpr std::array<std::string_view, 4> kFillers = {"\n", "7\n", "42\n", "123\n"};

constexpr std::size_t kLanes = 64;  // the widest vector a fast path may use

// `filler` lines (and empty ones to make up the length) up to `valueAt`,
// the line `value` there, then `filler` lines for several vectors more.
std::string ValueAmongFillers(std::string_view value, std::string_view filler,
                              std::size_t valueAt) {
  std::string input(valueAt % filler.size(), '\n');
  while (input.size() < valueAt) input += filler;
  input += value;
  input += '\n';
  while (input.size() < valueAt + 6 * kLanes) input += filler;
  return input;
}

// Each boundary value, after each filler, at every lane position of the
// second and third vectors; the whole input one block.
void ExpectEveryLaneAgrees(model::PlaceBlock place) {
  int failures = 0;
  for (std::string_view value : kBoundaryValues) {
    for (std::string_view filler : kFillers) {
      for (std::size_t at = kLanes; at < 3 * kLanes && failures < 5; ++at) {
        const std::string input = ValueAmongFillers(value, filler, at);
        const std::string difference = model::DifferenceFromModel(input, input.size(), place);
        if (difference.empty()) continue;
        ++failures;
        ADD_FAILURE() << difference << " for '" << value << "' at byte " << at << " after lines '"
                      << filler.substr(0, filler.size() - 1) << "'";
      }
    }
  }
}

TEST(FastPathBounds, EveryValueAtEveryLaneBeforeAGuardPage) {
  ExpectEveryLaneAgrees(PlaceAgainstEnd);
}

TEST(FastPathBounds, EveryValueAtEveryLaneAfterAGuardPage) {
  ExpectEveryLaneAgrees(PlaceAfterStart);
}

// All the boundary values in one input, cut into blocks of every size up
// to two vectors and a half, so that a block ends at every place in a line.
TEST(FastPathBounds, BlocksOfEverySizeAgainstGuardPages) {
  std::string input;
  for (std::string_view filler : kFillers) {
    for (std::string_view value : kBoundaryValues) {
      input += filler;
      input += value;
      input += '\n';
    }
  }
  for (std::size_t blockSize = 1; blockSize <= 160; ++blockSize) {
    EXPECT_EQ(model::DifferenceFromModel(input, blockSize, PlaceAgainstEnd), "");
    EXPECT_EQ(model::DifferenceFromModel(input, blockSize, PlaceAfterStart), "");
  }
}

}  // namespace
}  // namespace decbytes
