#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
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
  // A decimal comma locale, where it exists on the machine.
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = old ? old : "C";
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) GTEST_SKIP() << "no de_DE locale here";
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

}  // namespace
}  // namespace tessmar
