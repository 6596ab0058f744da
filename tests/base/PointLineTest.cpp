// The point-line reader: what point a person's line means, or why it means none.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "base/PointLine.hpp"

namespace tessmar {
namespace {

using TKind = TPointLine::TKind;

TEST(ReadPointLine, EachLineHasOneReadingOrNone) {
  struct TCase {
    const char* line;
    TKind kind;
    double lat, lon;
    const char* rest;  // a point's kept fields; a refusal's reason, in part
    bool looksLikePoint;
  } cases[] = {
      // The separator is the first of ";", tab and "," the line holds.
      {"35.5;139.5", TKind::Point, 35.5, 139.5, "", true},
      {"35 30 N;139 45 E;pt1;12.3", TKind::Point, 35.5, 139.75, "pt1;12.3", true},
      {"35 30 N\t139 E\tname", TKind::Point, 35.5, 139, "name", true},
      {"35.6,139.7,h=3", TKind::Point, 35.6, 139.7, "h=3", true},
      {" 35.6 , 139.7 ", TKind::Point, 35.6, 139.7, "", true},
      {"35.6, 139.7, 4 x", TKind::Point, 35.6, 139.7, "4 x", true},
      {"35.6;139.7; 4", TKind::Point, 35.6, 139.7, " 4", true},  // kept as written
      {"35:36:00,139:42:00", TKind::Point, 35.6, 139.7, "", true},
      {"35 36 00 N,139 42 00 E,pt1", TKind::Point, 35.6, 139.7, "pt1", true},
      // No separator: words between blanks, each coordinate one word.
      {"35.5 139.5", TKind::Point, 35.5, 139.5, "", true},
      {"  35.5   139.5  12.3 name", TKind::Point, 35.5, 139.5, "12.3 name", true},
      {"35\xC2\xB0"
       "36'N 139\xC2\xB0"
       "42'E",
       TKind::Point, 35.6, 139.7, "", true},
      {"35 139 12.3", TKind::Point, 35, 139, "12.3", true},  // 139 is no minute
      {"35 60 139", TKind::Point, 35, 60, "139", true},      // nor is 60
      {"35.5;139.5\r", TKind::Point, 35.5, 139.5, "", true},
      {"35.5;139.5;pt\r\r", TKind::Point, 35.5, 139.5, "pt", true},  // every CR before the line end goes
      // No point, no answer of its own.
      {"", TKind::Blank, 0, 0, "", false},
      {" \t ", TKind::Blank, 0, 0, "", false},
      {"# a comment", TKind::Comment, 0, 0, "", false},
      {"  #35.5;139.5", TKind::Comment, 0, 0, "", false},
      // More than one reading: refused, never guessed.
      {"35 36 N 139 42 E", TKind::Refused, 0, 0, "could make a point in more than one way", true},
      {"35 36 00 N 139 42 00 E", TKind::Refused, 0, 0, "could make a point in more than one way", true},
      {"35 36 00 139 42 00", TKind::Refused, 0, 0, "could make a point in more than one way", true},
      {"35\xC2\xB0 36' N 139\xC2\xB0 42' E", TKind::Refused, 0, 0, "more than one way", true},
      {"35,6 139,7", TKind::Refused, 0, 0, "column 4: \"6 139\" could be a number with a decimal comma", true},
      {"85 2,139", TKind::Refused, 0, 0, "column 1: \"85 2\" could be a number with a decimal comma", true},
      {"35 30.5,139", TKind::Refused, 0, 0, "column 1: \"35 30.5\" could be a number with a decimal comma", true},
      {"35 36.5 139 E", TKind::Refused, 0, 0, "could make a point in more than one way", true},
      // Refused for what they hold.
      {"35,6;139,7", TKind::Refused, 0, 0, "column 1: \"35,6\" is not a latitude: a comma is no decimal separator",
       true},
      {"35.5", TKind::Refused, 0, 0, "expected LAT;LON", true},
      {"35.6;139.7,12;a", TKind::Refused, 0, 0, "column 6: \"139.7,12\" is not a longitude", true},  // ";" first
      {"35.5;", TKind::Refused, 0, 0, "is not a longitude: it is empty", true},
      {"99;1", TKind::Refused, 0, 0, "column 1: \"99\" is not a latitude: a latitude lies within -90..90", true},
      {"35d30;139", TKind::Refused, 0, 0, "\"d\" is not part of a coordinate", true},
      {"35 E;139", TKind::Refused, 0, 0, "is no hemisphere of a latitude", true},
      {"lat;lon", TKind::Refused, 0, 0, "is not a latitude", false},
      {"x;139", TKind::Refused, 0, 0, "column 1: \"x\" is not a latitude", true},  // a point, not a header
      {"Latitude Longitude Height", TKind::Refused, 0, 0, "is not a latitude", false},
      {"x y", TKind::Refused, 0, 0, "is not a latitude", false},
      {".5;x", TKind::Refused, 0, 0, "is not a longitude", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const TPointLine p = ReadPointLine(c.line);
    EXPECT_EQ(p.Kind, c.kind) << p.Reason;
    if (c.kind == TKind::Point) {
      EXPECT_DOUBLE_EQ(p.LatValue, c.lat);
      EXPECT_DOUBLE_EQ(p.LonValue, c.lon);
      EXPECT_EQ(p.Rest, c.rest);
    }
    if (c.kind == TKind::Refused) {
      EXPECT_NE(p.Reason.find(c.rest), std::string::npos) << p.Reason;
      EXPECT_EQ(p.LooksLikePoint, c.looksLikePoint);
    }
  }
}

// What is accepted reads exactly as the strict coordinate rule reads it: the
// forms of one point give the same bits.
TEST(ReadPointLine, EveryFormOfAPointReadsTheSameBits) {
  const char* forms[] = {"35 40 37.8 N;139 44 52.3 E", "35 40 37.8\t139 44 52.3", "35:40:37.8,139:44:52.3",
                         "35\xC2\xB0"
                         "40'37.8\"N 139\xC2\xB0"
                         "44'52.3\"E",
                         "35 40 37.8 N,139 44 52.3 E"};
  for (const char* line : forms) {
    const TPointLine p = ReadPointLine(line);
    ASSERT_EQ(p.Kind, TKind::Point) << line << ": " << p.Reason;
    EXPECT_EQ(p.LatValue, 35.677166666666665) << line;
    EXPECT_EQ(p.LonValue, 139.74786111111112) << line;
  }
}

}  // namespace
}  // namespace tessmar
