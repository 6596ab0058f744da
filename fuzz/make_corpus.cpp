// Writes the seed corpora: make_corpus DIR writes DIR/<target>/<seed> for every
// target, valid files from the tests' own generators and a few crafted ones,
// each a few kilobytes at most. The regression inputs of past findings are
// among them, so every fuzz run tries them first.
#include <cpl_conv.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>

#include "FuzzSupport.hpp"
#include "grid/Gtx.hpp"
#include "option/Settings.hpp"

using namespace tessmar;
namespace fs = std::filesystem;

namespace {

std::string Root;

void Seed(const std::string& target, const std::string& name, const std::vector<unsigned char>& bytes) {
  fs::create_directories(Root + "/" + target);
  test::WriteBytes(Root + "/" + target + "/" + name, bytes);
}
void SeedText(const std::string& target, const std::string& name, const std::string& text) {
  Seed(target, name, std::vector<unsigned char>(text.begin(), text.end()));
}
// A seed made by a generator that writes a file.
template <class Write>
void SeedFile(const std::string& target, const std::string& name, Write write) {
  const std::string path = fuzz::Scratch().File("seed");
  write(path);
  Seed(target, name, test::ReadBytes(path));
}

float Tag(int row, int column) { return static_cast<float>(row) / 4 + static_cast<float>(column) / 1024 - 30; }

std::vector<unsigned char> TrailerOnly(const TCustomTrailer& t) {
  std::vector<unsigned char> bytes(CustomTrailerSize);
  EncodeTrailer(t, bytes.data());
  return bytes;
}

void CustomFiles() {
  const auto custom = [](const char* name, const TCustomTrailer& t, const test::TNodeFunction& value = Tag) {
    SeedFile("custom_file", name, [&](const std::string& path) { test::WriteCustomFile(path, t, value); });
  };
  custom("region", {6, 8, 35, 139, 0.25, 0.25});
  custom("whole_circle", {3, 18, -20, 0, 20, 20});
  custom("across_zero", {4, 7, 50, 357, 1, 1});
  custom("nan_and_huge", {2, 3, 10, 10, 0.25, 0.25}, [](int r, int c) {
    return c == 0 ? std::nanf("") : c == 1 ? 250.0f * static_cast<float>(r + 1) : -12.5f;
  });
  custom("fine", {12, 10, -45.5, 170.25, 1.0 / 60, 1.0 / 60});
  Seed("custom_file", "empty_grid", TrailerOnly({0, 5, 10, 10, 0.25, 0.25}));
  // Findings: no rows with a column count of billions (export's and scan's
  // buffers), a billion rows of 100 degrees (a scan of days), counts whose
  // product overflows 64 bits.
  const std::int32_t most = std::numeric_limits<std::int32_t>::max();
  Seed("custom_file", "finding_no_rows_huge_cols", TrailerOnly({0, most, 10, 10, 0.25, 0.25}));
  Seed("custom_file", "finding_huge_rows_no_cols", TrailerOnly({most, 0, 10, 10, 0.25, 0.25}));
  Seed("custom_file", "finding_scan_of_days", TrailerOnly({1000000000, 0, -90, 10, 100, 0.25}));
  Seed("custom_file", "finding_counts_overflow", TrailerOnly({most, most, 10, 10, 1e-7, 1e-7}));
  // Found by fuzz_custom_file: 738 million rows of 5e-11 degrees without columns,
  // whose export wrote 738 million empty rows.
  Seed("custom_file", "finding_empty_rows_tiny_spacing",
       {0x08, 0x03, 0x00, 0x2c, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x28, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x24, 0x40, 0x00, 0x00, 0x00, 0x02,
        0x00, 0x00, 0xce, 0x3d, 0x00, 0x00, 0x00, 0x00, 0x00, 0xc7, 0xd0, 0x3f});
  // Found by fuzz_custom_file in the fuzz target itself: no rows and 352 million
  // columns, a legal file of 40 bytes; nothing may size a buffer by its columns.
  Seed("custom_file", "empty_rows_huge_cols",
       {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x15, 0x00, 0x00, 0x00, 0x00, 0x3f, 0x00,
        0xdc, 0xbf, 0xff, 0x00, 0x00, 0x01, 0x00, 0x00, 0x0a, 0xbf, 0x01, 0x18, 0xc1, 0x00,
        0x04, 0x3f, 0x06, 0x3f, 0x10, 0x00, 0x00, 0x00, 0x00, 0x3d, 0x00, 0x3d});
  // Found by fuzz_custom_file in the fuzz target itself: 503 million rows
  // without columns, within the bound, walked row by row by its node check.
  Seed("custom_file", "empty_rows_half_a_billion", TrailerOnly({503316480, 0, 1e-312, 11, 5.4e-11, 0.26}));
}

void SettingsFiles() {
  SeedFile("settings", "saved_defaults", [](const std::string& path) {
    test::TRecorderView view;
    TSession session(view);
    session.ExeDir = fuzz::Scratch().Path();
    session.SettingsPath = path;
    std::remove(path.c_str());
    LoadSettings(session, test::InputsOf(view));
    SaveSettings(session, test::InputsOf(view), {view.Top, view.Left});
  });
  SeedText(
      "settings", "hand_utf8",
      "[Option]\r\nGeoidModel=EGM2008 1'x1'\r\nDataPath=/data/egm\r\nOutputName= tokyo \r\nOutputExt=.qdat\r\n"
      "Resolution=5\r\nLat1=35 30 N\r\nLat2=36\r\nLon1=139\r\nLon2=140:30\r\nTestLat=35.5\r\nTestLon=139.5\r\n"
      "MainTop=$10\r\nMainLeft=-0x20\r\n[EGM2008_25]\r\ntitle=Regional\r\nfname=regional.grid\r\nnrows=7\r\n"
      "ncols=21\r\nglamn=40\r\nglomn=355\r\ndgla=0.5\r\ndglo=1E-5\r\nnlat=7\r\nnlon=19\r\nPrePad=1\r\n"
      "[egm2008_10]\nTITLE=second\nnrows=99999999999\n[Font]\r\nCharset=128\r\nFontName=Tahoma\r\nFontSize=-9\r\n");
  SeedText(
      "settings", "repeated_and_odd",
      "[Option]\nGeoidModel=a\n[Option]\nGeoidModel=b\nno equals sign\n=value without key\n[Font\nFontSize=2147483648\n"
      "[EGM2008_25]\ndgla=nan\ndglo=inf\nglamn=1e400\nglomn=0x1p3\n");
  // UTF-16BE with its mark, and Latin-1 that is not UTF-8.
  std::vector<unsigned char> be = {0xFE, 0xFF};
  for (const char c : std::string("[Option]\r\nOutputName=caf\xC3\xA9\r\n")) {
    be.push_back(0);
    be.push_back(static_cast<unsigned char>(c));
  }
  Seed("settings", "utf16be", be);
  SeedText("settings", "latin1", "[Option]\nOutputName=caf\xE9\nDataPath=\xFF\xFE\n");
  // Found by fuzz_settings: a value in quotes lost a pair of them at every save
  // and load; one with blanks at its ends lost those.
  SeedText("settings", "finding_quoted_values", "[Option]\nOutputName=\"\"\"\"\nDataPath= /data/ \nFontName='x'\n");
}

void SourceGrids() {
  const auto source = [](const char* name, const TGeoidModel& m) {
    std::vector<unsigned char> entry(52);
    StoreLittle(m.nrows, &entry[0]);
    StoreLittle(m.ncols, &entry[4]);
    StoreLittle(m.nlat, &entry[8]);
    StoreLittle(m.nlon, &entry[12]);
    StoreLittle(m.PrePad, &entry[16]);
    StoreLittle(m.glamn, &entry[20]);
    StoreLittle(m.glomn, &entry[28]);
    StoreLittle(m.dgla, &entry[36]);
    StoreLittle(m.dglo, &entry[44]);
    const std::string path = fuzz::Scratch().File("seed");
    test::WriteSourceGrid(path, m, Tag);
    const std::vector<unsigned char> file = test::ReadBytes(path);
    entry.insert(entry.end(), file.begin(), file.end());
    Seed("source_grid", name, entry);
  };
  source("whole_globe", test::SmallModel("g", 20, -90, 0, 10, 18));
  source("region", test::SmallModel("g", 0.25, 35, 139, 8, 9));
  source("across_zero", test::SmallModel("g", 1, 40, 355, 5, 12));
  TGeoidModel padless = test::SmallModel("g", 5, -10, 100, 5, 6);
  padless.PrePad = 0;
  padless.ncols = 6;
  source("no_record_words", padless);
  // Found by fuzz_source_grid in the fuzz target itself: a grid of 2^31 - 1
  // columns, whose last columns plus a run's length pass 32 bits.
  Seed("source_grid", "columns_at_the_32_bit_edge",
       {0x05, 0x00, 0x05, 0x00, 0x00, 0x00, 0x0c, 0x00, 0x00, 0x00, 0x01, 0x00, 0xff, 0xff, 0xff, 0x7f, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x46, 0x00, 0x00, 0x00, 0x00, 0x00, 0x30, 0x76, 0x40, 0x00, 0x00, 0x00, 0x30, 0x76, 0x40,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xf0, 0x3f, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xf0, 0x3f});
  // And a record length below zero on such a grid: a window's block read ran
  // backwards out of the file, and its last columns wrapped round to the first.
  Seed("source_grid", "negative_record_length",
       {0x05, 0x00, 0x00, 0x00, 0xfc, 0xff, 0xff, 0xff, 0xff, 0xff, 0xfc, 0x17, 0xff, 0xff, 0xff, 0x7f, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x46, 0x00, 0x00, 0x00, 0x00, 0x00, 0x30, 0x76, 0x40, 0x00, 0x34, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xf0, 0x3f, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0xea,
        0x3f, 0xff, 0xff, 0xff, 0xff, 0xfc, 0x17, 0xff, 0xff, 0xff, 0x7f, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x30, 0x76, 0x40, 0x00, 0x34, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0xf0, 0x3f, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0xea, 0x3f});
}

void GtxFiles() {
  const auto gtx = [](const char* name, const test::TGtxLayout& layout) {
    SeedFile("gtx", name, [&](const std::string& path) { test::WriteGtx(path, layout, Tag); });
  };
  gtx("globe_from_minus_180", {-90, -180, 20, 20, 10, 18});
  gtx("globe_closing_column", {-90, 0, 20, 20, 10, 19});
  gtx("regional_west", {20, -130, 0.25, 0.5, 7, 5});
  gtx("float_spacing", {10, 20, 1.0f / 24, 1.0f / 24, 4, 5});
  // Findings: a regional grid across 0 (east of 0 read as missing), a west edge
  // a hair below 0 (read nowhere), spacings so fine that their products leave
  // 64 bits or their node factor cannot be formed.
  gtx("finding_across_zero", {40, -5, 0.5, 0.5, 7, 19});
  gtx("finding_west_hair_below_zero", {40, -1e-17, 0.5, 0.5, 3, 5});
  gtx("finding_spacing_3e-15", {-90, -180, 20, 3e-15, 2, 3});
  gtx("finding_spacing_1e-17", {-90, -180, 1e-17, 20, 2, 3});
}

// fuzz_raster's described rasters: its header (see fuzz_raster.cpp), then
// float32 pixels line by line from the top, value(line, column).
struct TDescribed {
  int Cols, Rows;
  double Transform[6];
  int Crs = 0;  // index in fuzz_raster's list: 0 EPSG:4326, 1 EPSG:4979, ...
  bool Point = false;
  std::optional<double> NoData;
  double Scale = 1, Offset = 0;
  int Type = 7;  // Float32
};
std::vector<unsigned char> Described(const TDescribed& d, float (*value)(int, int)) {
  std::vector<unsigned char> bytes(77);
  bytes[1] = static_cast<unsigned char>(d.Cols - 1);
  bytes[2] = static_cast<unsigned char>(d.Rows - 1);
  bytes[3] = static_cast<unsigned char>((d.NoData ? 4 : 0) | (d.Scale != 1 || d.Offset != 0 ? 8 : 0) |
                                        (d.Point ? 16 : 0) | d.Crs << 5);
  bytes[4] = static_cast<unsigned char>(d.Type);
  const auto put = [&](std::size_t at, const void* from, std::size_t n) { std::memcpy(bytes.data() + at, from, n); };
  put(5, d.Transform, 48);
  const double noData = d.NoData.value_or(0);
  put(53, &noData, 8);
  put(61, &d.Scale, 8);
  put(69, &d.Offset, 8);
  for (int line = 0; line < d.Rows; ++line)
    for (int c = 0; c < d.Cols; ++c) {
      const float v = value(line, c);
      bytes.resize(bytes.size() + 4);
      std::memcpy(bytes.data() + bytes.size() - 4, &v, 4);
    }
  return bytes;
}

void Rasters() {
  const auto described = [](const char* name, const TDescribed& d) { Seed("raster", name, Described(d, Tag)); };
  described("globe_20_degrees", {.Cols = 18, .Rows = 10, .Transform = {-190, 20, 0, 100, 0, -20}});
  described("globe_pixel_is_point", {.Cols = 19, .Rows = 10, .Transform = {-180, 20, 0, 90, 0, -20}, .Point = true});
  described("region_south_up", {.Cols = 5, .Rows = 7, .Transform = {-130.25, 0.5, 0, 19.875, 0, 0.25}, .Crs = 1});
  described("across_zero_no_data",
            {.Cols = 19, .Rows = 7, .Transform = {-5.25, 0.5, 0, 43.25, 0, -0.5}, .NoData = -29.0});
  described("scaled", {.Cols = 6, .Rows = 4, .Transform = {10, 0.25, 0, 50, 0, -0.25}, .Scale = 0.5, .Offset = -3});
  described("nad83", {.Cols = 6, .Rows = 4, .Transform = {10, 0.25, 0, 50, 0, -0.25}, .Crs = 2});
  // Found by fuzz_raster in GDAL itself: an all-zero 64-bit integer band whose
  // no-data value 0.5078 GeoTIFF reports as 0 but fills its unwritten blocks
  // with as 1; the target gives integer bands integral no-data values.
  Seed("raster", "gdal_fractional_no_data_integer_band",
       Described(
           {.Cols = 38, .Rows = 7, .Transform = {-2, 0.5, 0, 43.25, 0, -0.5}, .NoData = 0.5078456997871399, .Type = 6},
           [](int, int) { return 0.0f; }));
  described("projected", {.Cols = 4, .Rows = 4, .Transform = {500000, 1000, 0, 5000000, 0, -1000}, .Crs = 5});

  // A GeoTIFF as GDAL writes it, and a GTX, whole; 0xF0 + the extension's index.
  const auto raw = [](const char* name, unsigned char kind, const std::string& file) {
    std::vector<unsigned char> bytes = test::ReadBytes(file);
    bytes.insert(bytes.begin(), kind);
    Seed("raster", name, bytes);
  };
  GDALAllRegister();
  const std::string tif = fuzz::Scratch().File("seed.tif");
  {
    GDALDatasetUniquePtr ds(
        GetGDALDriverManager()->GetDriverByName("GTiff")->Create(tif.c_str(), 6, 4, 1, GDT_Float32, nullptr));
    OGRSpatialReference wgs84;
    wgs84.SetWellKnownGeogCS("WGS84");
    ds->SetSpatialRef(&wgs84);
    double transform[6] = {139, 0.25, 0, 36, 0, -0.25};
    ds->SetGeoTransform(transform);
    ds->GetRasterBand(1)->SetNoDataValue(-32768);
    std::vector<float> values(24);
    for (int k = 0; k < 24; ++k) values[k] = Tag(k / 6, k % 6);
    if (ds->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, 6, 4, values.data(), 6, 4, GDT_Float32, 0, 0) != CE_None)
      fuzz::Fail("the seed GeoTIFF could not be written", __FILE__, __LINE__);
  }
  raw("raw_geotiff", 0xF0, tif);
  const std::string gtx = fuzz::Scratch().File("seed.gtx");
  test::WriteGtx(gtx, {20, -130, 0.25, 0.5, 7, 5}, Tag);
  raw("raw_gtx", 0xF1, gtx);
}

