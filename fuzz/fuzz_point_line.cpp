// One line of a points file: the input is the line. The reader never faults; a
// point's fields are parts of the line that the strict rule reads to the values
// given; anything else is blank, a comment, or refused with a reason.
#include <string_view>

#include "FuzzSupport.hpp"
#include "base/CoordText.hpp"
#include "base/PointLine.hpp"

using namespace tessmar;

namespace {
bool Within(std::string_view part, std::string_view whole) {
  return part.empty() || (part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size());
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const TPointLine p = ReadPointLine(line);
  FUZZ_CHECK(Within(p.Text, line) && Within(p.Lat, line) && Within(p.Lon, line) && Within(p.Rest, line));
  FUZZ_CHECK(p.Text.empty() || p.Text.back() != '\r');  // no CR of the line end stays in an answer
  switch (p.Kind) {
    case TPointLine::TKind::Point: {
      const TStrictCoordinate lat = ReadStrictCoordinate(p.Lat, TAxis::Latitude);
      const TStrictCoordinate lon = ReadStrictCoordinate(p.Lon, TAxis::Longitude);
      FUZZ_CHECK(lat.Value && fuzz::SameValue(*lat.Value, p.LatValue));
      FUZZ_CHECK(lon.Value && fuzz::SameValue(*lon.Value, p.LonValue));
      break;
    }
    case TPointLine::TKind::Refused: FUZZ_CHECK(!p.Reason.empty()); break;
    default: FUZZ_CHECK(p.Reason.empty());
  }
  return 0;
}
