// Grid formats through GDAL: any single-band geographic raster GDAL opens
// (GeoTIFF, GTX, NetCDF, ...) in as a source grid, and the custom geoid out as
// a GeoTIFF that PROJ applies as a geoid model, or as GTX. The record layout of
// the source grids and the custom geoid file stay the program's own (grid/).
//
// GDAL places a value at the centre of its pixel whatever the format says, so
// a pixel-is-area raster is read at its cell centres, as a pixel-is-point one
// at its points. A GeoTIFF tagged pixel-is-point has its tie point read as the
// node itself, to the last bit; GeoTIFFs written here are pixel-is-point, as
// PROJ asks.
//
// Every operation throws TError with a message for the user and leaves nothing
// behind on failure. GDAL is set up on first use; one thread at a time.
//
// The programs reach ImportRaster and ExportGrid through the formats
// module (formats/Module.hpp), so that only the commands that need GDAL load
// it; the format names below are its own, known before any module is loaded.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/Text.hpp"
#include "grid/GeoidGrid.hpp"
#include "grid/SourceImport.hpp"

namespace tessmar {

// Writes the raster at `path` to dataDir + fname as a source grid, by the rules
// every import shares (grid/SourceImport.hpp); its no-data value (before any
// scale and offset it has) becomes a node without a value. Refused besides what
// those rules refuse: what GDAL cannot open, more than one band, complex values,
// no coordinate reference system or georeferencing, coordinates that are not
// latitude and longitude in degrees on WGS 84 (or a datum GDAL reports as the
// same), a rotated or sheared geotransform.
TSourceImport ImportRaster(const std::string& path, const std::string& dataDir, const std::string& fname,
                           const std::string& title, bool overwrite, const TProgress& progress = {});

enum class TGridFormat { GTiff, GTX };

// The format of a name as the CLI takes it ("GTiff", "GTX", any case); none for
// another.
inline std::optional<TGridFormat> GridFormatNamed(const std::string& name) {
  const std::string lower = AsciiLower(name);
  if (lower == "gtiff") return TGridFormat::GTiff;
  if (lower == "gtx") return TGridFormat::GTX;
  return std::nullopt;
}

// The usual file extension of a format, with its dot.
inline std::string GridFormatExtension(TGridFormat format) { return format == TGridFormat::GTiff ? ".tif" : ".gtx"; }

// Writes the open grid (the custom geoid) to path. GTiff: a Geodetic TIFF grid
// as PROJ reads geoid models (vertical offset from WGS 84 to a vertical CRS,
// values in metres, pixel-is-point, Float32, deflate with the floating-point
// predictor, 256 x 256 tiles or one strip for a small grid), nodes without a
// value as the no-data value GeoTiffNoData, `name` as its grid name. GTX: as
// ExportGtx writes it. Longitudes as ExchangeWest places them. Refuses an
// existing file unless overwrite. Returns the bytes written.
std::int64_t ExportGrid(const TGeoidGrid& grid, const std::string& path, TGridFormat format, const std::string& name,
                        bool overwrite, const TProgress& progress = {});

// A finite no-data value, as PROJ asks for, that no geoid undulation can take.
inline constexpr float GeoTiffNoData = -32768.0f;

}  // namespace tessmar
