// Raster import through GDAL. The first byte chooses the input's kind:
//   below 0xF0, a raster described by the input and written as a GeoTIFF with
//   GDAL: its size, bands, data type, geotransform (taken as it is, so NaN,
//   infinities, zero and rotations appear), coordinate reference system,
//   no-data value, scale and offset, pixel convention and pixel values;
//   0xF0 and above, the rest of the input as a file of the extension its low
//   bits choose, for GDAL to make of what it can.
// An import either is refused with a TError or writes a source grid that opens,
// of the size reported; a described raster's nodes are its pixels, each at its
// place, scaled and offset, the no-data pixels missing.
#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "FuzzSupport.hpp"
#include "formats/Raster.hpp"
#include "grid/Source.hpp"

using namespace tessmar;

namespace {

// The described raster's header; its pixel values follow, in the data type,
// line by line from the top, band after band.
constexpr std::size_t ColsAt = 1, RowsAt = 2, FlagsAt = 3, TypeAt = 4, TransformAt = 5, NoDataAt = 53, ScaleAt = 61,
                      OffsetAt = 69, PixelsAt = 77;
// Flags: bits 0-1 three for two bands, bit 2 a no-data value, bit 3 a scale and
// offset, bit 4 pixel-is-point, bits 5-7 the coordinate reference system.
constexpr GDALDataType Types[] = {GDT_Byte,    GDT_UInt16, GDT_Int16,   GDT_UInt32,   GDT_Int32,
                                  GDT_Int64,   GDT_UInt64, GDT_Float32, GDT_Float64,  GDT_Float32,
                                  GDT_Float64, GDT_CInt16, GDT_CInt32,  GDT_CFloat32, GDT_CFloat64};
constexpr const char* Crs[] = {"EPSG:4326", "EPSG:4979", "EPSG:4269", "EPSG:4267",
                               "EPSG:4258", "EPSG:3857", "",          "EPSG:4326"};
constexpr const char* Extensions[] = {".tif", ".gtx", ".nc", ".asc"};

// A GDAL setting for the process while in scope.
struct TSetting {
  const char* Key;
  TSetting(const char* key, const char* value) : Key(key) { CPLSetConfigOption(key, value); }
  ~TSetting() { CPLSetConfigOption(Key, nullptr); }
};

// A pixel of the described raster as a number; the buffer GDAL wrote from is
// in the machine's byte order.
template <class T>
double Stored(const unsigned char* p) {
  T value;
  std::memcpy(&value, p, sizeof value);
  return static_cast<double>(value);
}
double PixelValue(const std::vector<unsigned char>& pixels, GDALDataType type, std::size_t index) {
  const unsigned char* p = pixels.data() + index * static_cast<std::size_t>(GDALGetDataTypeSizeBytes(type));
  switch (type) {
    case GDT_Byte: return Stored<std::uint8_t>(p);
    case GDT_UInt16: return Stored<std::uint16_t>(p);
    case GDT_Int16: return Stored<std::int16_t>(p);
    case GDT_UInt32: return Stored<std::uint32_t>(p);
    case GDT_Int32: return Stored<std::int32_t>(p);
    case GDT_Int64: return Stored<std::int64_t>(p);
    case GDT_UInt64: return Stored<std::uint64_t>(p);
    case GDT_Float32: return Stored<float>(p);
    case GDT_Float64: return Stored<double>(p);
    default: return std::nan("");
  }
}

// Imports the raster at path; false when refused, with a TError and nothing else.
bool Import(const std::string& path, TSourceImport& imported) {
  try {
    imported = ImportRaster(path, fuzz::Scratch().Path(), "imported", "Imported", true);
  } catch (const TError& e) {
    FUZZ_CHECK(*e.what() != '\0');
    return false;
  }
  return true;
}

std::unique_ptr<TGeoidGrid> OpenImported(const TSourceImport& imported) {
  auto grid = OpenSourceGrid(fuzz::Scratch().Path(), imported.Model);
  FUZZ_CHECK(grid != nullptr);
  FUZZ_CHECK(grid->FileSize() == imported.Size);
  return grid;
}

void RawInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = fuzz::WriteInput(std::string("in") + Extensions[data[0] & 3], data + 1, size - 1);
  TSourceImport imported;
  if (!Import(path, imported)) return;
  const auto grid = OpenImported(imported);
  const TGeoidGrid& g = *grid;
  for (std::int32_t r = 0; r < g.nlat && r < 64; ++r)
    for (std::int32_t c = 0; c < g.nlon && c < 64; ++c) {
      const float v = g.ReadNode(r, c);
      FUZZ_CHECK(std::isnan(v) || std::fabs(v) < 200);
    }
}

