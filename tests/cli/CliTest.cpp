// tessmar-cli as a user runs it: a child process, its output and exit status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "TestGrids.hpp"
#include "grid/Check.hpp"
#include "grid/Source.hpp"
#include "view/Grids.hpp"

namespace tessmar {
namespace {

namespace fs = std::filesystem;
using test::TTempDir;

struct TRun {
  int Status = -1;
  std::string Out, Err;
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

struct CliTest : ::testing::Test {
  TTempDir Dir;
  TTempDir Logs;

  // The full 2.5' layout as a sparse file: every node reads 0 but one.
  CliTest() {
    const TGeoidModel m = DefaultGeoidModels()[0];
    test::WriteSparseFile(Dir.File(m.fname), std::int64_t{4321} * 8642 * 4);
    test::PokeWord(Dir.File(m.fname), std::int64_t{960} * 8642 + 2880 + 1, 36.5f);  // 50 N, 120 E
  }

  // Runs the CLI with --data-dir set and no settings file (unless `settings`);
  // `whilst` runs with its pid before the wait.
  TRun Run(std::vector<std::string> args, const std::function<void(pid_t)>& whilst = {}) {
    if (std::find(args.begin(), args.end(), "--settings") == args.end())
      args.insert(args.begin(), {"--no-settings", "--data-dir", Dir.Path()});
    args.insert(args.begin(), TESSMAR_CLI);
    const std::string out = Logs.File("out"), err = Logs.File("err");
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
      ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    if (whilst) whilst(pid);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status), Slurp(out), Slurp(err)};
  }
};

TEST_F(CliTest, HelpAndVersion) {
  TRun help = Run({"--help"});
  EXPECT_EQ(help.Status, 0);
  EXPECT_NE(help.Out.find("custom geoid"), std::string::npos);
  EXPECT_NE(help.Out.find("convert"), std::string::npos);
  TRun convertHelp = Run({"convert", "--help"});
  EXPECT_NE(convertHelp.Out.find("Example:"), std::string::npos);
  EXPECT_EQ(Run({"--version"}).Out, "tessmar-cli 2.5.0.0\n");
  EXPECT_EQ(Run({"--no-such-option"}).Status, 2);
  EXPECT_EQ(Run({"convert", "--res", "7"}).Status, 2);
}

TEST_F(CliTest, ConvertPrintsTheReportAndRefusesToOverwrite) {
  const std::string path = Dir.File("Tessmar.qdat");
  TRun run = Run({"convert", "--res", "5"});
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out, "Source Geoid model: EGM2008 2.5'x2.5'\nOutput file name: " + path +
                         "\nOutput resolution:  5.0 minute\nOutput size: 538,796 bytes.\n");
  EXPECT_EQ(run.Err, "");
  EXPECT_EQ(fs::file_size(path), 538796u);

  TRun again = Run({"convert", "--res", "5", "--south", "30"});
  EXPECT_EQ(again.Status, 1);
  EXPECT_EQ(again.Out, "");
  EXPECT_NE(again.Err.find("Warning: File exist : " + path), std::string::npos) << again.Err;
  EXPECT_EQ(fs::file_size(path), 538796u);

  TRun forced = Run({"convert", "--res", "5", "--south", "30", "--overwrite"});
  EXPECT_EQ(forced.Status, 0) << forced.Err;
  EXPECT_LT(fs::file_size(path), 538796u);
}

