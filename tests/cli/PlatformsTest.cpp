// The Windows build (TESSMAR_CLI_RUN, under Wine) against the Linux build: the
// same commands on the same data give the same bytes, on the terminal and in
// the files they write.
#include "CliSupport.hpp"

namespace tessmar {
namespace {

TEST_F(CliTest, WindowsBuildWritesTheLinuxBuildsBytes) {
  if (!Program.Windows()) GTEST_SKIP() << "no Windows build to compare with: TESSMAR_CLI_RUN names none";
  // A field that varies around 50 N 120 E, the rest of the grid 0.
  const TGeoidModel m = DefaultGeoidModels()[0];
  for (int r = 870; r <= 1050; r += 5)
    for (int c = 2790; c <= 2970; c += 5)
      test::PokeWord(Dir.File(m.fname), std::int64_t{r} * 8642 + c + 1,
                     static_cast<float>(30 + 7 * std::sin(r / 13.0) + 4 * std::cos(c / 9.0)));
  std::ofstream(Dir.File("points.txt")) << "lat;lon\n50;120\n49 30 N;119 45 E\n52.125;121.3\n10;120\nx;y\n";
  // A GeoTIFF on a datum that only PROJ's database names (ITRF2014): the
  // Windows build's import names it only through the proj.db it brings.
  test::WriteGtx(Logs.File("small.gtx"), {49, 119, 1, 1, 3, 3}, [](int r, int c) { return r + c / 4.0f; });
  Shell("gdal_translate -q -a_srs EPSG:7912 " + Logs.File("small.gtx") + " " + Dir.File("itrf2014.tif"));

  // Each build in a folder of its own: "@" in an argument stands for it.
  TTempDir linuxDir;
  for (const char* name : {m.fname.c_str(), "points.txt", "itrf2014.tif"})
    fs::copy_file(Dir.File(name), linuxDir.File(name));
  const TProgram linux{{TESSMAR_CLI}};
  // Each command with the exit status it ends with.
  const std::vector<std::pair<std::vector<std::string>, int>> commands = {
      {{"--help"}, 0},
      {{"scan", "--help"}, 0},
      {{"models"}, 0},
      {{"--json", "models"}, 0},
      {{"convert", "--south", "45", "--north", "55", "--west", "115", "--east", "125", "--res", "5"}, 0},
      {{"convert", "--south", "45", "--north", "55", "--west", "115", "--east", "125", "--res", "5"}, 1},  // it exists
      {{"--output", "fine", "convert", "--south", "48", "--north", "52", "--west", "118", "--east", "122"}, 0},
      {{"--json", "--output", "across", "convert", "--south", "-5", "--north", "5", "--west", "-3", "--east", "3",
        "--res", "10"},
       0},
      {{"check", "--lat", "50", "--lon", "120"}, 0},
      {{"--json", "check", "--lat", "50 30 N", "--lon", "120.3"}, 0},
      {{"--output", "fine", "check", "--lat", "49.99", "--lon", "120.01"}, 0},
      {{"check", "--points", "@points.txt"}, 1},  // x;y is refused
      {{"--json", "--output", "fine", "check", "--points", "@points.txt"}, 1},
      {{"scan", "--precision", "2", "--heatmap", "@heat.png"}, 0},
      {{"--json", "--output", "across", "scan"}, 0},
      {{"map", "--png", "@map.png", "--width", "360"}, 0},
      {{"export-gtx"}, 0},
      {{"--output", "across", "export", "--format", "GTX"}, 0},
      {{"import-gtx", "@Tessmar.gtx", "--name", "back"}, 0},
      {{"export"}, 0},
      {{"import", "@Tessmar.tif", "--name", "fromtif"}, 0},
      {{"import", "@itrf2014.tif"}, 1},
      {{"check", "--lat", "95", "--lon", "0"}, 2},
      {{"convert", "--south", "x"}, 2},
  };
  const std::vector<std::string> files = {"Tessmar.qdat", "fine.qdat",  "across.qdat", "heat.png", "map.png",
                                          "Tessmar.gtx",  "across.gtx", "back",        "fromtif"};

  // What a build shows, with its folder (as given, or made whole by the
  // program) as "@", and the coastline file its map drew apart: each build
  // reads its own.
  std::string linuxCoast, windowsCoast;
  const auto run = [&](const TProgram& program, const TTempDir& folder, std::vector<std::string> args) {
    for (std::string& a : args)
      if (a.starts_with("@")) a = folder.File(a.substr(1));
    std::vector<std::string> command = program.Command;
    command.insert(command.end(), {"--no-settings", "--data-dir", folder.Path()});
    command.insert(command.end(), args.begin(), args.end());
    TRun r = RunCommand(command);
    const std::string start = "Coastlines: ";
    if (const std::size_t at = r.Out.find(start); at != std::string::npos) {
      const std::size_t end = r.Out.find('\n', at);
      (program.Windows() ? windowsCoast : linuxCoast) = r.Out.substr(at + start.size(), end - at - start.size());
      r.Out.erase(at, end + 1 - at);
    }
    // The folder as "@", the program's own (--help names it) as "PROGRAM/".
    const std::string home = fs::path(program.File()).parent_path().string() + "/";
    const std::pair<std::string, const char*> names[] = {{program.Seen(folder.Path()), "@"},
                                                         {"Z:" + folder.Path(), "@"},
                                                         {folder.Path(), "@"},
                                                         {folder.Path().substr(0, folder.Path().size() - 1), "@"},
                                                         {program.Seen(home), "PROGRAM/"},
                                                         {home, "PROGRAM/"}};
    for (std::string* text : {&r.Out, &r.Err})
      for (const auto& [shown, name] : names)
        for (std::size_t at; (at = text->find(shown)) != std::string::npos;) text->replace(at, shown.size(), name);
    // A GeoTIFF's size is its deflated tiles' (compared below).
    if (const std::size_t at = r.Out.find("GeoTIFF file: "); at != std::string::npos) {
      const std::size_t from = r.Out.find("Size: ", at) + 6;
      r.Out.replace(from, r.Out.find(" bytes", from) - from, "N");
    }
    return r;
  };
  for (const auto& [args, status] : commands) {
    std::string line;
    for (const auto& a : args) line += " " + a;
    SCOPED_TRACE(line);
    const TRun fromLinux = run(linux, linuxDir, args), fromWindows = run(Program, Dir, args);
    EXPECT_EQ(fromLinux.Status, status) << fromLinux.Err;
    EXPECT_EQ(fromWindows.Status, fromLinux.Status);
    EXPECT_EQ(fromWindows.Out, fromLinux.Out);
    EXPECT_EQ(fromWindows.Err, fromLinux.Err);
  }
  for (const std::string& name : files) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(fs::exists(linuxDir.File(name)));
    EXPECT_TRUE(test::ReadBytes(Dir.File(name)) == test::ReadBytes(linuxDir.File(name)));
  }
  // Both maps drew the same coastlines (GSHHG's netCDF files, read by GDAL):
  // the Linux build Debian's, the Windows build those in its own folder (never
  // Linux's, seen through Wine's drive Z:).
  ASSERT_NE(linuxCoast, "") << "gmt-gshhg-low is needed: scripts/deps installs it";
  EXPECT_EQ(windowsCoast, Program.Seen(fs::path(Program.File()).parent_path().string() + "/gmt-gshhg/" +
                                       fs::path(linuxCoast).filename().string()));

