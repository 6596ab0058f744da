#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "base/Numeric.hpp"

namespace tessmar {
namespace {

TEST(Round, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(Round(0.5), 0);
  EXPECT_EQ(Round(1.5), 2);
  EXPECT_EQ(Round(2.5), 2);
  EXPECT_EQ(Round(-0.5), 0);
  EXPECT_EQ(Round(-1.5), -2);
  EXPECT_EQ(Round(2.5000000000000004), 3);
  EXPECT_EQ(Round(100 / (1.0 / 24)), 2400);
  EXPECT_EQ(Round(4e18), 4000000000000000000);  // results are 64-bit
}

TEST(Round, NoIntegerRaisesTheInvalidOperationError) {
  const double inf = std::numeric_limits<double>::infinity();
  for (double bad : {std::nan(""), inf, -inf, 9.3e18, -9.3e18}) {
    try {
      Round(bad);
      ADD_FAILURE() << bad << " rounded without error";
    } catch (const TError& e) {
      EXPECT_STREQ(e.what(), "Invalid floating point operation");
    }
  }
  EXPECT_THROW(Trunc(std::nan("")), TError);
  EXPECT_THROW(Floor(inf), TError);
  EXPECT_EQ(Round(-9223372036854775808.0), std::numeric_limits<std::int64_t>::min());
}

TEST(TruncAndFloor, DifferBelowZero) {
  EXPECT_EQ(Trunc(-2.5), -2);
  EXPECT_EQ(Floor(-2.5), -3);
  EXPECT_EQ(Trunc(2.9), 2);
  EXPECT_EQ(Floor(2.9), 2);
}

TEST(NoValue, IsTheNegativeQuietNaNPattern) {
  EXPECT_TRUE(std::isnan(NoValue()));
  EXPECT_EQ(std::bit_cast<std::uint32_t>(NoValue()), 0xFFC00000u);
}

TEST(FormatFixed, PadsLeftAndUsesAPoint) {
  EXPECT_EQ(FormatFixed(36.71234, 6, 4), "36.7123");
  EXPECT_EQ(FormatFixed(-0.0123, 6, 4), "-0.0123");
  EXPECT_EQ(FormatFixed(2.5, 4, 1), " 2.5");
  EXPECT_EQ(FormatFixed(5.5, 9, 6), " 5.500000");
  EXPECT_EQ(FormatFixed(0.0625, 4, 3), "0.062");  // ties to even, as printf does
}

TEST(IntToGroupedStr, GroupsOfThreeFromTheRight) {
  EXPECT_EQ(IntToGroupedStr(538796), "538,796");
  EXPECT_EQ(IntToGroupedStr(1234567), "1,234,567");
  EXPECT_EQ(IntToGroupedStr(999), "999");
  EXPECT_EQ(IntToGroupedStr(1000), "1,000");
  EXPECT_EQ(IntToGroupedStr(0), "0");
  EXPECT_EQ(IntToGroupedStr(933206440), "933,206,440");
  EXPECT_EQ(IntToGroupedStr(-1234), "-1,234");
}

}  // namespace
}  // namespace tessmar