void DescribedRaster(const std::uint8_t* data, std::size_t size) {
  const fuzz::TInput in(data, size);
  const auto byte = [&](std::size_t k) { return k < size ? data[k] : std::uint8_t{0}; };
  const int cols = byte(ColsAt) % 64 + 1, rows = byte(RowsAt) % 64 + 1;
  const std::uint8_t flags = byte(FlagsAt);
  const int bands = (flags & 3) == 3 ? 2 : 1;
  const GDALDataType type = Types[byte(TypeAt) % std::size(Types)];
  const char* crs = Crs[flags >> 5];
  const bool pointGiven = flags & 16;
  double transform[6];
  for (int k = 0; k < 6; ++k) transform[k] = in.At<double>(TransformAt + 8 * k);
  const int bytes = GDALGetDataTypeSizeBytes(type);
  const std::size_t count = static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols);
  std::vector<unsigned char> pixels(count * static_cast<std::size_t>(bytes));
  for (std::size_t k = 0; k < pixels.size(); ++k) pixels[k] = byte(PixelsAt + k);

  // An integer band's no-data value is one of its values: GeoTIFF fills the
  // blocks it leaves unwritten (all zero) with a non-integral one rounded, yet
  // reports it unrounded or truncated, so the file would not hold what was written.
  double noDataGiven = in.At<double>(NoDataAt);
  if (!GDALDataTypeIsFloating(type) && !GDALDataTypeIsComplex(type))
    noDataGiven = std::isnan(noDataGiven)
                      ? 0
                      : GDALAdjustValueToDataType(type, std::clamp(noDataGiven, -0x1p53, 0x1p53), nullptr, nullptr);

  // Written as given: the tie point of a pixel-is-point raster is the node.
  const std::string path = fuzz::Scratch().File("described.tif");
  {
    const TSetting ignore("GTIFF_POINT_GEO_IGNORE", "TRUE");
    GDALDatasetUniquePtr ds(
        GetGDALDriverManager()->GetDriverByName("GTiff")->Create(path.c_str(), cols, rows, bands, type, nullptr));
    FUZZ_CHECK(ds != nullptr);
    if (*crs) {
      OGRSpatialReference srs;
      FUZZ_CHECK(srs.SetFromUserInput(crs) == OGRERR_NONE);
      ds->SetSpatialRef(&srs);
    }
    ds->SetGeoTransform(transform);
    if (pointGiven) ds->SetMetadataItem("AREA_OR_POINT", "Point");
    for (int b = 1; b <= bands; ++b) {
      GDALRasterBand* band = ds->GetRasterBand(b);
      if (flags & 4) band->SetNoDataValue(noDataGiven);
      if (flags & 8) {
        band->SetScale(in.At<double>(ScaleAt));
        band->SetOffset(in.At<double>(OffsetAt));
      }
      FUZZ_CHECK(band->RasterIO(GF_Write, 0, 0, cols, rows, pixels.data(), cols, rows, type, 0, 0) == CE_None);
    }
  }

  // The raster as GDAL reads it back: the expected nodes are stated from its
  // transform, no-data value, scale and offset, whatever GeoTIFF made of them.
  double gt[6] = {};
  bool point = false;
  int hasNoData = 0;
  double noData = 0, scale = 1, offset = 0;
  {
    const TSetting ignore("GTIFF_POINT_GEO_IGNORE", "TRUE");
    GDALDatasetUniquePtr ds(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
    FUZZ_CHECK(ds != nullptr);
    if (ds->GetGeoTransform(gt) != CE_None) gt[0] = std::nan("");  // refused for want of georeferencing
    const char* areaOrPoint = ds->GetMetadataItem("AREA_OR_POINT");
    point = areaOrPoint && EQUAL(areaOrPoint, "Point");
    GDALRasterBand* band = ds->GetRasterBand(1);
    noData = band->GetNoDataValue(&hasNoData);
    scale = band->GetScale();
    offset = band->GetOffset();
  }
  TSourceImport imported;
  const bool rotated = gt[2] != 0 || gt[4] != 0;
  const bool refusedCrs = !*crs || std::string(crs) == "EPSG:3857" || std::string(crs) == "EPSG:4267";
  if (!Import(path, imported)) return;
  // What cannot be imported faithfully never is.
  FUZZ_CHECK(bands == 1);
  FUZZ_CHECK(!GDALDataTypeIsComplex(type));
  FUZZ_CHECK(!refusedCrs);
  FUZZ_CHECK(!rotated);
  const auto grid = OpenImported(imported);
  const TGeoidGrid& g = *grid;
  FUZZ_CHECK(g.nlat == rows);
  FUZZ_CHECK(g.nlon == cols || g.nlon == cols - 1);

  // A pixel's value sits at its centre, or at its point; the first line is the
  // northernmost when the lines run south.
  const double half = point ? 0.0 : 0.5;
  const bool northUp = gt[5] < 0;
  const double dlat = std::fabs(gt[5]), dlon = gt[1];
  const double first = gt[3] + half * gt[5];
  const double south = northUp ? first - dlat * static_cast<double>(rows - 1) : first;
  // Longitudes brought near the circle exactly, as fuzz_gtx does.
  double west = std::fmod(gt[0] + half * gt[1], 360.0);
  if (west < 0 && west > -1e-9) west = 0;
  const bool asStored = type == GDT_Float32 && scale == 1 && offset == 0;
  std::int64_t checked = 0;
  for (int r = 0; r < rows && checked < 4096; ++r)
    for (int c = 0; c < g.nlon && checked < 4096; ++c, ++checked) {
      const int line = northUp ? rows - 1 - r : r;
      const std::size_t index = static_cast<std::size_t>(line) * static_cast<std::size_t>(cols) + c;
      const double raw = PixelValue(pixels, type, index);
      // No-data before scale and offset; a float32 band's compared as float32.
      const bool missing = hasNoData && (std::isnan(noData)    ? std::isnan(raw)
                                         : type == GDT_Float32 ? static_cast<float>(raw) == static_cast<float>(noData)
                                                               : raw == noData);
      float value = missing ? NoValue() : asStored ? static_cast<float>(raw) : static_cast<float>(raw * scale + offset);
      if (!(std::fabs(static_cast<double>(value)) < 200.0)) value = NoValue();
      const double lat = south + static_cast<double>(r) * dlat;
      const double lon = west + static_cast<double>(c) * dlon;
      const float node = NearestNode(g, lat, lon);
      if (!fuzz::SameBits(node, value)) {
        std::fprintf(stderr, "node %d,%d at %.17g %.17g: %.9g, expected %.9g (raw %.17g)\n", r, c, lat, lon,
                     static_cast<double>(node), static_cast<double>(value), raw);
        FUZZ_CHECK(fuzz::SameBits(node, value));
      }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // PROJ quiet before its first use, as in the program: the rasters this
  // target writes give it CRSs to complain about.
  ::setenv("PROJ_DEBUG", "0", 0);
  GDALAllRegister();
  CPLSetErrorHandler(CPLQuietErrorHandler);
  // Nothing beside the files: a side file left by one input must not change
  // how the next is read.
  CPLSetConfigOption("GDAL_PAM_ENABLED", "NO");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  if (data[0] >= 0xF0)
    RawInput(data, size);
  else
    DescribedRaster(data, size);
  return 0;
}
