#include <cpl_conv.h>
#include <cpl_string.h>
#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <ogr_spatialref.h>

#include <bit>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>

#include "TestGrids.hpp"
#include "formats/Coastline.hpp"
#include "formats/Raster.hpp"
#include "grid/Gtx.hpp"
#include "session/Grids.hpp"

namespace tessmar {
namespace {

using test::TRecorderView;
using test::TTempDir;

std::uint32_t Bits(float value) { return std::bit_cast<std::uint32_t>(value); }

std::size_t FilesIn(const std::string& folder) {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

// Distinct values that say which node they came from; one node has no value.
float Tag(int row, int column) {
  if (row == 3 && column == 5) return GtxNoData;
  return static_cast<float>(row * 18 + column) * 0.5f - 80.25f;
}

// A GeoTIFF written through GDAL: rows x cols of value(row from the south,
// column), the transform as GDAL takes it, `bands` copies of the band.
struct TRaster {
  std::string Crs = "EPSG:4326";
  double Transform[6] = {-190, 20, 0, 90 + 10, 0, -20};  // pixel-is-area: corners
  int Rows = 10, Cols = 18, Bands = 1;
  GDALDataType Type = GDT_Float32;
  std::optional<double> NoData = GtxNoData;
  const char* AreaOrPoint = nullptr;  // "Point": Transform gives the nodes
  double Scale = 1, Offset = 0;
};

void WriteRaster(const std::string& path, const TRaster& r, const test::TNodeFunction& value = Tag) {
  GDALAllRegister();
  const char* ignore = CPLGetConfigOption("GTIFF_POINT_GEO_IGNORE", nullptr);
  CPLSetThreadLocalConfigOption("GTIFF_POINT_GEO_IGNORE", "TRUE");  // the transform is written as given
  GDALDatasetUniquePtr ds(
      GetGDALDriverManager()->GetDriverByName("GTiff")->Create(path.c_str(), r.Cols, r.Rows, r.Bands, r.Type, nullptr));
  ASSERT_TRUE(ds);
  OGRSpatialReference srs;
  srs.SetFromUserInput(r.Crs.c_str());
  ds->SetSpatialRef(&srs);
  double transform[6];
  std::copy(r.Transform, r.Transform + 6, transform);
  ds->SetGeoTransform(transform);
  if (r.AreaOrPoint) ds->SetMetadataItem("AREA_OR_POINT", r.AreaOrPoint);
  const bool northUp = r.Transform[5] < 0;
  for (int b = 1; b <= r.Bands; ++b) {
    GDALRasterBand* band = ds->GetRasterBand(b);
    if (r.NoData) band->SetNoDataValue(*r.NoData);
    if (r.Scale != 1 || r.Offset != 0) {
      band->SetScale(r.Scale);
      band->SetOffset(r.Offset);
    }
    std::vector<double> line(static_cast<std::size_t>(r.Cols));
    for (int y = 0; y < r.Rows; ++y) {
      const int row = northUp ? r.Rows - 1 - y : y;
      for (int c = 0; c < r.Cols; ++c) line[c] = value(row, c);
      ASSERT_EQ(band->RasterIO(GF_Write, 0, y, r.Cols, 1, line.data(), r.Cols, 1, GDT_Float64, 0, 0), CE_None);
    }
  }
  ds.reset();
  CPLSetThreadLocalConfigOption("GTIFF_POINT_GEO_IGNORE", ignore);
}

// The raster at `from` in another of GDAL's formats.
void CopyAs(const char* driver, const std::string& from, const std::string& to) {
  GDALDatasetUniquePtr source(GDALDataset::Open(from.c_str(), GDAL_OF_RASTER));
  ASSERT_TRUE(source);
  GDALDatasetUniquePtr copy(GetGDALDriverManager()->GetDriverByName(driver)->CreateCopy(to.c_str(), source.get(), true,
                                                                                        nullptr, nullptr, nullptr));
  ASSERT_TRUE(copy);
}

struct RasterTest : ::testing::Test {
  TTempDir In, Data;
  TRecorderView View;
  TSession Session{View};
  RasterTest() { Session.DataDir = Data.Path(); }
};

// The 20-degree globe from -180 as GTX, and the same nodes as GeoTIFFs of both
// pixel conventions and both row orders: one source grid, to the byte.
TEST_F(RasterTest, GeoTiffImportsToTheBytesOfTheSameGridAsGtx) {
  test::WriteGtx(In.File("globe.gtx"), {-90, -180, 20, 20, 10, 18}, Tag);
  const TSourceImport gtx = ImportGtx(In.File("globe.gtx"), Data.Path(), "gtx", "Globe", false);
  const std::vector<unsigned char> expected = test::ReadBytes(gtx.Path);

  struct TCase {
    const char* Name;
    TRaster Raster;
  };
  TRaster area;          // corners half a cell out: nodes at -180.., -90..90
  TRaster point = area;  // the nodes themselves
  point.AreaOrPoint = "Point";
  std::copy_n(std::begin({-180.0, 20.0, 0.0, 90.0, 0.0, -20.0}), 6, point.Transform);
  TRaster southUp = area;  // first line southernmost
  std::copy_n(std::begin({-190.0, 20.0, 0.0, -100.0, 0.0, 20.0}), 6, southUp.Transform);
  TRaster closing = area;  // a closing column at +180 that repeats -180
  closing.Cols = 19;
  TRaster geographic3d = area;  // heights on WGS 84 too
  geographic3d.Crs = "EPSG:4979";
  for (const TCase& c : {TCase{"area", area}, TCase{"point", point}, TCase{"south-up", southUp},
                         TCase{"closing", closing}, TCase{"3d", geographic3d}}) {
    SCOPED_TRACE(c.Name);
    const std::string tif = In.File(std::string(c.Name) + ".tif");
    WriteRaster(tif, c.Raster, [](int r, int col) { return Tag(r, col % 18); });
    const TSourceImport tiff = ImportRaster(tif, Data.Path(), c.Name, "Globe", false);
    EXPECT_EQ(test::ReadBytes(tiff.Path), expected);
    EXPECT_TRUE(tiff.Rotated);
    const TGeoidModel &a = gtx.Model, &b = tiff.Model;
    EXPECT_EQ(std::tie(a.nrows, a.ncols, a.nlat, a.nlon, a.PrePad, a.glamn, a.glomn, a.dgla, a.dglo),
              std::tie(b.nrows, b.ncols, b.nlat, b.nlon, b.PrePad, b.glamn, b.glomn, b.dgla, b.dglo));
  }
  // NetCDF (pixel-is-area, coordinates of the cell centres) reads the same.
  CopyAs("netCDF", In.File("area.tif"), In.File("globe.nc"));
  EXPECT_EQ(test::ReadBytes(ImportRaster(In.File("globe.nc"), Data.Path(), "nc", "Globe", false).Path), expected);
  // Another format that keeps the pixel-is-point mark gives GDAL's corner transform with it.
  CopyAs("VRT", In.File("point.tif"), In.File("point.vrt"));
  EXPECT_EQ(test::ReadBytes(ImportRaster(In.File("point.vrt"), Data.Path(), "vrt", "Globe", false).Path), expected);
  // GDAL's own GTX reader agrees with the program's.
  EXPECT_EQ(test::ReadBytes(ImportRaster(In.File("globe.gtx"), Data.Path(), "viagdal", "Globe", false).Path), expected);
}

TEST_F(RasterTest, NoDataScaleAndOffsetAndRegionalGrids) {
  // A regional grid west of Greenwich, 16-bit with a scale and offset, -32767 for no value.
  TRaster r;
  r.Type = GDT_Int16;
  r.NoData = -32767;
  r.Scale = 0.25;
  r.Offset = -10;
  r.Rows = 7;
  r.Cols = 5;
  std::copy_n(std::begin({-130.25, 0.5, 0.0, 21.625, 0.0, -0.25}), 6, r.Transform);
  const auto raw = [](int row, int col) {
    return row == 2 && col == 1 ? -32767.0f : static_cast<float>(row * 5 + col);
  };
  WriteRaster(In.File("int16.tif"), r, raw);
  const TSourceImport imported = ImportRaster(In.File("int16.tif"), Data.Path(), "grid", "Int16", false);
  EXPECT_FALSE(imported.Rotated);
  EXPECT_EQ(std::tie(imported.Model.glamn, imported.Model.glomn), std::make_tuple(20.0, 230.0));
  ASSERT_TRUE(OpenModel(Session, imported.Model));
  const TGeoidGrid& g = *Session.SourceGrid;
  for (int row = 0; row < 7; ++row)
    for (int col = 0; col < 5; ++col) {
      const float stored = g.ReadNode(6 - row, col);
      if (row == 2 && col == 1)
        EXPECT_EQ(Bits(stored), Bits(NoValue()));
      else
        EXPECT_EQ(stored, static_cast<float>((row * 5 + col) * 0.25 - 10)) << row << "," << col;
    }

  // A float32 band with an offset and no scale: the offset is added all the same.
  TRaster shifted;
  shifted.Offset = 5;
  WriteRaster(In.File("offset.tif"), shifted);
  ASSERT_TRUE(OpenModel(Session, ImportRaster(In.File("offset.tif"), Data.Path(), "offset", "O", false).Model));
  EXPECT_EQ(Session.SourceGrid->ReadNode(9 - 4, (8 + 9) % 18), static_cast<float>(double{Tag(4, 8)} + 5));

  // A NaN no-data value marks NaN nodes; a float32 one is matched as float32.
  for (const double noData : {std::nan(""), -9999.123}) {
    SCOPED_TRACE(noData);
    TRaster f;
    f.NoData = noData;
    const float missing = static_cast<float>(noData);
    WriteRaster(In.File("nodata.tif"), f,
                [&](int row, int col) { return row == 4 && col == 7 ? missing : Tag(row, col); });
    std::filesystem::remove(Data.File("nodata"));
    ASSERT_TRUE(OpenModel(Session, ImportRaster(In.File("nodata.tif"), Data.Path(), "nodata", "N", false).Model));
    EXPECT_EQ(Bits(Session.SourceGrid->ReadNode(9 - 4, (7 + 9) % 18)), Bits(NoValue()));
    // Tag's -88.8888 is a value like any other here.
    EXPECT_EQ(Bits(Session.SourceGrid->ReadNode(9 - 3, (5 + 9) % 18)), Bits(GtxNoData));
    EXPECT_EQ(Bits(Session.SourceGrid->ReadNode(9 - 4, (8 + 9) % 18)), Bits(Tag(4, 8)));
  }
}

TEST_F(RasterTest, RastersThatCannotBeImportedFaithfullyAreRefusedAndNothingIsWritten) {
  const auto refused = [&](const std::string& path, const std::string& why) {
    SCOPED_TRACE(why);
    try {
      ImportRaster(path, Data.Path(), "grid", "Bad", false);
      ADD_FAILURE() << "imported";
    } catch (const TError& e) {
      EXPECT_NE(std::string(e.what()).find(why), std::string::npos) << e.what();
    }
    EXPECT_EQ(FilesIn(Data.Path()), 0u);
  };
  const auto refusedRaster = [&](const TRaster& r, const std::string& why) {
    WriteRaster(In.File("bad.tif"), r);
    refused(In.File("bad.tif"), why);
  };
  TRaster projected;
  projected.Crs = "EPSG:32631";
  std::copy_n(std::begin({500000.0, 1000.0, 0.0, 5000000.0, 0.0, -1000.0}), 6, projected.Transform);
  refusedRaster(projected, "its coordinates are projected (WGS 84 / UTM zone 31N)");
  TRaster three;
  three.Bands = 3;
  refusedRaster(three, "it has 3 bands; a geoid grid has one");
  CopyAs("netCDF", In.File("bad.tif"), In.File("three.nc"));  // a variable per band
  refused(In.File("three.nc"), "it holds several grids; name one as GDAL does, for example NETCDF:");
  TRaster nad27;
  nad27.Crs = "EPSG:4267";
  refusedRaster(nad27, "its datum is not WGS 84 (NAD27)");
  TRaster noCrs;
  noCrs.Crs = "";
  refusedRaster(noCrs, "no coordinate reference system");
  TRaster awkward;
  awkward.Transform[1] = awkward.Transform[5] = 0.3;
  refusedRaster(awkward, "is not 100/n degrees");
  TRaster wide;
  wide.Cols = 20;
  refusedRaster(wide, "span more than 360 degrees");

  // What the GeoTIFF driver cannot say: virtual rasters, never read.
  const auto vrt = [&](const std::string& size, const std::string& transform) {
    std::ofstream(In.File("bad.vrt")) << "<VRTDataset " << size << "><SRS>EPSG:4326</SRS><GeoTransform>" << transform
                                      << "</GeoTransform><VRTRasterBand dataType=\"Float32\" band=\"1\"/></VRTDataset>";
    return In.File("bad.vrt");
  };
  refused(vrt("rasterXSize=\"18\" rasterYSize=\"10\"", "-190, 20, 0.5, 100, 0, -20"), "rotated");
  refused(vrt("rasterXSize=\"18\" rasterYSize=\"10\"", "-190, 0, 0, 100, 0, -20"),
          "its corner or spacing is not a positive finite number (south -90, west -190, spacing 20 x 0)");
  refused(vrt("rasterXSize=\"18\" rasterYSize=\"10\"", "-190, 20, 0, 100, 0, 0"), "spacing 0 x 20");
  // 16001 rows of 36000 nodes at 0.01 degree: 2.3 GB as a source grid.
  refused(vrt("rasterXSize=\"36000\" rasterYSize=\"16001\"", "-180.005, 0.01, 0, 80.005, 0, -0.01"),
          "as a source grid it would take 2304272008 bytes; 2 GiB is the limit");

  test::WriteBytes(In.File("text.tif"), {'n', 'o', 't', '\n'});
  refused(In.File("text.tif"), "Cannot read " + In.File("text.tif") + " as a grid");
  refused(In.File("missing.tif"), "Cannot read " + In.File("missing.tif") + " as a grid");
  // A GTX file is held to import-gtx's rules: stray bytes after its nodes are damage.
  test::WriteGtx(In.File("bad.gtx"), {-90, -180, 20, 20, 10, 18}, Tag);
  std::ofstream(In.File("bad.gtx"), std::ios::app | std::ios::binary) << "xy";
  refused(In.File("bad.gtx"), "nodes do not match the file's 762 bytes");

  // A target that exists stays unless replacing is asked for; the raster never is one.
  WriteRaster(In.File("good.tif"), TRaster{});
  EXPECT_THROW(ImportRaster(In.File("good.tif"), In.Path(), "good.tif", "Bad", true), TError);
  EXPECT_GT(test::ReadBytes(In.File("good.tif")).size(), 720u);
  test::WriteBytes(Data.File("grid"), {1, 2, 3});
  EXPECT_THROW(ImportRaster(In.File("good.tif"), Data.Path(), "grid", "Bad", false), TError);
  EXPECT_EQ(test::ReadBytes(Data.File("grid")).size(), 3u);
  EXPECT_EQ(ImportRaster(In.File("good.tif"), Data.Path(), "grid", "Good", true).Size, 800);
}

// The custom geoid as a GeoTIFF: what GDAL reads back of it, node for node, and
// the metadata PROJ asks for; imported back, the same nodes.
TEST_F(RasterTest, ExportWritesAGeoTiffGridThatGdalReadsNodeForNode) {
  const TCustomTrailer trailer{3, 4, 10, 355, 0.25, 0.5};  // west of Greenwich, stored past 180
  const auto value = [](int r, int c) { return r == 1 && c == 2 ? NoValue() : static_cast<float>(r * 4 + c) / 8 + 30; };
  test::WriteCustomFile(Data.File("custom.qdat"), trailer, value);
  ASSERT_TRUE(OpenCustomFile(Session, Data.File("custom.qdat")));
  const TGeoidGrid& custom = *Session.CustomGrid;

  const std::string tif = Data.File("custom.tif");
  const std::int64_t size = ExportGrid(custom, tif, TGridFormat::GTiff, "custom", false);
  EXPECT_EQ(size, static_cast<std::int64_t>(std::filesystem::file_size(tif)));
  EXPECT_EQ(FilesIn(Data.Path()), 2u);  // no side file, no temporary file

  GDALAllRegister();
  {
    CPLSetThreadLocalConfigOption("GTIFF_POINT_GEO_IGNORE", "TRUE");
    GDALDatasetUniquePtr ds(GDALDataset::Open(tif.c_str(), GDAL_OF_RASTER));
    CPLSetThreadLocalConfigOption("GTIFF_POINT_GEO_IGNORE", nullptr);
    ASSERT_TRUE(ds);
    double gt[6];
    ASSERT_EQ(ds->GetGeoTransform(gt), CE_None);
    // The tie point is the northwest node, to the bit, within -180..180.
    EXPECT_EQ(gt[0], -5.0);
    EXPECT_EQ(gt[3], 10.5);
    EXPECT_EQ(std::tie(gt[1], gt[5]), std::make_tuple(0.5, -0.25));
    EXPECT_STREQ(ds->GetMetadataItem("AREA_OR_POINT"), "Point");
    EXPECT_STREQ(ds->GetMetadataItem("TYPE"), "VERTICAL_OFFSET_GEOGRAPHIC_TO_VERTICAL");
    EXPECT_STREQ(ds->GetMetadataItem("grid_name"), "custom");
    EXPECT_STREQ(ds->GetMetadataItem("COMPRESSION", "IMAGE_STRUCTURE"), "DEFLATE");
    EXPECT_EQ(ds->GetSpatialRef()->GetEPSGGeogCS(), 4326);
    GDALRasterBand* band = ds->GetRasterBand(1);
    EXPECT_EQ(band->GetRasterDataType(), GDT_Float32);
    EXPECT_STREQ(band->GetUnitType(), "metre");
    EXPECT_STREQ(band->GetDescription(), "geoid_undulation");
    int has = 0;
    EXPECT_EQ(band->GetNoDataValue(&has), GeoTiffNoData);
    EXPECT_TRUE(has);
    float nodes[12];
    ASSERT_EQ(band->RasterIO(GF_Read, 0, 0, 4, 3, nodes, 4, 3, GDT_Float32, 0, 0), CE_None);
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 4; ++c) {
        const float expected = custom.ReadNode(r, c);
        EXPECT_EQ(Bits(nodes[r * 4 + c]), Bits(std::isnan(expected) ? GeoTiffNoData : expected)) << r << "," << c;
      }
  }

  // Refused when it exists, unless asked; GTX through the same call.
  EXPECT_THROW(ExportGrid(custom, tif, TGridFormat::GTiff, "custom", false), TError);
  EXPECT_EQ(ExportGrid(custom, tif, TGridFormat::GTiff, "custom", true), size);
  EXPECT_EQ(ExportGrid(custom, Data.File("custom.gtx"), TGridFormat::GTX, "custom", false), 40 + 12 * 4);
  EXPECT_EQ(test::GtxLayoutOf(test::ReadBytes(Data.File("custom.gtx"))).west, -5.0);
  EXPECT_THROW(ExportGrid(custom, Data.File("no/such/folder.tif"), TGridFormat::GTiff, "x", false), TError);

  // Back in as a source grid: the custom file's nodes, the missing one missing.
  const TSourceImport back = ImportRaster(tif, Data.Path(), "back", "Back", false);
  EXPECT_EQ(std::tie(back.Model.glomn, back.Model.glamn), std::make_tuple(355.0, 10.0));
  ASSERT_TRUE(OpenModel(Session, back.Model));
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 4; ++c)
      EXPECT_EQ(Bits(Session.SourceGrid->ReadNode(r, c)), Bits(Session.CustomGrid->ReadNode(r, c))) << r << c;

