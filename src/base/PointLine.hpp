// One line of a points file, as the CLI's check reads it (GeographicLib's and
// PROJ's batch tools take the same shapes). The separator of a line is the
// first of ";", tab and "," that the line holds; a line with none of them
// splits at blanks:
//   LAT;LON[;MORE]   LAT<TAB>LON[<TAB>MORE]   LAT,LON[,MORE]   LAT LON [MORE]
// Within a field blanks part degrees, minutes and seconds ("35 36 00 N;139 42
// 00 E"); where fields are blanks apart, each coordinate is one word ("35.5",
// "35°36'N", "35:36:00"). A line that could be read as a point in more than one
// way is refused, never guessed: a ","-separated field of bare numbers with a
// blank inside ("85 2": a decimal comma, or degrees and minutes?) and degrees,
// minutes and seconds between blanks ("35 36 N 139 42 E"). MORE (heights,
// names) is kept as written and never read. A blank line and a line starting
// with "#" are no points. Coordinates follow the strict rule of
// ReadStrictCoordinate. Pure; thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tessmar {

struct TPointLine {
  enum class TKind : std::uint8_t { Blank, Comment, Point, Refused };
  TKind Kind = TKind::Blank;
  std::string_view Text;      // the line without its line end (LF, and the CRs before it)
  std::string_view Lat, Lon;  // the point as given, blanks trimmed (empty when it did not split)
  std::string_view Rest;      // what follows the point, after its separator
  double LatValue = 0, LonValue = 0;
  std::string Reason;  // Refused: why, with the column (1-based) where it went wrong
  // One of its first two fields begins as a number or a coordinate does (a
  // digit, a sign, a point before a digit): a first line that does not is a
  // header, not a point that went wrong.
  bool LooksLikePoint = false;
};

TPointLine ReadPointLine(std::string_view line);

// How a point line may be written, for messages.
inline constexpr const char* PointLineSpellings =
    "35 36 00 N;139 42 00 E, 35:36:00,139:42:00 or 35\xC2\xB0"
    "36'N 139\xC2\xB0"
    "42'E";

}  // namespace tessmar
