// tessmar-cli import, import-gtx, export and export-gtx: grids in and out, read back by GDAL and PROJ.
#include "CliSupport.hpp"

namespace tessmar {
namespace {

TEST_F(CliTest, ImportedGtxModelRoundTripsThroughGdalAndProj) {
  const std::string tools = "command -v gdallocationinfo >/dev/null && command -v cct >/dev/null";
  ASSERT_EQ(std::system(tools.c_str()), 0) << "gdal-bin and proj-bin are needed: scripts/deps installs them";
  TTempDir data;
  WriteWorldGtx(Logs.File("world.gtx"));
  const std::string ini = Logs.File("demo.ini");

  // Imported into a new settings file, selected, with the data folder it went to.
  TRun imported = Run(
      {"--settings", ini, "--data-dir", data.Path(), "import-gtx", Logs.File("world.gtx"), "--title", "World 1dx1d"});
  ASSERT_EQ(imported.Status, 0) << imported.Err;
  EXPECT_EQ(imported.Out,
            "[EGM2008_25]\ntitle=World 1dx1d\nfname=world\nnrows=181\nncols=362\nglamn=-90\nglomn=0\ndgla=1\n"
            "dglo=1\nnlat=181\nnlon=360\nPrePad=1\n");
  EXPECT_NE(imported.Err.find("turned to start at 0 degrees east"), std::string::npos) << imported.Err;
  EXPECT_EQ(fs::file_size(data.File("world")), 181u * 362 * 4);
  // A second import goes to the settings' data folder, as entry 1, and is selected.
  TRun second = Run({"--settings", ini, "import-gtx", Logs.File("world.gtx"), "--name", "world2", "--entry", "1"});
  ASSERT_EQ(second.Status, 0) << second.Err;
  EXPECT_EQ(second.Out.substr(0, 31), "[EGM2008_10]\ntitle=world\nfname=");
  TRun models = Run({"--settings", ini, "models"});
  EXPECT_EQ(models.Status, 0) << models.Err;
  // The data folder as the settings keep it: made absolute by the program.
  const auto seen = [&](const std::string& name) { return Program.Seen(data.File(name)); };
  EXPECT_EQ(models.Out, "Data folder: " + seen("") + "\n  0  World 1dx1d\n     " + seen("world") +
                            "\n* 1  world\n     " + seen("world2") + "\n");
  ASSERT_EQ(Run({"--settings", ini, "--model", "2.5", "models"}).Out.substr(seen("").size() + 14, 4), "* 0 ");
  const auto listed = nlohmann::json::parse(Run({"--settings", ini, "--json", "models"}).Out)["models"];
  EXPECT_EQ(listed[0]["selected"], false);
  EXPECT_EQ(listed[1]["selected"], true);

  // A new settings file made without --data-dir finds the grid from anywhere:
  // the folder the import wrote to (the program's own) becomes its data path.
  TTempDir elsewhere;
  const std::string fresh = Logs.File("fresh.ini");
  Shell(Program.CopyTo(elsewhere).Line() + " --settings " + fresh + " import-gtx " + Logs.File("world.gtx") +
        " >/dev/null 2>&1");
  TRun found = Run({"--settings", fresh, "models"});
  EXPECT_EQ(found.Status, 0) << found.Err;
  EXPECT_NE(found.Out.find(Program.Seen(elsewhere.File("world")) + "\n"), std::string::npos) << found.Out;

  // Three regions: east of Greenwich, across it (written from its west edge at
  // -2.25), across 180 degrees (written in 0..360); each as GTX (export-gtx and
  // export --format GTX) and as GeoTIFF (export).
  struct TExport {
    const char* Name;
    const char *West, *East;
    std::vector<std::string> Command;
    double WrittenWest;
  };
  const std::vector<std::string> gtx = {"export-gtx"}, gtxFormat = {"export", "--format", "gtx"}, tiff = {"export"};
  for (const TExport& e :
       {TExport{"tokyo", "139", "141", gtx, 138.75}, TExport{"across", "-2", "2", gtx, -2.25},
        TExport{"dateline", "178", "-178", gtx, 177.75}, TExport{"tokyo", "139", "141", tiff, 138.75},
        TExport{"across", "-2", "2", tiff, -2.25}, TExport{"dateline", "178", "-178", tiff, 177.75},
        TExport{"across", "-2", "2", gtxFormat, -2.25}}) {
    SCOPED_TRACE(std::string(e.Name) + " " + e.Command.back());
    const bool geoTiff = e.Command == tiff;
    const std::string name = e.Name;
    TRun convert = Run({"--settings", ini, "--model", "2.5", "--output", name, "convert", "--south", "35", "--north",
                        "37", "--west", e.West, "--east", e.East, "--res", "5", "--overwrite"});
    ASSERT_EQ(convert.Status, 0) << convert.Err;
    std::vector<std::string> args = {"--settings", ini, "--output", name, "--json"};
    args.insert(args.end(), e.Command.begin(), e.Command.end());
    args.push_back("--overwrite");
    TRun exported = Run(args);
    ASSERT_EQ(exported.Status, 0) << exported.Err;
    const auto json = nlohmann::json::parse(exported.Out);
    const std::string file = data.File(name + (geoTiff ? ".tif" : ".gtx"));
    EXPECT_EQ(json["path"], Program.Seen(file));
    EXPECT_EQ(json["format"], geoTiff ? "GTiff" : "GTX");
    EXPECT_EQ(json["west"], e.WrittenWest);

    // Every node of the custom file, where GDAL and PROJ find it.
    test::TRecorderView view;
    TSession session(view);
    ASSERT_TRUE(OpenCustomFile(session, data.File(name + ".qdat")));
    const TGeoidGrid& g = *session.CustomGrid;
    std::vector<float> nodes;
    // GDAL takes the file's own longitudes, PROJ -180..180 ones (negative
    // across Greenwich and east of 180).
    std::ofstream points(Logs.File("points")), projPoints(Logs.File("proj-points"));
    points.precision(17);
    projPoints.precision(17);
    for (int r = 0; r < g.nlat; ++r)
      for (int c = 0; c < g.nlon; ++c) {
        nodes.push_back(g.ReadNode(r, c));
        const double lat = g.north - r * g.dlat, lon = e.WrittenWest + c * g.dlon;
        points << lon << ' ' << lat << '\n';
        // PROJ (9.1) finds the west edge of a grid across 180 degrees a rounding
        // error outside it: asked a billionth of a degree inside.
        const bool acrossDateline = e.WrittenWest + (g.nlon - 1) * g.dlon > 180;
        const double projLon = (lon >= 180 ? lon - 360 : lon) + (acrossDateline && c == 0 ? 1e-9 : 0);
        projPoints << projLon << ' ' << lat << " 0 0\n";
      }
    points.close();
    projPoints.close();
    const std::vector<double> gdal =
        Numbers(Shell("gdallocationinfo -valonly -geoloc " + file + " < " + Logs.File("points")));
    const std::vector<double> proj =
        Numbers(Shell("cct -d 9 +proj=vgridshift +grids=" + file + " < " + Logs.File("proj-points")));
    ASSERT_EQ(gdal.size(), nodes.size());
    ASSERT_EQ(proj.size(), 4 * nodes.size());
    for (std::size_t k = 0; k < nodes.size(); ++k) {
      ASSERT_FALSE(std::isnan(nodes[k]));
      EXPECT_EQ(static_cast<float>(gdal[k]), nodes[k]) << "node " << k;
      EXPECT_NEAR(-proj[4 * k + 2], nodes[k], 1e-6) << "node " << k;  // PROJ subtracts the geoid
    }
  }

  // The GeoTIFF imports back to the nodes of the custom file, and a GeoTIFF
  // gdal_translate makes of a GTX imports byte for byte as the GTX does.
  TRun back = Run({"--settings", ini, "import", data.File("across.tif"), "--name", "back", "--overwrite"});
  ASSERT_EQ(back.Status, 0) << back.Err;
  EXPECT_NE(back.Out.find("\nglomn=357.75\n"), std::string::npos) << back.Out;
  Shell("gdal_translate -q " + Logs.File("world.gtx") + " " + Logs.File("world.tif"));
  TRun viaTiff =
      Run({"--settings", ini, "import", Logs.File("world.tif"), "--name", "world-tif", "--title", "World 1dx1d"});
  ASSERT_EQ(viaTiff.Status, 0) << viaTiff.Err;
  EXPECT_EQ(viaTiff.Out, imported.Out.substr(0, imported.Out.find("fname=")) + "fname=world-tif" +
                             imported.Out.substr(imported.Out.find("\nnrows=")));
  EXPECT_EQ(test::ReadBytes(data.File("world-tif")), test::ReadBytes(data.File("world")));
}

// GDAL is loaded with the formats module by import and GeoTIFF export alone: a
// program whose module is missing does everything else, and those two say
// which file they could not load.
TEST_F(CliTest, WithoutTheFormatsModuleOnlyGdalImportAndExportFail) {
  TTempDir bin;
  Program = Program.CopyTo(bin);
  EXPECT_EQ(Run({"--version"}).Out, "tessmar-cli 2.5.0.0\n");
  TRun convert =
      Run({"--output", "small", "convert", "--south", "49", "--north", "51", "--west", "119", "--east", "121"});
  ASSERT_EQ(convert.Status, 0) << convert.Err;
  EXPECT_EQ(Run({"--output", "small", "check", "--lat", "50", "--lon", "120"}).Out,
            "Original(m): 36.5000\nCustom(m): 36.5000\nError(m): 0.0000\n");
  test::WriteGtx(Logs.File("small.gtx"), {49, 119, 1, 1, 3, 3}, [](int r, int c) { return r + c / 4.0f; });
  TTempDir data;
  EXPECT_EQ(Run({"--data-dir", data.Path(), "import-gtx", Logs.File("small.gtx")}).Status, 0);
  // Names as Windows users have them: letters beyond ASCII, a folder with a space.
  const std::string folder = Logs.File("T\xc3\xabst d\xc3\xafr"), named = folder +
                                                                          "/\xc3\xab"
                                                                          "gm.gtx";
  fs::create_directory(folder);
  fs::copy_file(Logs.File("small.gtx"), named);
  TRun accented = Run({"--data-dir", data.Path(), "import-gtx", named, "--name", "accented"});
  EXPECT_EQ(accented.Status, 0) << accented.Err;
  EXPECT_TRUE(fs::exists(data.File("accented")));

  // (Windows words the reason in the system's language: only its end is known.)
  const std::string cannot = Program.Windows() ? "Error: Cannot load the grid formats module " +
                                                     Program.Seen(bin.File("tessmar-formats.dll")) + ": "
                                               : "Error: Cannot load the grid formats module " +
                                                     fs::path(bin.Path()).parent_path().parent_path().string() + "/lib";
  const std::string why =
      Program.Windows() ? "\n"
                        : "/tessmar/libtessmar-formats.so: cannot open shared object file: No such file or directory\n";
  TRun import = Run({"--data-dir", data.Path(), "import", Logs.File("small.gtx"), "--name", "viagdal"});
  EXPECT_EQ(import.Status, 1);
  EXPECT_EQ(import.Err.rfind(cannot, 0), 0u) << import.Err;
  EXPECT_TRUE(import.Err.ends_with(why)) << import.Err;
  EXPECT_FALSE(fs::exists(data.File("viagdal")));
  EXPECT_EQ(Run({"--output", "small", "export", "--format", "png"}).Status, 2);  // known before any module
  TRun exported = Run({"--output", "small", "export"});
  EXPECT_EQ(exported.Status, 1);
  EXPECT_EQ(exported.Err.rfind(cannot, 0), 0u) << exported.Err;
  EXPECT_TRUE(exported.Err.ends_with(why)) << exported.Err;
  EXPECT_FALSE(fs::exists(Dir.File("small.tif")));
  EXPECT_EQ(Run({"--output", "small", "export-gtx"}).Status, 0);  // the program's own writer
  EXPECT_TRUE(fs::exists(Dir.File("small.gtx")));
}

// PROJ's own EGM96 grid, as GTX and as the GeoTIFF gdal_translate makes of it:
// the same source grid to the byte.
TEST_F(CliTest, Egm96GeoTiffImportsAsItsGtx) {
  const std::string egm96 = "/usr/share/proj/egm96_15.gtx";
  ASSERT_TRUE(fs::exists(egm96)) << "proj-data is needed: scripts/deps installs it";
  Shell("gdal_translate -q -co COMPRESS=DEFLATE -co TILED=YES " + egm96 + " " + Logs.File("egm96_15.tif"));
  TTempDir gtxData, tiffData;
  TRun gtx = Run({"--no-settings", "--data-dir", gtxData.Path(), "--json", "import-gtx", egm96});
  TRun tiff = Run({"--no-settings", "--data-dir", tiffData.Path(), "--json", "import", Logs.File("egm96_15.tif")});
  ASSERT_EQ(gtx.Status, 0) << gtx.Err;
  ASSERT_EQ(tiff.Status, 0) << tiff.Err;
  EXPECT_EQ(nlohmann::json::parse(tiff.Out)["keys"], nlohmann::json::parse(gtx.Out)["keys"]);
  EXPECT_EQ(fs::file_size(tiffData.File("egm96_15")), 721u * 1442 * 4);
  EXPECT_TRUE(test::ReadBytes(tiffData.File("egm96_15")) == test::ReadBytes(gtxData.File("egm96_15")));
}

// A node without a value: GDAL reads the no-data value there, PROJ takes no
// height from it.
TEST_F(CliTest, ExportedGeoTiffMarksNodesWithoutValue) {
  const TCustomTrailer trailer{3, 4, 10, 355, 0.25, 0.5};
  test::WriteCustomFile(Dir.File("gap.qdat"), trailer,
                        [](int r, int c) { return r == 1 && c == 2 ? NoValue() : static_cast<float>(r * 4 + c); });
  // Never over the custom geoid file it is made of, even when asked to replace.
  const auto before = test::ReadBytes(Dir.File("gap.qdat"));
  for (const char* command : {"export", "export-gtx"}) {
    TRun over = Run({"--output", "gap", command, "--to", Dir.File("gap.qdat"), "--overwrite"});
    EXPECT_EQ(over.Status, 1);
    EXPECT_NE(over.Err.find("would replace the custom geoid file itself"), std::string::npos) << over.Err;
    EXPECT_EQ(test::ReadBytes(Dir.File("gap.qdat")), before);
  }
  TRun exported = Run({"--output", "gap", "export"});
  ASSERT_EQ(exported.Status, 0) << exported.Err;
  EXPECT_NE(exported.Out.find("Southwest node: 10, -5;"), std::string::npos) << exported.Out;
  const std::string tif = Dir.File("gap.tif");
  // The nodes at -4 and -3.5 degrees east, 10.25 north: no value, then 7.
  EXPECT_EQ(Numbers(Shell("printf '%s\\n' '-4 10.25' '-3.5 10.25' | gdallocationinfo -valonly -geoloc " + tif)),
            (std::vector<double>{-32768, 7}));
  EXPECT_NE(Shell("gdalinfo " + tif).find("NoData Value=-32768"), std::string::npos);
  const std::vector<double> proj = Numbers(Shell("echo '-3.5 10.25 0 0' | cct -d 9 +proj=vgridshift +grids=" + tif));
  ASSERT_EQ(proj.size(), 4u);
  EXPECT_NEAR(proj[2], -7, 1e-9);
  EXPECT_EQ(Run({"--output", "gap", "export", "--format", "png"}).Status, 2);
  EXPECT_EQ(Run({"--output", "gap", "export"}).Status, 1);  // it exists
}

TEST_F(CliTest, ImportAndExportFailuresSayWhyAndWriteNothing) {
  TTempDir data;
  test::WriteGtx(Logs.File("bad.gtx"), {-90, -180, 0, 1, 181, 360}, [](int, int) { return 1.0f; });
  TRun bad = Run({"--data-dir", data.Path(), "import-gtx", Logs.File("bad.gtx")});
  EXPECT_EQ(bad.Status, 1);
  EXPECT_NE(bad.Err.find("Error: Not a usable GTX grid: " + Logs.File("bad.gtx")), std::string::npos) << bad.Err;
  EXPECT_EQ(bad.Out, "");
  EXPECT_TRUE(fs::is_empty(data.Path()));
  // GDAL's refusals.
  TRun badViaGdal = Run({"--data-dir", data.Path(), "import", Logs.File("bad.gtx")});
  EXPECT_EQ(badViaGdal.Status, 1);
  EXPECT_EQ(badViaGdal.Err, bad.Err);  // a GTX file, whichever import reads it
  // Projected: a grid of metres, not of degrees.
  Shell("gdal_translate -q -a_srs EPSG:32631 -a_ullr 500000 5000000 501000 4999000 " + Logs.File("bad.gtx") + " " +
        Logs.File("utm.tif"));
  TRun projected = Run({"--data-dir", data.Path(), "import", Logs.File("utm.tif")});
  EXPECT_EQ(projected.Status, 1);
  EXPECT_NE(projected.Err.find("its coordinates are projected"), std::string::npos) << projected.Err;
  EXPECT_TRUE(fs::is_empty(data.Path()));
  // A GeoTIFF whose geokeys name a unit PROJ does not know: PROJ wrote its
  // complaint to the terminal itself, beside the program's own message.
  test::WriteBytes(
      Logs.File("odd-unit.tif"),
      {
          0x49, 0x49, 0x2a, 0x00, 0x08, 0x00, 0x00, 0x00, 0x11, 0x00, 0x00, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00,
          0x06, 0x00, 0x00, 0x00, 0x01, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x02, 0x01,
          0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x03, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00,
          0x01, 0x00, 0x00, 0x00, 0x06, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x11, 0x01,
          0x04, 0x00, 0x01, 0x00, 0x00, 0x00, 0x81, 0x01, 0x00, 0x00, 0x15, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00,
          0x01, 0x00, 0x00, 0x00, 0x16, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x17, 0x01,
          0x04, 0x00, 0x01, 0x00, 0x00, 0x00, 0x60, 0x00, 0x00, 0x00, 0x1c, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00,
          0x01, 0x00, 0x00, 0x00, 0x53, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x0e, 0x83,
          0x0c, 0x00, 0x03, 0x00, 0x00, 0x00, 0xda, 0x00, 0x00, 0x00, 0x82, 0x84, 0x0c, 0x00, 0x06, 0x00, 0x00, 0x00,
          0xf2, 0x00, 0x00, 0x00, 0xaf, 0x87, 0x03, 0x00, 0x20, 0x00, 0x00, 0x00, 0x22, 0x01, 0x00, 0x00, 0xb0, 0x87,
          0x0c, 0x00, 0x02, 0x00, 0x00, 0x00, 0x62, 0x01, 0x00, 0x00, 0xb1, 0x87, 0x02, 0x00, 0x08, 0x00, 0x00, 0x00,
          0x72, 0x01, 0x00, 0x00, 0x81, 0xa4, 0x02, 0x00, 0x07, 0x00, 0x00, 0x00, 0x7a, 0x01, 0x00, 0x00, 0x00, 0x00,
          0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xd0, 0x3f, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xd0, 0x3f,
          0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
          0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
          0x00, 0x60, 0x61, 0x40, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x42, 0x40, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
          0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x04, 0x00, 0x00, 0x01, 0x00, 0x02, 0x00,
          0x01, 0x04, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x08, 0x00, 0x00, 0x01, 0x00, 0xe6, 0x08, 0x01, 0x08,
          0xb1, 0x87, 0x07, 0x00, 0x00, 0x00, 0x06, 0x08, 0x00, 0x00, 0x01, 0x00, 0x8e, 0x75, 0x09, 0x08, 0xb0, 0x87,
          0x01, 0x00, 0x01, 0x00, 0x0b, 0x08, 0xb0, 0x87, 0x01, 0x00, 0x00, 0x00, 0x88, 0x6d, 0x74, 0x96, 0xef, 0xc1,
          0x00, 0xe4, 0xef, 0xc1, 0x00, 0xe2, 0xef, 0xc1, 0x00, 0xe0, 0xef, 0xc1, 0x00, 0xde, 0xef, 0xc1, 0x00, 0xdc,
          0xc1, 0x00, 0xf8, 0xeb, 0xc1, 0x00, 0xf6, 0x3c, 0x44, 0x69, 0x6d, 0x61, 0x70, 0x5f, 0x44, 0x6f, 0x63, 0x75,
          0x6d, 0x65, 0x6e, 0x74, 0xeb, 0xc1, 0x00, 0x00, 0xea, 0xc1, 0x00, 0xfe, 0xe9, 0xc1, 0x00, 0xfc, 0xe9, 0xc1,
          0x00, 0xfa, 0xe9, 0xc1, 0x00, 0xf8, 0xe9, 0xc1, 0x00, 0xf6, 0xe9, 0xc1,
      });
  TRun oddUnit = Run({"--data-dir", data.Path(), "import", Logs.File("odd-unit.tif")});
  EXPECT_EQ(oddUnit.Status, 1);
  EXPECT_EQ(oddUnit.Err.rfind("Error: Not a usable grid: " + Logs.File("odd-unit.tif"), 0), 0u) << oddUnit.Err;
  EXPECT_TRUE(fs::is_empty(data.Path()));
  EXPECT_EQ(Run({"import", Logs.File("missing.tif")}).Status, 2);
  EXPECT_EQ(Run({"import-gtx", Logs.File("missing.gtx")}).Status, 2);
  EXPECT_EQ(Run({"import-gtx", Logs.File("bad.gtx"), "--entry", "2"}).Status, 2);

  // No source grid in the folder: models says so.
  TRun models = Run({"--data-dir", data.Path(), "models"});
  EXPECT_EQ(models.Status, 1);
  EXPECT_NE(models.Err.find("No usable source grid file is in the data folder " + data.Path()), std::string::npos);

  // No custom geoid file to export.
  TRun none = Run({"--output", "none", "export-gtx"});
  EXPECT_EQ(none.Status, 1);
  EXPECT_NE(none.Err.find(Dir.File("none.qdat")), std::string::npos) << none.Err;
  EXPECT_FALSE(fs::exists(Dir.File("none.gtx")));
  EXPECT_EQ(Run({"--output", "none", "export"}).Status, 1);
  EXPECT_FALSE(fs::exists(Dir.File("none.tif")));

  // Custom files no conversion writes, once taken as legal: no rows and a
  // column count of billions, a billion rows of 100 degrees. Refused, by the
  // export (it ended on std::bad_alloc) and the scan (a buffer of gigabytes, a
  // walk of days) alike.
  const std::int32_t most = std::numeric_limits<std::int32_t>::max();
  for (const TCustomTrailer& t :
       {TCustomTrailer{0, most, 10, 10, 0.25, 0.25}, TCustomTrailer{most, 0, 10, 10, 0.25, 0.25},
        TCustomTrailer{1000000000, 0, -90, 10, 100, 0.25}}) {
    SCOPED_TRACE(t.rows);
    std::vector<unsigned char> trailer(CustomTrailerSize);
    EncodeTrailer(t, trailer.data());
    test::WriteBytes(Dir.File("crafted.qdat"), trailer);
    for (const char* command : {"export-gtx", "scan"}) {
      TRun run = Run({"--output", "crafted", command});
      EXPECT_EQ(run.Status, 1) << command;
      EXPECT_NE(run.Err.find("Illegal Custom geoid file"), std::string::npos) << command << ": " << run.Err;
    }
    EXPECT_FALSE(fs::exists(Dir.File("crafted.gtx")));
  }

  // A spacing so fine that its products left 64 bits is refused as any bad GTX is.
  for (const double spacing : {3e-15, 1e-17}) {
    test::WriteGtx(Logs.File("fine.gtx"), {-90, -180, 20, spacing, 2, 3}, [](int, int) { return 1.0f; });
    TRun fine = Run({"--data-dir", data.Path(), "import-gtx", Logs.File("fine.gtx")});
    EXPECT_EQ(fine.Status, 1);
    EXPECT_NE(fine.Err.find("Error: Not a usable GTX grid: " + Logs.File("fine.gtx") + ": its spacing"),
              std::string::npos)
        << fine.Err;
    EXPECT_TRUE(fs::is_empty(data.Path()));
  }
}

// Grids that are not what they claim, and output that is lost, are failures
// that say why, through the program as a script runs it: its status, its
// errors, and nothing presented as done.
TEST_F(CliTest, BadGridsAndLostOutputAreFailuresThatSayWhy) {
  ASSERT_EQ(Run({"convert", "--res", "5"}).Status, 0);
  const TGeoidModel m = DefaultGeoidModels()[0];
  TTempDir cut, renamed;  // a download that stopped at 1 MB; a custom file under the model's name
  test::WriteSparseFile(cut.File(m.fname), 1000000);
  fs::copy_file(Dir.File("Tessmar.qdat"), renamed.File(m.fname));
  fs::create_directory(Dir.File("folder.qdat"));
  {
    std::ofstream points(Logs.File("points"));
    for (int k = 0; k < 100000; ++k) points << "50;120\n";
  }
  std::ofstream(Logs.File("one")) << "50;120\n";
  const std::string unusable = "Geoid file is not usable: " + m.fname + " it is ";
  const std::string full = "Error: Cannot write the output: No space left on device\n";
  // Files a command may not replace unless asked.
  std::ofstream(Dir.File("old.png")) << "old";
  std::ofstream(Dir.File("old.gtx")) << "old";
  test::WriteGtx(Logs.File("small.gtx"), {-90, -180, 10, 10, 19, 36}, [](int, int) { return 1.0f; });
  const struct TCase {
    std::string dataDir, command;
    int status;
    std::string err;  // the start of its standard error, or all of it when it ends in a new line
  } common[] = {
      {cut.Path(), "models", 1, "No usable source grid file is in the data folder "},
      {cut.Path(), "convert", 1, "Error: " + unusable + "1,000,000 bytes where its catalogue entry gives"},
      {cut.Path(), "check", 1, "Error: " + unusable + "1,000,000 bytes"},
      {cut.Path(), "scan", 1, "Error: " + unusable + "1,000,000 bytes"},
      {renamed.Path(), "check", 1, "Error: " + unusable},
      {Dir.Path(), "check >/dev/full", 1, full},
      {Dir.Path(), "--json scan >/dev/full", 1, full},
      {Dir.Path(), "check --points " + Logs.File("points") + " >/dev/full", 1, full},
      {Dir.Path(), "check --points " + Logs.File("one") + " >/dev/full", 1, full},  // the first job's write
      {Dir.Path(), "check --points " + Logs.File("points") + " | head -c 10 >/dev/null", 141, "\n"},
      {Dir.Path(), "--output folder convert --overwrite", 1,
       "Warning: File exist : " + Dir.File("folder.qdat") +
           "  Overwrite?\nAnswered Yes (--overwrite).\nError: Cannot write " + Dir.File("folder.qdat") +
           ": it is a folder\n"},
      {Dir.Path(), "--output " + std::string(300, 'x') + " convert", 1,
       "Error: Cannot write " + Dir.File(std::string(300, 'x') + ".qdat") +
           (Program.Windows() ? ": No such file or directory\n" : ": File name too long\n")},
      // The folder written with --output is the one written to, also when it is missing.
      {Dir.Path(), "--output " + Logs.File("no/such/site") + " convert", 1,
       "Error: Cannot write " + Logs.File("no/such/site.qdat") + ": No such file or directory\n"},
      // One overwrite rule for every output: an existing file is replaced only when asked.
      {Dir.Path(), "map --png " + Dir.File("old.png"), 1,
       "Error: The PNG file already exists: " + Dir.File("old.png") + "\n"},
      {Dir.Path(), "scan --heatmap " + Dir.File("old.png"), 1,
       "Error: The PNG file already exists: " + Dir.File("old.png") + "\n"},
      {Dir.Path(), "export-gtx --to " + Dir.File("old.gtx"), 1,
       "Error: The GTX file already exists: " + Dir.File("old.gtx") + "\n"},
      {Dir.Path(), "import-gtx " + Logs.File("small.gtx") + " --name old.gtx", 1,
       "Error: The grid file already exists: " + Dir.File("old.gtx") + "\n"},
  };
  std::vector<TCase> cases(std::begin(common), std::end(common));
  // Nothing but a regular file is replaced, asked or not: a device (as root),
  // a pipe, a socket, a link to one of them or to nothing is refused with the
  // reason and stays. A link to a file is followed (below). POSIX only.
  if (!Program.Windows()) {
    using test::TSpecialFile;
    const bool device = test::MakeSpecialFile(Dir.File("full"), TSpecialFile::Device);
    ASSERT_TRUE(test::MakeSpecialFile(Dir.File("fifo.qdat"), TSpecialFile::Fifo));
    ASSERT_TRUE(test::MakeSpecialFile(Dir.File("sock"), TSpecialFile::Socket));
    fs::create_symlink(device ? Dir.File("full") : Dir.File("fifo.qdat"), Dir.File("linked.png"));
    fs::create_symlink("nowhere", Dir.File("dangling.gtx"));
    const std::string linked = device ? "a device, not a file" : "a pipe, not a file";
    if (device) {
      cases.push_back({Dir.Path(), "map --png " + Dir.File("full") + " --overwrite", 1,
                       "Error: Cannot write " + Dir.File("full") + ": it is a device, not a file\n"});
      cases.push_back({Dir.Path(), "scan --heatmap " + Dir.File("full"), 1,
                       "Error: Cannot write " + Dir.File("full") + ": it is a device, not a file\n"});
    } else {
      std::cerr << "device rows skipped: not root\n";
    }
    cases.push_back({Dir.Path(), "--output fifo convert --overwrite", 1,
                     "Warning: File exist : " + Dir.File("fifo.qdat") +
                         "  Overwrite?\nAnswered Yes (--overwrite).\nError: Cannot write " + Dir.File("fifo.qdat") +
                         ": it is a pipe, not a file\n"});
    cases.push_back({Dir.Path(), "export-gtx --to " + Dir.File("sock") + " --overwrite", 1,
                     "Error: Cannot write " + Dir.File("sock") + ": it is a socket, not a file\n"});
    cases.push_back({Dir.Path(), "scan --heatmap " + Dir.File("linked.png") + " --overwrite", 1,
                     "Error: Cannot write " + Dir.File("linked.png") + ": it is a symbolic link to " +
                         (device ? Dir.File("full") : Dir.File("fifo.qdat")) + ", " + linked + "\n"});
    cases.push_back({Dir.Path(), "import-gtx " + Logs.File("small.gtx") + " --name fifo.qdat --overwrite", 1,
                     "Error: Cannot write " + Dir.File("fifo.qdat") + ": it is a pipe, not a file\n"});
    cases.push_back({Dir.Path(), "export --to " + Dir.File("linked.png") + " --overwrite", 1,
                     "Error: Cannot write " + Dir.File("linked.png") + ": it is a symbolic link to " +
                         (device ? Dir.File("full") : Dir.File("fifo.qdat")) + ", " + linked + "\n"});
    cases.push_back({Dir.Path(), "export-gtx --to " + Dir.File("dangling.gtx") + " --overwrite", 1,
                     "Error: Cannot write " + Dir.File("dangling.gtx") +
                         ": it is a symbolic link to nowhere, which does not exist\n"});
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    const std::string out = Shell("bash -c '" + Program.Line() + " --no-settings --data-dir " + c.dataDir + " " +
                                  c.command + " 2>" + Logs.File("err") + "; echo ${PIPESTATUS[0]}'");
    const std::string err = Slurp(Logs.File("err"));
    EXPECT_EQ(out.substr(out.rfind('\n', out.size() - 2) + 1), std::to_string(c.status) + "\n") << out;
    if (c.err == "\n")
      EXPECT_EQ(err, "");
    else if (c.err.back() == '\n')
      EXPECT_EQ(err, c.err);
    else
      EXPECT_EQ(err.substr(0, c.err.size()), c.err) << err;
    EXPECT_EQ(out.find("Done.\n"), std::string::npos) << out;
  }
  // What was refused is as it was.
  EXPECT_EQ(Slurp(Dir.File("old.png")), "old");
  EXPECT_EQ(Slurp(Dir.File("old.gtx")), "old");
  if (Program.Windows()) return;
  EXPECT_EQ(fs::symlink_status(Dir.File("fifo.qdat")).type(), fs::file_type::fifo);
  EXPECT_EQ(fs::symlink_status(Dir.File("sock")).type(), fs::file_type::socket);
  EXPECT_TRUE(fs::is_symlink(Dir.File("linked.png")));
  EXPECT_TRUE(fs::is_symlink(Dir.File("dangling.gtx")));
  EXPECT_FALSE(fs::exists(Dir.File("nowhere")));
  if (fs::exists(Dir.File("full"))) {
    EXPECT_EQ(fs::symlink_status(Dir.File("full")).type(), fs::file_type::character);
  }

  // A link to a file: the file it leads to is replaced, in its own folder, and the link stays.
  TTempDir elsewhere;
  std::ofstream(elsewhere.File("map.png")) << "old";
  fs::create_symlink(elsewhere.File("map.png"), Dir.File("map.png"));
  TRun map = Run({"map", "--png", Dir.File("map.png"), "--width", "64", "--overwrite"});
  EXPECT_EQ(map.Status, 0) << map.Err;
  EXPECT_TRUE(fs::is_symlink(Dir.File("map.png")));
  EXPECT_EQ(test::ReadPng(elsewhere.File("map.png")).Width, 64);
}

}  // namespace
}  // namespace tessmar
