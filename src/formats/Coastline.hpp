// Coastlines from GSHHG (the Global Self-consistent, Hierarchical,
// High-resolution Geography) in the binned netCDF files that Debian's
// gmt-gshhg-low (resolutions c, l, i) and gmt-gshhg-high (h, f) install, read
// through GDAL's netCDF driver. A bin holds the pieces of shore inside it as
// open lines; the reader returns them as they are: shorelines and lake shores,
// and of Antarctica its ice front. Thread-safe apart from GDAL's own set-up.
#pragma once

#include <string>

#include "base/Polyline.hpp"

namespace tessmar {

// The binned file of a resolution ('c', 'l', 'i', 'h' or 'f') in the folders
// where packages put it; "" when there is none.
std::string FindCoastlineFile(char resolution);

// The lines of a binned file, longitudes in 0 .. 360. Throws TError naming the
// file and why when it cannot be read or does not hold what it should (every
// count and index is checked before use).
TPolylines ReadCoastlines(const std::string& path);

}  // namespace tessmar