  // The GeoTIFFs: their bytes differ where the builds' GDALs deflate the
  // tiles differently (Debian's through libdeflate); every tag but where the
  // tiles lie and how long they are is the same (the geokeys among them), and
  // so are the values, as the Linux build imports the Windows build's file.
  std::map<int, test::TTiffTag> windowsTags = test::ReadTiffTags(Dir.File("Tessmar.tif")),
                                linuxTags = test::ReadTiffTags(linuxDir.File("Tessmar.tif"));
  for (const int placement : test::TiffPlacementTags) {
    windowsTags.erase(placement);
    linuxTags.erase(placement);
  }
  EXPECT_GT(linuxTags.count(34735), 0u) << "no GeoKeyDirectory";
  for (const auto& [tag, value] : linuxTags) EXPECT_TRUE(windowsTags[tag] == value) << "TIFF tag " << tag;
  EXPECT_EQ(windowsTags.size(), linuxTags.size());
  TTempDir crossData;
  const TRun cross = run(linux, crossData, {"import", Dir.File("Tessmar.tif"), "--name", "fromtif"});
  ASSERT_EQ(cross.Status, 0) << cross.Err;
  EXPECT_TRUE(test::ReadBytes(crossData.File("fromtif")) == test::ReadBytes(linuxDir.File("fromtif")));
}

}  // namespace
}  // namespace tessmar
