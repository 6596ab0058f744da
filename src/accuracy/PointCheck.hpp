// The point check: the source value, the custom value and their difference at
// a point (the window reads it from EditLat and EditLon), shown in EditGeoid,
// EditCustomGeoid and EditError.
#pragma once

#include <string>

#include "session/Grids.hpp"
#include "session/Session.hpp"

namespace tessmar {

// "Out of range." for NaN, else "%6.4f": how a checked value is shown.
std::string CheckValueText(double value);

// The three values at one point and their texts as the fields show them. A
// closed grid gives NaN. Reads only: safe from several threads.
struct TPointValues {
  double Source;  // SourceValue, float64
  double Custom;  // CustomValue, float32 widened
  double Error;   // Custom - Source, NaN when either is
  std::string SourceText, CustomText, ErrorText;
};
TPointValues CheckPoint(const TSession& session, double lat, double lon);
// CheckPoint at count points: out[k] for (lats[k], lons[k]), the same values
// and texts, with the splines of the points set up side by side.
void CheckPoints(const TSession& session, const double* lats, const double* lons, std::size_t count, TPointValues* out);

// What the Check button did.
struct TPointCheck {
  bool Checked = false;     // the source model was open, the point evaluated
  bool CustomOpen = false;  // the custom geoid file was open for it
  // As the fields show them; without a custom file the custom and error texts
  // are empty and their values NaN.
  TPointValues Values{};
};

// The Check button's work (and Enter's in a coordinate field) at (lat, lon),
// degrees (NaN: a coordinate that does not read). Opens the selection's source
// model and custom geoid file when they are not open yet; without a custom
// file it still shows the source value.
TPointCheck PointCheck(TSession& session, const TSelection& selection, double lat, double lon);

}  // namespace tessmar
