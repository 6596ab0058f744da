// The formats layer as a module the programs load (formats/Loader.hpp) when
// they need it: GDAL and the hundred libraries it brings are loaded by the
// commands that read or write a raster and by the map, not by every run. The module holds only this layer;
// the layers below it are the program's own, resolved from the executable, so
// there is one copy of their state in the process.
// The entry table is a constant: thread-safe.
#pragma once

#include "formats/Coastline.hpp"
#include "formats/Raster.hpp"

namespace tessmar {

struct TFormatsModule {
  // The program's version the module was built with: a module from another
  // build may lay out the grids differently.
  const char* Version;
  decltype(&ImportRaster) Import;
  decltype(&ExportGrid) Export;
  decltype(&FindCoastlineFile) FindCoast;
  decltype(&ReadCoastlines) ReadCoast;
};

// The name the loader looks the entry point up by.
inline constexpr const char* FormatsModuleEntry = "TessmarFormatsModule";

}  // namespace tessmar

extern "C" const tessmar::TFormatsModule* TessmarFormatsModule();
