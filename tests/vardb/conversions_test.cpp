#include <cmath>
#include <limits>

#include "support/test_support.h"
#include "vardb/conversions.h"

namespace {

TEST(Bcd, DigitsBothWays) {
  EXPECT_EQ(IntToBcd4(3695), 0x3695);
  EXPECT_EQ(BcdToInt(0x3695), 3695);
  EXPECT_EQ(IntToBcd4(12345), 0x2345);
  EXPECT_EQ(IntToBcd5(12345), 0x12345u);
  EXPECT_EQ(IntToBcd5Shifted(3445), 0x03445000u);
  EXPECT_EQ(BcdToInt(0x00A0), 100) << "a nibble above 9 counts at face value";
  EXPECT_EQ(AdfToTenths(0x0234, 0x0105), 12345);
}

TEST(BandSteps, NoFrequencyYetIsNotStepped) {
  uint16_t result = 0xBEEF;
  EXPECT_FALSE(ComBandStep(0x0000, -5, result));
  EXPECT_FALSE(NavBandStep(0x0099, 5, result));
  EXPECT_EQ(result, 0xBEEF);
}

TEST(Truncation, TowardZeroKeepingTheLow32Bits) {
  EXPECT_EQ(TruncateToBits(250.99), 250u);
  EXPECT_EQ(TruncateToBits(-2.99), 0xFFFFFFFEu);
  EXPECT_EQ(TruncateToBits(4294967296.0 + 7.5), 7u);
  EXPECT_EQ(TruncateToBits(std::numeric_limits<double>::quiet_NaN()), 0u);
  EXPECT_EQ(TruncateToBits(-std::numeric_limits<double>::infinity()), 0u);
  EXPECT_EQ(TruncateToBits(1e300), static_cast<uint32_t>(std::fmod(1e300, 4294967296.0)));
}

}  // namespace
