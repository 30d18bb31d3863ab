// CheckValue alone: which fields are byte values, and what value they hold.
#include <gtest/gtest.h>

#include <string>

#include <decbytes/decbytes.h>

namespace decbytes {
namespace {

struct FieldCase {
  std::string field;
  int expected;
};

class CheckValueTest : public ::testing::TestWithParam<FieldCase> {
 protected:
  void SetUp() override { SetByteBound(); }
};

TEST_P(CheckValueTest, JudgesField) {
  EXPECT_EQ(CheckValue(GetParam().field), GetParam().expected);
}

using std::string_literals::operator""s;

INSTANTIATE_TEST_SUITE_P(Fields, CheckValueTest,
                         ::testing::Values(
                             // Digits only, leading zeros allowed, up to 255.
                             FieldCase{"0", 0}, FieldCase{"00", 0}, FieldCase{"000", 0},
                             FieldCase{"7", 7}, FieldCase{"007", 7}, FieldCase{"99", 99},
                             FieldCase{"199", 199}, FieldCase{"255", 255}, FieldCase{"", 0},
                             // At or above the bound.
                             FieldCase{"256", -1}, FieldCase{"300", -1}, FieldCase{"999", -1},
                             FieldCase{"99999999999999999999", -1},
                             // Any non-digit anywhere, whatever the numeric prefix.
                             FieldCase{"2a", -1}, FieldCase{"a2", -1}, FieldCase{" 1", -1},
                             FieldCase{"1 ", -1}, FieldCase{"+1", -1}, FieldCase{"-1", -1},
                             FieldCase{"65\r", -1}, FieldCase{"1\0x"s, -1}, FieldCase{"\0"s, -1},
                             FieldCase{"1\x80", -1}, FieldCase{"\xff", -1}, FieldCase{"/", -1},
                             FieldCase{":", -1}));

// The bound is read at every call: before the command line raises it, only 0
// passes.
TEST(CheckValueBound, FollowsMaxValue) {
  MaxValue = 1;
  EXPECT_EQ(CheckValue("0"), 0);
  EXPECT_EQ(CheckValue("1"), -1);
  SetByteBound();
  EXPECT_EQ(MaxValue, 256);
  EXPECT_EQ(CheckValue("1"), 1);
}

}  // namespace
}  // namespace decbytes