TEST_F(CliTest, ConvertJsonDescribesTheFile) {
  TRun run = Run({"--json", "--output", "/elsewhere/tokyo.txt", "convert", "--south", "35 30 N", "--west", "-10",
                  "--north", "36", "--east", "10", "--res", "10"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  const auto json = nlohmann::ordered_json::parse(run.Out);
  EXPECT_EQ(json.begin().key(), "path");
  EXPECT_EQ(json["path"], Dir.File("tokyo.qdat"));
  EXPECT_EQ(json["size"], fs::file_size(Dir.File("tokyo.qdat")));
  EXPECT_EQ(json["rows"], 10);
  EXPECT_EQ(json["cols"], 127);
  EXPECT_EQ(json["south"], 35.0);
  EXPECT_EQ(json["west"], 349.5);
  EXPECT_EQ(json["dlat"], 1.0 / 6);  // full precision
  EXPECT_EQ(json["dlon"], 1.0 / 6);
  EXPECT_EQ(json["report"].size(), 4u);
}

TEST_F(CliTest, FailuresExitWithOneAndSayWhy) {
  TRun blank = Run({"convert", "--north", ""});
  EXPECT_EQ(blank.Status, 1);
  EXPECT_EQ(blank.Err, "Error: Invalid floating point operation.\n");
  EXPECT_FALSE(fs::exists(Dir.File("Tessmar.qdat")));

  TRun range = Run({"convert", "--south", "60"});
  EXPECT_EQ(range.Status, 1);
  EXPECT_EQ(range.Err, "Error: Range specification error in latitude longitude.\n");

  TTempDir empty;
  TRun missing = Run({"--data-dir", empty.Path(), "--model", "1", "convert"});
  EXPECT_EQ(missing.Status, 1);
  EXPECT_EQ(missing.Out, "Cannot open: EGM2008 1'x1'\n");
  EXPECT_EQ(missing.Err, "Error: Geoid file is not found: Und_min1x1_egm2008_isw=82_WGS84_TideFree_SE\n");

  TRun json = Run({"--json", "--data-dir", empty.Path(), "convert"});
  EXPECT_EQ(json.Status, 1);
  EXPECT_TRUE(nlohmann::json::parse(json.Out)["size"].is_null());

  EXPECT_EQ(Run({"--output", " ", "convert"}).Status, 2);
}

TEST_F(CliTest, InterruptAbortsAfterTheRowInProgress) {
  // The whole globe at 2.5': long enough to be interrupted while it writes.
  const auto interrupt = [&](pid_t pid) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (bool writing = false; !writing && std::chrono::steady_clock::now() < deadline;) {
      for (const auto& e : fs::directory_iterator(Dir.Path())) writing = writing || e.path().extension() == ".part";
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    ::kill(pid, SIGINT);
  };
  TRun run = Run({"convert", "--south", "-90", "--north", "90", "--west", "0", "--east", "360"}, interrupt);
  EXPECT_EQ(run.Status, 130) << run.Out << run.Err;
  EXPECT_NE(run.Out.find("\nAborted by user.\n"), std::string::npos) << run.Out;
  EXPECT_EQ(std::distance(fs::directory_iterator(Dir.Path()), fs::directory_iterator()), 1);  // the source only
}

TEST_F(CliTest, ProgressBarShowsOnATerminalOnly) {
  // On a pseudo-terminal the bar and its percentage show; the report still comes whole.
  int terminal = -1;
  const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::execl(TESSMAR_CLI, TESSMAR_CLI, "--no-settings", "--data-dir", Dir.Path().c_str(), "convert", nullptr);
    ::_exit(127);
  }
  std::string screen;
  char buffer[4096];
  for (ssize_t n; (n = ::read(terminal, buffer, sizeof buffer)) > 0;)
    screen.append(buffer, static_cast<std::size_t>(n));
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::close(terminal);
  EXPECT_EQ(WEXITSTATUS(status), 0) << screen;
  EXPECT_NE(screen.find("] 100%"), std::string::npos) << screen;
  EXPECT_NE(screen.find("[########################################]"), std::string::npos);
  EXPECT_NE(screen.find("Output size: "), std::string::npos);
  EXPECT_EQ(Run({"convert", "--overwrite"}).Err.find('%'), std::string::npos);  // not into a file
}

TEST_F(CliTest, CheckPrintsTheThreeFields) {
  ASSERT_EQ(Run({"convert", "--res", "5"}).Status, 0);
  TRun run = Run({"check", "--lat", "50", "--lon", "120"});
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out, "Original(m): 36.5000\nCustom(m): 36.5000\nError(m): 0.0000\n");

  TRun outside = Run({"check", "--lat", "10", "--lon", "120"});
  EXPECT_EQ(outside.Status, 0);
  EXPECT_EQ(outside.Out, "Original(m): 0.0000\nCustom(m): Out of range.\nError(m): \n");

  TRun json = Run({"--json", "check", "--lat", "50 N", "--lon", "120 0 0"});
  const auto values = nlohmann::ordered_json::parse(json.Out);
  EXPECT_EQ(values.dump(), R"({"lat":50.0,"lon":120.0,"source":36.5,"custom":36.5,"error":0.0})");

  // The data folder as typed, without its "/".
  std::string folder = Dir.Path();
  folder.pop_back();
  EXPECT_EQ(Run({"--data-dir", folder, "check", "--lat", "50", "--lon", "120"}).Out, run.Out);

  // Without the custom file the source value still comes, the missing file is
  // said once, and the exit status says the check is incomplete.
  const std::string notFound = "Error: Geoid file is not found: " + Dir.File("none.qdat");
  const auto once = [&](const std::string& err) {
    EXPECT_NE(err.find(notFound), std::string::npos) << err;
    EXPECT_EQ(err.find(notFound), err.rfind(notFound)) << err;
  };
  TRun missing = Run({"--output", "none", "check"});
  EXPECT_EQ(missing.Status, 1);
  EXPECT_EQ(missing.Out, "Original(m): 0.0000\nCustom(m): \nError(m): \n");
  once(missing.Err);
  TRun missingJson = Run({"--output", "none", "--json", "check", "--lat", "50", "--lon", "120"});
  EXPECT_EQ(missingJson.Status, 1);
  EXPECT_EQ(missingJson.Out, "{\"lat\":50.0,\"lon\":120.0,\"source\":36.5,\"custom\":null,\"error\":null}\n");
  {
    std::ofstream points(Logs.File("points"));
    points << "50;120\n10;120\n";
  }
  TRun missingPoints = Run({"--output", "none", "check", "--points", Logs.File("points")});
  EXPECT_EQ(missingPoints.Status, 1);
  EXPECT_EQ(missingPoints.Out, "36.5000\t\t\n0.0000\t\t\n");
  once(missingPoints.Err);
  TRun missingPointsJson = Run({"--output", "none", "--json", "check", "--points", Logs.File("points")});
  EXPECT_EQ(missingPointsJson.Out.substr(0, missingPointsJson.Out.find('\n')),
            R"({"lat":50,"lon":120,"source":36.5,"custom":null,"error":null})");
}