  EXPECT_EQ(GridFormatNamed("gtiff"), TGridFormat::GTiff);
  EXPECT_EQ(GridFormatNamed("GTX"), TGridFormat::GTX);
  EXPECT_EQ(GridFormatNamed("png"), std::nullopt);

  // The progress follows the file, not the copying of rows: half way, half of
  // the tiles are compressed and on disk (the compression is most of the work).
  const TCustomTrailer tiled{1023, 1023, -80, 100, 0.125, 0.125};  // 4 x 4 tiles of values that hardly compress
  test::WriteCustomFile(Data.File("tiled.qdat"), tiled, [](int r, int c) {
    return static_cast<float>((static_cast<std::uint32_t>(r) * 2654435761u ^ static_cast<std::uint32_t>(c) * 40503u) %
                              100000) /
           1000;
  });
  ASSERT_TRUE(OpenCustomFile(Session, Data.File("tiled.qdat")));
  const std::filesystem::path folder = Data.File("progress");
  std::filesystem::create_directory(folder);
  std::uintmax_t atHalf = 0;
  const std::int64_t whole = ExportGrid(*Session.CustomGrid, (folder / "tiled.tif").string(), TGridFormat::GTiff,
                                        "tiled", false, [&](double done) {
                                          if (done < 0.5 || atHalf) return;
                                          for (const auto& e : std::filesystem::directory_iterator(folder))
                                            atHalf += e.file_size();
                                        });
  EXPECT_GT(atHalf, static_cast<std::uintmax_t>(whole / 4)) << whole;
}

// GSHHG's binned coastlines as Debian installs them (scripts/deps does): the
// shore lines where they are, and a file of another kind refused by name.
TEST(Coastline, GshhgAsDebianInstallsIt) {
  test::TTempDir dir;
  const std::string notCoast = dir.File("grid.tif");
  WriteRaster(notCoast, TRaster{});
  try {
    ReadCoastlines(notCoast);
    ADD_FAILURE() << "a GeoTIFF read as coastlines";
  } catch (const TError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Cannot read the coastlines " + notCoast, 0), 0u) << e.what();
  }
  const std::string path = FindCoastlineFile('l');
  if (path.empty()) GTEST_SKIP() << "gmt-gshhg-low is not installed";
  const TPolylines lines = ReadCoastlines(path);
  EXPECT_GT(lines.size(), 1000u);
  bool tokyoBay = false, outside = false;
  for (const TPolyline& line : lines)
    for (const TGeoPoint& p : line) {
      tokyoBay = tokyoBay || (std::fabs(p.Lat - 35.5) < 0.3 && std::fabs(p.Lon - 139.8) < 0.3);
      outside = outside || p.Lon < 0 || p.Lon > 360 || p.Lat < -90 || p.Lat > 90;
    }
  EXPECT_TRUE(tokyoBay);
  EXPECT_FALSE(outside);
}

}  // namespace
}  // namespace tessmar