void Coordinates() {
  int k = 0;
  for (const char* text : {"35 30 N", "-10", "139 44 52.3", "35:30:00", "2.0", "1e1", " 12.5 ", "1.2.3", "W 120 30",
                           "+90", "", "0x10", "1e400", "nan", "-inf", "139.123456789012345678",
                           "35\xC2\xB0"
                           "30'N",
                           "10,5", "S 0 0 0.000001"})
    SeedText("coordinates", "text" + std::to_string(k++), text);
}

// Lines of points files in every form the CLI reads, and a few it refuses.
void PointLines() {
  int k = 0;
  for (const char* line : {"lat;lon;height", "50;120;12.3", "50 N;120 0 0 E\r", "10\t120\tBM-7", "50.0 120.0 12.3 name",
                           "50, 120, 4", "# comment", "", "   ", "35d40m37.8s;120", "91 120",
                           "35\xC2\xB0"
                           "40'37.8\";139 44 52.3 E",
                           "no separator", "50;", ";120"})
    SeedText("point_line", "line" + std::to_string(k++), line);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_corpus DIR\n");
    return 2;
  }
  Root = argv[1];
  CustomFiles();
  SettingsFiles();
  SourceGrids();
  GtxFiles();
  Rasters();
  Coordinates();
  PointLines();
  return 0;
}
