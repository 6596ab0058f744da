// The point check: the source value, the custom value and their difference at
// the point typed in EditLat and EditLon, shown in EditGeoid, EditCustomGeoid and
// EditError.
#pragma once

#include <string>

#include "grid/Session.hpp"

namespace tessmar {

// "Out of range." for NaN, else "%6.4f": how a checked value is shown.
std::string CheckValueText(double value);

// The three values at one point and their texts as the fields show them. The
// grids must be open (a closed grid gives NaN).
struct TPointValues {
  double Source;  // SourceValue, float64
  double Custom;  // CustomValue, float32 widened
  double Error;   // Custom - Source, NaN when either is
  std::string SourceText, CustomText, ErrorText;
};
TPointValues CheckPoint(const TSession& session, double lat, double lon);

// The Check button (and Enter in a coordinate field). Opens the selected source
// model and the custom geoid file when they are not open yet.
void ButtonCalcClick(TSession& session);

}  // namespace tessmar
