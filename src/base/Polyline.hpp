// Lines on the earth, such as coastlines: each a list of points in order,
// longitude and latitude in degrees (longitudes as their source gives them,
// consecutive points less than half a turn apart). Plain values.
// consecutive points less than half a turn apart). Plain values: thread-safe as
// any value is (reads from several threads, a write from one).
#pragma once

#include <vector>

namespace tessmar {

struct TGeoPoint {
  float Lon = 0, Lat = 0;
};

using TPolyline = std::vector<TGeoPoint>;
using TPolylines = std::vector<TPolyline>;

}  // namespace tessmar