TEST_F(CliTest, CheckPointsReadsAFileOrStandardInput) {
  ASSERT_EQ(Run({"convert", "--res", "5"}).Status, 0);
  test::WriteBytes(Logs.File("points"), {});
  {
    std::ofstream points(Logs.File("points"));
    points << "50;120\r\n10\t120\n\n  \nno separator\n50 N;-0.0\n";
  }
  TRun run = Run({"check", "--points", Logs.File("points")});
  EXPECT_EQ(run.Status, 1);  // one line did not read
  EXPECT_EQ(run.Out, "36.5000\t36.5000\t0.0000\n0.0000\tOut of range.\t\n0.0000\tOut of range.\t\n");
  EXPECT_EQ(run.Err, "Error: line 5: expected LAT;LON or LAT<TAB>LON\n");

  TRun json = Run({"--json", "check", "--points", Logs.File("points")});
  std::istringstream lines(json.Out);
  std::string first;
  std::getline(lines, first);
  EXPECT_EQ(first, R"({"lat":50,"lon":120,"source":36.5,"custom":36.5,"error":0})");
  std::string second;
  std::getline(lines, second);
  EXPECT_EQ(nlohmann::json::parse(second)["custom"], nullptr);

  EXPECT_EQ(Run({"check", "--points", Logs.File("absent")}).Status, 2);
}

