#include "process/text.h"
#include "support/test_support.h"

namespace {

struct DecimalCase {
  const char* text;
  int32_t value;
};

void PrintTo(const DecimalCase& c, std::ostream* out) { *out << '"' << c.text << '"'; }

class LeadingDecimalCases : public testing::TestWithParam<DecimalCase> {};

TEST_P(LeadingDecimalCases, ReadsLikeTheRuntime) { EXPECT_EQ(LeadingDecimal(GetParam().text), GetParam().value); }

INSTANTIATE_TEST_SUITE_P(Table, LeadingDecimalCases,
                         testing::Values(DecimalCase{"9100", 9100}, DecimalCase{"  42x", 42}, DecimalCase{"-7", -7},
                                         DecimalCase{"+8", 8}, DecimalCase{"FL350", 0}, DecimalCase{"", 0},
                                         DecimalCase{"- 5", 0}, DecimalCase{"2147483648", 2147483647},
                                         DecimalCase{"-2147483648", -2147483647 - 1},
                                         DecimalCase{"-99999999999", -2147483647 - 1}));

}  // namespace
