// tessmar-cli as a user runs it: a child process, its output and exit status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "TestGrids.hpp"

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

  TRun missing = Run({"--output", "none", "check"});
  EXPECT_EQ(missing.Status, 1);
  EXPECT_EQ(missing.Out, "Original(m): 0.0000\nCustom(m): \nError(m): \n");
  EXPECT_NE(missing.Err.find("Error: Geoid file is not found: " + Dir.File("none.qdat")), std::string::npos);
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

}  // namespace
}  // namespace tessmar
