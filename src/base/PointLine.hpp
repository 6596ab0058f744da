// One line of a points file, as the CLI's check reads it (GeographicLib's and
// PROJ's batch tools take the same shapes):
//   LAT;LON[;MORE]      degrees, or degrees, minutes and seconds
//   LAT<TAB>LON[<TAB>MORE]   likewise
//   LAT LON [MORE], LAT,LON[,MORE]   decimal degrees
// MORE (heights, names) is kept as written and never read. A blank line and a
// line starting with "#" are no points. Coordinates follow the strict rule of
// ReadStrictCoordinate. Pure; thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tessmar {

struct TPointLine {
  enum class TKind : std::uint8_t { Blank, Comment, Point, Refused };
  TKind Kind = TKind::Blank;
  std::string_view Text;      // the line without its line end
  std::string_view Lat, Lon;  // the point as given, blanks trimmed (empty when it did not split)
  std::string_view Rest;      // what follows the point, after its separator
  double LatValue = 0, LonValue = 0;
  std::string Reason;  // Refused: why, with the column (1-based) where it went wrong
};

TPointLine ReadPointLine(std::string_view line);

}  // namespace tessmar