TEST_F(CliTest, ScanPrintsTheReport) {
  ASSERT_EQ(Run({"convert", "--res", "5"}).Status, 0);
  TRun run = Run({"scan", "--precision", "0.25"});
  EXPECT_EQ(run.Status, 0) << run.Err;
  std::istringstream lines(run.Out);
  std::vector<std::string> report;
  for (std::string line; std::getline(lines, line);) report.push_back(line);
  ASSERT_EQ(report.size(), 5u);
  EXPECT_EQ(report[1], "Range: 19.750000N,119.750000E to 50.250000N,150.250000E");
  EXPECT_EQ(report[2], "Resolution:  5.0 minute    Size: 538,796 bytes.");
  EXPECT_EQ(report[3].rfind("Min: ", 0), 0u);

  const auto json = nlohmann::ordered_json::parse(Run({"--json", "scan", "--precision", "0.25"}).Out);
  EXPECT_EQ(json["precision"], 1.0);  // raised for a 5' file against the 2.5' source
  EXPECT_EQ(json["nr"], 720);
  EXPECT_EQ(json["nc"], 720);
  EXPECT_EQ(json["points"], 721 * 721);
  EXPECT_GT(json["max"]["diff"].get<double>(), 0.0);
  EXPECT_EQ(json["report"].size(), 5u);

  ASSERT_EQ(Run({"convert", "--res", "0", "--output", "same"}).Status, 0);
  TRun same = Run({"--output", "same", "scan"});
  EXPECT_EQ(same.Status, 0);
  EXPECT_EQ(same.Err, "Information: Check is unnecessary. Because it is the same to original resolution.\n");

  TRun missing = Run({"--output", "none", "scan"});
  EXPECT_EQ(missing.Status, 1);
  EXPECT_EQ(missing.Out, "Can not found: " + Dir.File("none.qdat") + "\n");
}

TEST_F(CliTest, InterruptStopsAScan) {
  // A whole-circle file at four points per source spacing: far too long to finish.
  ASSERT_EQ(Run({"convert", "--res", "5", "--south", "-10", "--north", "10", "--west", "0", "--east", "360"}).Status,
            0);
  TRun run = Run({"scan", "--precision", "4"}, [](pid_t pid) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ::kill(pid, SIGINT);
  });
  EXPECT_EQ(run.Status, 130) << run.Err;
  EXPECT_NE(run.Out.find("\nAborted by user.\n"), std::string::npos) << run.Out;
}

TEST_F(CliTest, SettingsFileGivesTheDefaults) {
  // A catalogue whose 2.5' entry is a small grid, a data folder, a name and a region.
  TTempDir data;
  const TGeoidModel small = test::SmallModel("small25", 1.0 / 24, 30, 130, 97, 97);
  test::WriteSourceGrid(data.File("small25"), small, [](int, int) { return 2.5f; });
  const std::string ini = Logs.File("my.ini");
  {
    std::ofstream out(ini, std::ios::binary);
    out << "[Option]\r\nGeoidModel=EGM2008 2.5'x2.5'\r\nDataPath=" << data.Path()
        << "\r\nOutputName=fromini\r\nResolution=10\r\nLat1=31\r\nLat2=33\r\nLon1=131\r\nLon2=133\r\n"
        << "[EGM2008_25]\r\nfname=small25\r\nnrows=97\r\nncols=99\r\nglamn=30\r\nglomn=130\r\nnlat=97\r\nnlon=97\r\n";
  }
  const auto before = fs::last_write_time(ini);
  TRun run = Run({"--settings", ini, "convert"});
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_NE(run.Out.find("Output file name: " + data.File("fromini.qdat")), std::string::npos) << run.Out;
  EXPECT_NE(run.Out.find("Output resolution: 10.0 minute"), std::string::npos);
  EXPECT_TRUE(fs::exists(data.File("fromini.qdat")));
  EXPECT_EQ(fs::last_write_time(ini), before);  // read, never written

  // Options override the file.
  TRun overridden = Run({"--settings", ini, "--data-dir", data.Path(), "--output", "other", "convert", "--res", "5"});
  EXPECT_EQ(overridden.Status, 0) << overridden.Err;
  EXPECT_NE(overridden.Out.find("Output resolution:  5.0 minute"), std::string::npos);

  TRun missing = Run({"--settings", Logs.File("none.ini"), "convert"});
  EXPECT_EQ(missing.Status, 2);
  EXPECT_EQ(missing.Err, "Error: settings file not found: " + Logs.File("none.ini") + "\n");
}

