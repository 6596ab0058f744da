#include "formats/Raster.hpp"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <cmath>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "base/AtomicFile.hpp"
#include "base/Numeric.hpp"
#include "base/Path.hpp"
#include "formats/Gdal.hpp"
#include "grid/Circle.hpp"
#include "grid/Gtx.hpp"

namespace tessmar {

namespace {

// A GDAL setting for this thread while in scope.
class TGdalSetting {
 public:
  TGdalSetting(const char* key, const char* value) : FKey(key) {
    if (const char* old = CPLGetThreadLocalConfigOption(key, nullptr)) FOld = old;
    CPLSetThreadLocalConfigOption(key, value);
  }
  ~TGdalSetting() { CPLSetThreadLocalConfigOption(FKey, FOld ? FOld->c_str() : nullptr); }
  TGdalSetting(const TGdalSetting&) = delete;
  TGdalSetting& operator=(const TGdalSetting&) = delete;

 private:
  const char* FKey;
  std::optional<std::string> FOld;
};

// The tie point of a pixel-is-point GeoTIFF as it is stored, not moved half a
// pixel to GDAL's corner convention and back (which can cost the last bit).
constexpr const char* PointGeoIgnore = "GTIFF_POINT_GEO_IGNORE";

// On WGS 84 or a datum GDAL takes for the same, with or without heights.
bool IsOnWgs84(const OGRSpatialReference& srs) {
  OGRSpatialReference wgs84, flat(srs);
  wgs84.SetWellKnownGeogCS("WGS84");
  if (flat.GetAxesCount() == 3) flat.DemoteTo2D(nullptr);
  return flat.IsSameGeogCS(&wgs84);
}

bool InDegrees(const OGRSpatialReference& srs) { return std::fabs(srs.GetAngularUnits() / (M_PI / 180) - 1) < 1e-12; }

std::string CrsName(const OGRSpatialReference& srs) {
  const char* name = srs.GetName();
  return name && *name ? std::string(name) : std::string("unnamed");
}

std::int64_t ExportGeoTiff(const TGeoidGrid& grid, const std::string& path, const std::string& name,
                           const TProgress& progress) {
  TGdalErrors errors;
  const TGdalSetting point(PointGeoIgnore, "TRUE");        // the tie point written is the node itself
  const TGdalSetting noSidecar("GDAL_PAM_ENABLED", "NO");  // everything goes inside the TIFF
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GTiff");
  if (!driver) throw TError("GDAL has no GeoTIFF driver");

  TAtomicFile out(path);
  if (!out.Create()) throw TError(out.Failure());
  CPLStringList options;
  options.SetNameValue("COMPRESS", "DEFLATE");
  options.SetNameValue("PREDICTOR", "3");
  // PROJ's grids: 256 x 256 tiles, a single strip for a grid smaller than a tile.
  if (grid.nlon > 256 || grid.nlat > 256) {
    options.SetNameValue("TILED", "YES");
    options.SetNameValue("BLOCKXSIZE", "256");
    options.SetNameValue("BLOCKYSIZE", "256");
  } else {
    options.SetNameValue("BLOCKYSIZE", std::to_string(grid.nlat).c_str());
  }
  const std::string failed = "Cannot write " + path;
  GDALDatasetUniquePtr tiff(driver->Create(out.TempPath().c_str(), grid.nlon, grid.nlat, 1, GDT_Float32, options));
  if (!tiff) throw TError(failed + TGdalErrors::Why());

  OGRSpatialReference wgs84;
  wgs84.SetWellKnownGeogCS("WGS84");
  double transform[6] = {ExchangeWest(grid.west, grid.nlon, grid.dlon), grid.dlon, 0, grid.north, 0, -grid.dlat};
  tiff->SetMetadataItem("AREA_OR_POINT", "Point");
  tiff->SetMetadataItem("TYPE", "VERTICAL_OFFSET_GEOGRAPHIC_TO_VERTICAL");
  tiff->SetMetadataItem("grid_name", name.c_str());
  tiff->SetMetadataItem("TIFFTAG_IMAGEDESCRIPTION",
                        ("Custom geoid " + name + ": geoid undulations in metres on WGS 84, made by Tessmar").c_str());
  tiff->SetMetadataItem("TIFFTAG_SOFTWARE", "Tessmar");
  GDALRasterBand* band = tiff->GetRasterBand(1);
  bool done = tiff->SetSpatialRef(&wgs84) == CE_None && tiff->SetGeoTransform(transform) == CE_None &&
              band->SetNoDataValue(GeoTiffNoData) == CE_None;
  band->SetDescription("geoid_undulation");
  done = done && band->SetUnitType("metre") == CE_None;

  std::vector<float> row(static_cast<std::size_t>(grid.nlon));
  int blockRows = 0, blockCols = 0;
  band->GetBlockSize(&blockCols, &blockRows);
  for (std::int32_t r = 0; done && r < grid.nlat; ++r) {
    for (std::int32_t c = 0; c < grid.nlon; ++c) {
      const float value = grid.ReadNode(r, c);
      row[static_cast<std::size_t>(c)] = std::isnan(value) ? GeoTiffNoData : value;
    }
    done = band->RasterIO(GF_Write, 0, r, grid.nlon, 1, row.data(), grid.nlon, 1, GDT_Float32, 0, 0) == CE_None;
    // Compressing the tiles is most of the work: each row of them is written
    // out when it is whole, so the progress follows the file, not the copying.
    if (done && ((r + 1) % blockRows == 0 || r + 1 == grid.nlat)) done = band->FlushCache(false) == CE_None;
    TellProgress(progress, static_cast<double>(r + 1) / grid.nlat);
  }
  if (done) tiff->FlushCache(true);
  tiff.reset();  // closed: the last blocks and the directory are written
  if (!done || CPLGetLastErrorType() >= CE_Failure)
    throw TError(failed + ": the disk is full or the file too large" + TGdalErrors::Why());
  const std::int64_t size = FileSize(out.TempPath());
  if (!out.Commit()) throw TError(out.Failure());
  return size;
}

}  // namespace

TSourceImport ImportRaster(const std::string& path, const std::string& dataDir, const std::string& fname,
                           const std::string& title, bool overwrite, const TProgress& progress) {
  const std::string target = SourceGridTarget(dataDir, fname);
  TGdalErrors errors;
  const TGdalSetting point(PointGeoIgnore, "TRUE");
  GDALDatasetUniquePtr raster(
      GDALDataset::Open(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR));
  if (!raster) throw TError("Cannot read " + path + " as a grid" + TGdalErrors::Why());
  // A GTX file is held to import-gtx's own checks (its size is its header's, to the byte).
  if (EQUAL(raster->GetDriver()->GetDescription(), "GTX")) {
    raster.reset();
    return ImportGtx(path, dataDir, fname, title, overwrite, progress);
  }
  const std::string refused = "Not a usable grid: " + path + ": ";
  const int bands = raster->GetRasterCount();
  // A container of several grids (NetCDF variables, HDF datasets) names them.
  char** subdatasets = raster->GetMetadata("SUBDATASETS");
  if (bands == 0 && CSLCount(subdatasets) > 0)
    throw TError(refused + "it holds several grids; name one as GDAL does, for example " +
                 CSLFetchNameValueDef(subdatasets, "SUBDATASET_1_NAME", ""));
  if (bands != 1) throw TError(refused + "it has " + std::to_string(bands) + " bands; a geoid grid has one");
  GDALRasterBand* band = raster->GetRasterBand(1);
  if (GDALDataTypeIsComplex(band->GetRasterDataType())) throw TError(refused + "its values are complex numbers");

  const OGRSpatialReference* srs = raster->GetSpatialRef();
  const std::string needed = "; latitude and longitude in degrees on WGS 84 are needed";
  if (!srs) throw TError(refused + "it has no coordinate reference system" + needed);
  if (!srs->IsGeographic())
    throw TError(refused + "its coordinates are " + (srs->IsProjected() ? "projected" : "not latitude and longitude") +
                 " (" + CrsName(*srs) + ")" + needed);
  if (!IsOnWgs84(*srs)) throw TError(refused + "its datum is not WGS 84 (" + CrsName(*srs) + ")" + needed);
  if (!InDegrees(*srs)) throw TError(refused + "its angles are not in degrees (" + CrsName(*srs) + ")" + needed);
  double gt[6];
  if (raster->GetGeoTransform(gt) != CE_None) throw TError(refused + "it has no georeferencing");
  if (gt[2] != 0 || gt[4] != 0) throw TError(refused + "its rows or columns are rotated against the meridians");

  // GDAL's transform runs from the corner of the first pixel, unless a
  // pixel-is-point GeoTIFF gave its tie point as it is.
  const char* areaOrPoint = raster->GetMetadataItem("AREA_OR_POINT");
  const bool atNode =
      EQUAL(raster->GetDriver()->GetDescription(), "GTiff") && areaOrPoint && EQUAL(areaOrPoint, "Point");
  const double half = atNode ? 0.0 : 0.5;
  const std::int64_t rows = raster->GetRasterYSize(), cols = raster->GetRasterXSize();
  const bool northUp = gt[5] < 0;             // else its first line is the southernmost
  const double first = gt[3] + half * gt[5];  // latitude of the first line
  TRasterNodes nodes;
  nodes.dlat = std::fabs(gt[5]);
  nodes.dlon = gt[1];
  nodes.south = northUp ? first - nodes.dlat * static_cast<double>(rows - 1) : first;
  nodes.west = gt[0] + half * gt[1];
  nodes.rows = rows;
  nodes.cols = cols;
  const TSourcePlan plan = PlanSourceGrid(nodes, refused);

  int hasNoData = 0;
  const double noData = band->GetNoDataValue(&hasNoData);
  const double scale = band->GetScale(), offset = band->GetOffset();
  // Float32 without scale or offset is read as it is stored, to the bit.
  const bool asStored = band->GetRasterDataType() == GDT_Float32 && scale == 1 && offset == 0;
  // A float32 band's no-data value is compared as a float32, as GDAL does.
  const bool float32 = band->GetRasterDataType() == GDT_Float32;
  const float noData32 = static_cast<float>(noData);
  std::vector<double> wide(asStored ? 0 : static_cast<std::size_t>(cols));
  const auto readFailed = [&] { return TError("Cannot read " + path + TGdalErrors::Why()); };
  return WriteSourceGrid(
      plan, path, target, title, overwrite,
      [&](std::int64_t row, float* to) {
        const int line = static_cast<int>(northUp ? rows - 1 - row : row);
        const int n = static_cast<int>(cols);
        if (asStored) {
          if (band->RasterIO(GF_Read, 0, line, n, 1, to, n, 1, GDT_Float32, 0, 0) != CE_None) throw readFailed();
          if (hasNoData)
            for (int k = 0; k < n; ++k)
              if (std::isnan(noData) ? std::isnan(to[k]) : to[k] == noData32) to[k] = NoValue();
          return;
        }
        if (band->RasterIO(GF_Read, 0, line, n, 1, wide.data(), n, 1, GDT_Float64, 0, 0) != CE_None) throw readFailed();
        for (int k = 0; k < n; ++k) {
          const double raw = wide[static_cast<std::size_t>(k)];
          const bool missing = hasNoData && (std::isnan(noData) ? std::isnan(raw)
                                             : float32          ? static_cast<float>(raw) == noData32
                                                                : raw == noData);
          to[k] = missing ? NoValue() : static_cast<float>(raw * scale + offset);
        }
      },
      progress);
}

std::int64_t ExportGrid(const TGeoidGrid& grid, const std::string& path, TGridFormat format, const std::string& name,
                        bool overwrite, const TProgress& progress) {
  if (format == TGridFormat::GTX) return ExportGtx(grid, path, overwrite, progress);
  RefuseToReplace(path, "GeoTIFF file", overwrite);
  return ExportGeoTiff(grid, path, name, progress);
}

}  // namespace tessmar
