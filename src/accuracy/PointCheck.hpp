// The point check: the source value, the custom value and their difference at
// a point (the window reads it from EditLat and EditLon), shown in EditGeoid,
// EditCustomGeoid and EditError.
// PointCheck runs on the session's thread (it opens grids and shows values);
// CheckPoint and CheckPoints only read open grids: safe from several threads.
#pragma once

#include <string>

#include "session/Grids.hpp"
#include "session/Session.hpp"

namespace tessmar {

// "Out of range." for NaN, else "%6.4f": how a checked value is shown.
std::string CheckValueText(double value);
// The same written at out (FixedRoom characters at most); its end.
char* WriteCheckValue(char* out, double value);
// How the difference is shown: "%6.4f", nothing for NaN (a value is missing).
char* WriteCheckError(char* out, double error);

// The three values at one point. A closed grid gives NaN.
struct TPointNumbers {
  double Source;  // SourceValue, float64
  double Custom;  // CustomValue, float32 widened
  double Error;   // Custom - Source, NaN when either is
};

// The three values at one point and their texts as the fields show them.
// Reads only: safe from several threads.
struct TPointValues : TPointNumbers {
  std::string SourceText, CustomText, ErrorText;
};
TPointValues CheckPoint(const TSession& session, double lat, double lon);
// CheckPoint's values at count points: out[k] for (lats[k], lons[k]), with
// the splines of the points set up side by side; their texts are
// WriteCheckValue's and WriteCheckError's.
void CheckPoints(const TSession& session, const double* lats, const double* lons, std::size_t count,
                 TPointNumbers* out);

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
// file it still shows the source value. Inside a running conversion or scan
// (Busy) it may only read the grids it finds open: without both it does nothing.
TPointCheck PointCheck(TSession& session, const TSelection& selection, double lat, double lon);

}  // namespace tessmar