// A command's standard output (its errors pass through); fails the test on a non-zero exit.
std::string Shell(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    EXPECT_EQ(::pclose(pipe), 0) << command;
  } else {
    ADD_FAILURE() << "cannot run " << command;
  }
  return out;
}

std::vector<double> Numbers(const std::string& text) {
  std::vector<double> values;
  std::istringstream in(text);
  for (double v; in >> v;) values.push_back(v);
  return values;
}

// A smooth 1-degree world from -180, as GTX: undulations of tens of metres.
void WriteWorldGtx(const std::string& path) {
  test::WriteGtx(path, {-90, -180, 1, 1, 181, 360}, [](int r, int c) {
    const double lat = (r - 90) * M_PI / 180, lon = (c - 180) * M_PI / 180;
    return static_cast<float>(40 * std::sin(2 * lat) * std::cos(lon) + 10 * std::cos(3 * lon) - 5);
  });
}

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
  EXPECT_EQ(models.Out, "Data folder: " + data.Path() + "\n  0  World 1dx1d\n     " + data.File("world") +
                            "\n* 1  world\n     " + data.File("world2") + "\n");
  ASSERT_EQ(Run({"--settings", ini, "--model", "2.5", "models"}).Out.substr(data.Path().size() + 14, 4), "* 0 ");
  const auto listed = nlohmann::json::parse(Run({"--settings", ini, "--json", "models"}).Out)["models"];
  EXPECT_EQ(listed[0]["selected"], false);
  EXPECT_EQ(listed[1]["selected"], true);

  // A new settings file made without --data-dir finds the grid from anywhere:
  // the folder the import wrote to becomes its data path.
  TTempDir elsewhere;
  const std::string fresh = Logs.File("fresh.ini");
  Shell("cd " + elsewhere.Path() + " && " + TESSMAR_CLI + " --settings " + fresh + " import-gtx " +
        Logs.File("world.gtx") + " >/dev/null 2>&1");
  TRun found = Run({"--settings", fresh, "models"});
  EXPECT_EQ(found.Status, 0) << found.Err;
  EXPECT_NE(found.Out.find(elsewhere.File("world") + "\n"), std::string::npos) << found.Out;

  // Two regions: one east of Greenwich, one across it (its west edge stays past 180).
  for (const auto& [name, west, east] : {std::tuple{"tokyo", "139", "141"}, std::tuple{"across", "-2", "2"}}) {
    SCOPED_TRACE(name);
    TRun convert = Run({"--settings", ini, "--model", "2.5", "--output", name, "convert", "--south", "35", "--north",
                        "37", "--west", west, "--east", east, "--res", "5"});
    ASSERT_EQ(convert.Status, 0) << convert.Err;
    TRun exported = Run({"--settings", ini, "--output", name, "--json", "export-gtx"});
    ASSERT_EQ(exported.Status, 0) << exported.Err;
    const std::string gtx = data.File(std::string(name) + ".gtx");
    EXPECT_EQ(nlohmann::json::parse(exported.Out)["path"], gtx);

    // Every node of the custom file, where GDAL and PROJ find it.
    test::TRecorderView view;
    TSession session(view);
    ASSERT_TRUE(OpenCustomFile(session, data.File(std::string(name) + ".qdat")));
    const TGeoidGrid& g = *session.CustomGrid;
    std::vector<float> nodes;
    // GDAL takes the file's own longitudes, PROJ its own -180..180 ones.
    std::ofstream points(Logs.File("points")), projPoints(Logs.File("proj-points"));
    points.precision(17);
    projPoints.precision(17);
    for (int r = 0; r < g.nlat; ++r)
      for (int c = 0; c < g.nlon; ++c) {
        nodes.push_back(g.ReadNode(r, c));
        const double lat = g.north - r * g.dlat, lon = g.west + c * g.dlon;
        points << lon << ' ' << lat << '\n';
        projPoints << (lon >= 180 ? lon - 360 : lon) << ' ' << lat << " 0 0\n";
      }
    points.close();
    projPoints.close();
    const std::vector<double> gdal =
        Numbers(Shell("gdallocationinfo -valonly -geoloc " + gtx + " < " + Logs.File("points")));
    const std::vector<double> proj =
        Numbers(Shell("cct -d 9 +proj=vgridshift +grids=" + gtx + " < " + Logs.File("proj-points")));
    ASSERT_EQ(gdal.size(), nodes.size());
    ASSERT_EQ(proj.size(), 4 * nodes.size());
    for (std::size_t k = 0; k < nodes.size(); ++k) {
      ASSERT_FALSE(std::isnan(nodes[k]));
      EXPECT_EQ(static_cast<float>(gdal[k]), nodes[k]) << "node " << k;
      EXPECT_NEAR(-proj[4 * k + 2], nodes[k], 1e-6) << "node " << k;  // PROJ subtracts the geoid
    }
  }
}

