#include <gtest/gtest.h>

#include <bit>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

#include "base/CoordText.hpp"
#include "base/Numeric.hpp"

namespace tessmar {
namespace {

struct TCase {
  const char* text;
  double degrees;
};

TEST(ParseCoordinate, ReadsDegreesMinutesSecondsAndSigns) {
  const TCase cases[] = {
      {"35 40 37.8", 35.677166666666665},
      {"139 44 52.3", 139.74786111111112},
      {"35.5", 35.5},
      {"35 30", 35.5},
      {"N35 30", 35.5},
      {"35 30 N", 35.5},
      {"35:30:00", 35.5},
      {"35\xC2\xB0"
       "30'",
       35.5},  // degree sign in UTF-8
      {"35 30 S", -35.5},
      {"S35 30", -35.5},
      {"-35 30", -35.5},
      {"35 30 s", -35.5},  // letters in either case
      {"+35 30", 35.5},
      {"35 -30", 35.5},  // a minus after the first number is ignored
      {"35-40", -3540},  // and does not end the number
      {"35,5", 35.083333333333336},
      {"-35 30 N", 35.5},  // the last letter wins
      {"1E5", 15},         // E is east, not an exponent
      {"35 40 37.8 12", 35.677166666666665},
      {"35 40 37.8 12 13 14 15", 35.677166666666665},
      {"N", 0},
      {".5", 0.5},
      {"5.", 5},
      {"\t 35.5 \r\n", 35.5},
      {"0 0 3600", 1},  // ranges are not checked
  };
  for (const auto& c : cases) EXPECT_EQ(ParseCoordinate(c.text), c.degrees) << '"' << c.text << '"';
  EXPECT_TRUE(std::signbit(ParseCoordinate("W")));  // -0
}

TEST(ParseCoordinate, GivesNaNForNothingToRead) {
  for (const char* text : {"", "   ", "1.2.3", ".", "35 1.2.3", "1..2", "\x01\x02"})
    EXPECT_TRUE(std::isnan(ParseCoordinate(text))) << '"' << text << '"';
}

TEST(ParseCoordinate, SurvivesHostileText) {
  EXPECT_TRUE(std::isnan(ParseCoordinate(std::string(100000, '7') + " 30")));
  EXPECT_EQ(ParseCoordinate("35.5" + std::string(100000, '0')), 35.5);
  EXPECT_EQ(ParseCoordinate(std::string(100000, ',') + "35"), 35);
  EXPECT_TRUE(std::isnan(ParseCoordinate(std::string(400, '9'))));     // beyond double: does not read
  EXPECT_EQ(ParseCoordinate("0." + std::string(400, '0') + "1"), 0);   // below double: 0
  EXPECT_EQ(ParseCoordinate("\xE6\x9D\xB1\xE4\xBA\xAC 35 30"), 35.5);  // other scripts end numbers
  EXPECT_EQ(ParseCoordinate(std::string("35\0"
                                        "30",
                                        5)),
            35.5);
}

TEST(ParseCoordinate, IgnoresTheUsersLocale) {
  // A decimal comma locale, where it exists on the machine (Windows names it
  // otherwise).
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = old ? old : "C";
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "German_Germany.1252"))
    GTEST_SKIP() << "no German locale here";
  EXPECT_EQ(ParseCoordinate("35.5"), 35.5);
  EXPECT_EQ(ParseNumber("0.25"), 0.25);
  EXPECT_EQ(FormatFixed(-0.0123, 6, 4), "-0.0123");
  std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(ParseNumber, ReadsPlainNumbersOrGivesZero) {
  const TCase cases[] = {{"  2.0 ", 2},  {"", 0},     {"abc", 0},   {"1e1", 10},   {"-1", -1}, {"+0.5", 0.5},
                         {"0.25", 0.25}, {".5", 0.5}, {"5.", 5},    {"1E+2", 100}, {"1e", 0},  {"inf", 0},
                         {"nan", 0},     {"0x10", 0}, {"1.2.3", 0}, {"1e400", 0},  {"--1", 0}, {"4.0x", 0}};
  for (const auto& c : cases) EXPECT_EQ(ParseNumber(c.text), c.degrees) << '"' << c.text << '"';
}

// The command line's strict rule: what it accepts reads as the window reads
// it; what it refuses is a typo that the window would have read as some number.
TEST(ReadStrictCoordinate, AcceptsWhatCannotBeATypoAndRefusesTheRest) {
  constexpr TAxis lat = TAxis::Latitude, lon = TAxis::Longitude;
  const struct {
    const char* text;
    TAxis axis;
    double degrees;  // NaN: refused
    const char* reason;
  } cases[] = {
      {"35 40 37.8", lat, 35.677166666666665, ""},
      {"35 40 37.8 N", lat, 35.677166666666665, ""},
      {"n35 40", lat, 35 + 40.0 / 60, ""},
      {"35:40:37.8", lat, 35.677166666666665, ""},
      {"35\xC2\xB0"
       "40'37.8\"",
       lat, 35.677166666666665, ""},
      {"-35.5", lat, -35.5, ""},
      {"+35.5", lat, 35.5, ""},
      {"35 30 s", lat, -35.5, ""},
      {"139 44 52.3 W", lon, -139.74786111111112, ""},
      {"-90", lat, -90, ""},
      {"359.99", lon, 359.99, ""},
      {"-360", lon, -360, ""},
      {".5", lat, 0.5, ""},
      {"5.", lat, 5, ""},
      {"-0", lat, -0.0, ""},
      {"0.1", lat, 0.1, ""},
      {"  -35.605712 ", lat, -35.605712, ""},
      {"89.9999999999999", lat, 89.9999999999999, ""},  // 15 digits
      {"35.1234567890123456", lat, 35.1234567890123456, ""},
      {"0000000000000035.5", lat, 35.5, ""},
      {"90.0000000000001", lat, NAN, "a latitude lies within -90..90"},
      {"-360.000001", lon, NAN, "a longitude lies within -360..360"},
      {"35d40m37.8s", lat, NAN, "\"d\" is not part of a coordinate"},  // the window reads -35.677
      {"139d44m52.3s", lon, NAN, "\"d\" is not part of a coordinate"},
      {"abc", lat, NAN, "\"a\" is not part of a coordinate"},
      {"", lat, NAN, "it is empty"},
      {"N", lat, NAN, "it has no digit"},
      {"91", lat, NAN, "a latitude lies within -90..90"},
      {"-90.0001", lat, NAN, "a latitude lies within -90..90"},
      {"360.5", lon, NAN, "a longitude lies within -360..360"},
      {"35 61 0", lat, NAN, "minutes must be below 60"},
      {"35 0 60", lat, NAN, "seconds must be below 60"},
      {"35 E", lat, NAN, "\"E\" is no hemisphere of a latitude (N or S)"},
      {"35 N", lon, NAN, "\"N\" is no hemisphere of a longitude (E or W)"},
      {"1E5", lon, NAN, "a hemisphere letter stands between numbers"},
      {"35 N 30", lat, NAN, "a hemisphere letter stands between numbers"},
      {"35-40", lat, NAN, "a \"-\" stands after the start"},
      {"35 -30", lat, NAN, "a \"-\" stands after the start"},
      {"-35 30 N", lat, NAN, "it has both a sign and a hemisphere letter"},
      {"N 35 S", lat, NAN, "it has two hemisphere letters"},
      {"35 40 37 8", lat, NAN, "it has more than three numbers"},
      {"35.5 30", lat, NAN, "only its last number may have a fraction"},
      {"35,5", lat, NAN, "a comma is no decimal separator here"},
      {"1.2.3", lat, NAN, "\"1.2.3\" is not a number"},
      {"35\x01"
       "30",
       lat, NAN, "it holds a character that is not part of a coordinate"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const TStrictCoordinate read = ReadStrictCoordinate(c.text, c.axis);
    if (std::isnan(c.degrees)) {
      EXPECT_FALSE(read.Value);
      EXPECT_EQ(read.Reason, c.reason);
    } else {
      ASSERT_TRUE(read.Value) << read.Reason;
      EXPECT_EQ(*read.Value, c.degrees);
      // As the window reads it, bit for bit (-0 included).
      EXPECT_EQ(std::bit_cast<std::uint64_t>(*read.Value), std::bit_cast<std::uint64_t>(ParseCoordinate(c.text)));
    }
  }
  // Plain decimal numbers as programs print them, each the bits of the general rule.
  std::mt19937_64 random(5);
  for (int k = 0; k < 200000; ++k) {
    const double value = std::uniform_real_distribution<double>(-90, 90)(random) * (k % 2 ? 1 : 4);
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", k % 16, std::ldexp(value, -(k % 7)));
    const TStrictCoordinate read = ReadStrictCoordinate(text, k % 2 ? lat : lon);
    ASSERT_TRUE(read.Value) << text;
    ASSERT_EQ(std::bit_cast<std::uint64_t>(*read.Value), std::bit_cast<std::uint64_t>(ParseCoordinate(text))) << text;
  }
}

TEST(FormatLatLon, SixDecimalsAndAHemisphere) {
  EXPECT_EQ(FormatLatLon(5.5, true), " 5.500000N");
  EXPECT_EQ(FormatLatLon(-35.5, true), "35.500000S");
  EXPECT_EQ(FormatLatLon(0, true), " 0.000000N");
  EXPECT_EQ(FormatLatLon(190, false), "170.000000W");
  EXPECT_EQ(FormatLatLon(350.25, false), "  9.750000W");
  EXPECT_EQ(FormatLatLon(-10, false), " 10.000000W");
  EXPECT_EQ(FormatLatLon(180, false), "180.000000E");
  EXPECT_EQ(FormatLatLon(-200, false), "200.000000W");  // only values above 180 are brought back
  EXPECT_EQ(FormatLatLon(1e300, false).size(), 11u);    // never loops for ever
}

}  // namespace
}  // namespace tessmar
