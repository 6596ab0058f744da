#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

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
  for (double bad : {std::nan(""), inf, -inf, 9.3e18, -9.3e18, 9223372036854775808.0}) {  // 2^63 is one past the last
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
  EXPECT_EQ(FormatFixed(0.1875, 4, 3), "0.188");
  EXPECT_EQ(FormatFixed(-0.00004, 6, 4), "-0.0000");  // the sign stays, as printf keeps it
  EXPECT_EQ(FormatFixed(-0.0, 6, 4), "-0.0000");
  EXPECT_EQ(FormatFixed(2.5, 0, 0), "2");
  EXPECT_EQ(FormatFixed(1e300, 0, 1).size(), 303u);
  EXPECT_EQ(FormatFixed(std::nan(""), 0, 2), "nan");
  // Every value as the general routine writes it: values of every size, exact
  // ties at every place, and the undulations and differences of a check.
  const auto general = [](double v, int width, int decimals) {
    char text[400];
    std::string fixed(text, std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, decimals).ptr);
    return std::string(std::max<int>(width - static_cast<int>(fixed.size()), 0), ' ') + fixed;
  };
  std::mt19937_64 random(3);
  for (int k = 0; k < 300000; ++k) {
    const int decimals = k % 10;
    double v = 0;
    switch (k % 5) {
      case 0: v = std::uniform_real_distribution<double>(-400, 400)(random); break;
      case 1: v = std::bit_cast<double>(random()); break;
      case 2: v = static_cast<double>(static_cast<std::int64_t>(random() % 2000001) - 1000000) / (1 << k % 30); break;
      case 3: v = std::ldexp(static_cast<double>(random() >> 11), -static_cast<int>(random() % 1100)); break;
      case 4: v = std::uniform_real_distribution<double>(-4294967296.0, 4294967296.0)(random); break;  // 19 digits
    }
    const int width = k % 3 * 6;
    ASSERT_EQ(FormatFixed(v, width, decimals), general(v, width, decimals)) << std::hexfloat << v << ' ' << decimals;
  }
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