TEST_F(CliTest, ImportAndExportFailuresSayWhyAndWriteNothing) {
  TTempDir data;
  test::WriteGtx(Logs.File("bad.gtx"), {-90, -180, 0, 1, 181, 360}, [](int, int) { return 1.0f; });
  TRun bad = Run({"--data-dir", data.Path(), "import-gtx", Logs.File("bad.gtx")});
  EXPECT_EQ(bad.Status, 1);
  EXPECT_NE(bad.Err.find("Error: Not a usable GTX grid: " + Logs.File("bad.gtx")), std::string::npos) << bad.Err;
  EXPECT_EQ(bad.Out, "");
  EXPECT_TRUE(fs::is_empty(data.Path()));
  EXPECT_EQ(Run({"import-gtx", Logs.File("missing.gtx")}).Status, 2);
  EXPECT_EQ(Run({"import-gtx", Logs.File("bad.gtx"), "--entry", "2"}).Status, 2);

  // No source grid in the folder: models says so.
  TRun models = Run({"--data-dir", data.Path(), "models"});
  EXPECT_EQ(models.Status, 1);
  EXPECT_NE(models.Err.find("No source grid file is in the data folder " + data.Path()), std::string::npos);

  // No custom geoid file to export.
  TRun none = Run({"--output", "none", "export-gtx"});
  EXPECT_EQ(none.Status, 1);
  EXPECT_NE(none.Err.find(Dir.File("none.qdat")), std::string::npos) << none.Err;
  EXPECT_FALSE(fs::exists(Dir.File("none.gtx")));

  // Custom files no conversion writes, once taken as legal: no rows and a
  // column count of billions, a billion rows of 100 degrees. Refused, by the
  // export (it ended on std::bad_alloc) and the scan (a buffer of gigabytes, a
  // walk of days) alike.
  const std::int32_t most = std::numeric_limits<std::int32_t>::max();
  for (const TCustomTrailer& t : {TCustomTrailer{0, most, 10, 10, 0.25, 0.25},
                                  TCustomTrailer{most, 0, 10, 10, 0.25, 0.25},
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

}  // namespace
}  // namespace tessmar
