// tessmar-cli as a user runs it: a child process, its output and exit status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
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
#include "session/Grids.hpp"

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

struct CliTest : ::testing::Test {
  TTempDir Dir;
  TTempDir Logs;
  std::string Program = TESSMAR_CLI;

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
    args.insert(args.begin(), Program);
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
  EXPECT_EQ(missingPoints.Out, "50\t120\t36.5000\t\t\n10\t120\t0.0000\t\t\n");
  once(missingPoints.Err);
  TRun missingPointsJson = Run({"--output", "none", "--json", "check", "--points", Logs.File("points")});
  EXPECT_EQ(missingPointsJson.Out.substr(0, missingPointsJson.Out.find('\n')),
            R"({"line":1,"lat":50,"lon":120,"source":36.5,"custom":null,"error":null})");
}

// A points file as other programs write them: every input line gets exactly one
// output line, in order, so the answers can be pasted beside the points.
TEST_F(CliTest, CheckPointsAnswersEveryLineInOrder) {
  ASSERT_EQ(Run({"convert", "--res", "5"}).Status, 0);
  const std::string input =
      "lat;lon;height\n"         // a header
      "# survey 2026-12\n"       // a comment
      "50;120;12.3\n"            // the height is kept, never read
      "\n"                       // blank
      "50 N;120 0 0 E\r\n"       // degrees, minutes and seconds; CR LF
      "10\t120\tBM-7\n"          // tab
      "50.0 120.0 12.3 name\n"   // blanks: decimal degrees
      "50,120\n"                 // comma
      "35d40m37.8s;120\n"        // a typo: refused, named
      "  \n"
      "91 120\n"                 // out of range
      "50, 120, 4\n";            // comma and blanks
  std::ofstream(Logs.File("points")) << input;
  const std::string expected =
      "lat;lon;height\n"
      "# survey 2026-12\n"
      "50\t120\t36.5000\t36.5000\t0.0000\t12.3\n"
      "\n"
      "50 N\t120 0 0 E\t36.5000\t36.5000\t0.0000\n"
      "10\t120\t0.0000\tOut of range.\t\tBM-7\n"
      "50.0\t120.0\t36.5000\t36.5000\t0.0000\t12.3 name\n"
      "50\t120\t36.5000\t36.5000\t0.0000\n"
      "35d40m37.8s\t120\tERROR: column 1: \"35d40m37.8s\" is not a latitude: \"d\" is not part of a coordinate\n"
      "  \n"
      "91\t120\tERROR: column 1: \"91\" is not a latitude: a latitude lies within -90..90\n"
      "50\t120\t36.5000\t36.5000\t0.0000\t4\n";
  TRun run = Run({"check", "--points", Logs.File("points")});
  EXPECT_EQ(run.Status, 1);  // two lines refused, after every line was answered
  EXPECT_EQ(run.Out, expected);
  EXPECT_EQ(std::count(run.Out.begin(), run.Out.end(), '\n'), std::count(input.begin(), input.end(), '\n'));
  EXPECT_EQ(run.Err, "Error: 2 of 8 point lines were refused.\n");

  // JSON Lines: one object per point line, with its line number.
  TRun json = Run({"--json", "check", "--points", Logs.File("points")});
  std::istringstream lines(json.Out);
  std::vector<nlohmann::json> objects;
  for (std::string line; std::getline(lines, line);) objects.push_back(nlohmann::json::parse(line));
  ASSERT_EQ(objects.size(), 8u);
  EXPECT_EQ(objects[0], nlohmann::json::parse(R"({"line":3,"lat":50,"lon":120,"source":36.5,"custom":36.5,"error":0})"));
  EXPECT_EQ(objects[2]["line"], 6);
  EXPECT_EQ(objects[2]["custom"], nullptr);
  EXPECT_EQ(objects[5]["line"], 9);
  EXPECT_EQ(objects[5]["error"], "column 1: \"35d40m37.8s\" is not a latitude: \"d\" is not part of a coordinate");

  // Standard input, and a file with no header and no line end at its end.
  std::ofstream(Logs.File("plain")) << "50;120\n10;120";
  EXPECT_EQ(Shell(std::string(TESSMAR_CLI) + " --no-settings --data-dir " + Dir.Path() + " check --points - < " +
                  Logs.File("plain")),
            "50\t120\t36.5000\t36.5000\t0.0000\n10\t120\t0.0000\tOut of range.\t\n");
  EXPECT_EQ(Run({"check", "--points", Logs.File("absent")}).Status, 2);
}

// A filter behind other software: one line in, its answer out, before the next.
TEST_F(CliTest, CheckPointsAnswersACoprocessLineByLine) {
  ASSERT_EQ(Run({"convert", "--res", "5"}).Status, 0);
  int in[2], out[2];
  ASSERT_EQ(::pipe(in), 0);
  ASSERT_EQ(::pipe(out), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    ::close(in[1]);
    ::close(out[0]);
    ::execl(TESSMAR_CLI, TESSMAR_CLI, "--no-settings", "--data-dir", Dir.Path().c_str(), "check", "--points", "-",
            nullptr);
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  const auto answer = [&](const std::string& line) {
    EXPECT_EQ(::write(in[1], line.data(), line.size()), static_cast<ssize_t>(line.size()));
    pollfd p{out[0], POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 10000), 1) << "no answer to " << line;  // the process waits for more
    char buffer[256];
    const ssize_t n = ::read(out[0], buffer, sizeof buffer);
    return std::string(buffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
  };
  EXPECT_EQ(answer("50 120\n"), "50\t120\t36.5000\t36.5000\t0.0000\n");
  EXPECT_EQ(answer("10 120\n"), "10\t120\t0.0000\tOut of range.\t\n");
  ::close(in[1]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::close(out[0]);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// Ctrl-C stops a long points run after the lines in hand: what was computed is
// printed, whole lines only, and the exit status says it was stopped.
TEST_F(CliTest, CheckPointsStopsOnCtrlC) {
  ASSERT_EQ(Run({"convert", "--res", "5"}).Status, 0);
  {
    std::ofstream points(Logs.File("many"));
    for (int i = 0; i < 3000000; ++i) points << "50;120\n";
  }
  fs::remove(Logs.File("out"));  // the last run's output is not this one's
  TRun run = Run({"check", "--points", Logs.File("many")}, [&](pid_t pid) {
    // Once the first answers are out.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline &&
           (!fs::exists(Logs.File("out")) || fs::file_size(Logs.File("out")) == 0))
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    ::kill(pid, SIGINT);
  });
  EXPECT_EQ(run.Status, 130) << run.Err;
  const auto lines = std::count(run.Out.begin(), run.Out.end(), '\n');
  EXPECT_GT(lines, 0);
  EXPECT_LT(lines, 3000000);
  EXPECT_EQ(run.Out.size(), static_cast<std::size_t>(lines) * std::string("50\t120\t36.5000\t36.5000\t0.0000\n").size());
  EXPECT_NE(run.Err.find("Stopped by Ctrl-C"), std::string::npos);
}

// Options that cannot be what the user meant are refused, naming the option and
// what it takes, before anything is done.
TEST_F(CliTest, OptionsThatCannotBeMeantAreRefused) {
  const struct {
    std::vector<std::string> args;
    const char* message;  // on stderr, after "Error: "
  } refused[] = {
      {{"check", "--lat", "35d40m37.8s", "--lon", "139d44m52.3s"}, "--lat: \"35d40m37.8s\" is not a latitude"},
      {{"check", "--lat", "abc"}, "--lat: \"abc\" is not a latitude"},
      {{"check", "--lat", "91"}, "a latitude lies within -90..90"},
      {{"check", "--lat", "35 61 0"}, "minutes must be below 60"},
      {{"check", "--lat", "35 E"}, "\"E\" is no hemisphere of a latitude (N or S)"},
      {{"check", "--lon", "35 N"}, "--lon: "},
      {{"convert", "--west", "abc"}, "--west: \"abc\" is not a longitude"},
      {{"convert", "--north", ""}, "--north: \"\" is not a latitude: it is empty"},
      {{"--model", "foo", "check"}, "--model: \"foo\" names no model of the catalogue. Choose 0 or 2.5"},
      {{"--model", "2,5", "check"}, "--model: \"2,5\" names no model"},
      {{"scan", "--precision", "0"}, "--precision: \"0\" is not a precision"},
      {{"scan", "--precision", "-1"}, "--precision: \"-1\""},
      {{"scan", "--precision", "abc"}, "--precision: \"abc\""},
      {{"scan", "--precision", "1e9"}, "at most 100"},
      {{"convert", "--res", "7"}, "--res: \"7\" is not a resolution for EGM2008 2.5'x2.5'. Choose 5, 10, 15 or 20"},
      {{"--model", "1", "convert", "--res", "2.5"}, "--res: \"2.5\" is not a resolution for EGM2008 1'x1'"},
  };
  for (const auto& r : refused) {
    SCOPED_TRACE(r.args[0] + " " + r.args[1] + " " + r.args[2]);
    TRun run = Run(r.args);
    EXPECT_EQ(run.Status, 2);
    EXPECT_EQ(run.Err.rfind("Error: ", 0), 0u) << run.Err;
    EXPECT_NE(run.Err.find(r.message), std::string::npos) << run.Err;
    EXPECT_EQ(run.Out, "");
  }
  EXPECT_NE(Run({"check", "--lat", "35d"}).Err.find("35 40 37.8 N, 35:40:37.8"), std::string::npos);  // the spellings
  EXPECT_TRUE(fs::is_empty(Dir.Path()) || !fs::exists(Dir.File("Tessmar.qdat")));

  // Accepted: the model by entry, spacing or title in any case; the model's own spacing as --res.
  for (const auto& model : {"0", "2.5", "egm2008 2.5'X2.5'"}) {
    TRun run = Run({"--model", model, "--json", "convert", "--res", "2.5", "--overwrite"});
    EXPECT_EQ(run.Status, 0) << model << run.Err;
    EXPECT_EQ(nlohmann::json::parse(run.Out)["dlat"], 1.0 / 24) << model;
  }
  // A precision the lattice rules raise says so.
  ASSERT_EQ(Run({"convert", "--res", "5", "--south", "49", "--north", "50", "--west", "120", "--east", "121", "--overwrite"}).Status, 0);
  TRun raised = Run({"scan", "--precision", "0.3"});
  EXPECT_EQ(raised.Status, 0);
  EXPECT_NE(raised.Err.find("Note: precision raised to 1: a coarser lattice"), std::string::npos) << raised.Err;
}

TEST_F(CliTest, DataFolderIsTheOptionTheSettingsOrTheProgramsOwn) {
  const std::string programFolder = fs::path(TESSMAR_CLI).parent_path().string() + "/";
  EXPECT_EQ(Shell(std::string(TESSMAR_CLI) + " --no-settings models 2>/dev/null || true").rfind("Data folder: " + programFolder, 0),
            0u);
  std::ofstream(Logs.File("data.ini")) << "[Option]\nDataPath=" << Logs.Path() << "\n";
  EXPECT_EQ(Shell(std::string(TESSMAR_CLI) + " --settings " + Logs.File("data.ini") + " models 2>/dev/null || true")
                .rfind("Data folder: " + Logs.Path(), 0),
            0u);
  EXPECT_EQ(Run({"--settings", Logs.File("data.ini"), "--data-dir", Dir.Path(), "models"}).Out.rfind("Data folder: " + Dir.Path(), 0),
            0u);
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

// Whether the process has a handler of its own for SIGINT (its SigCgt mask).
bool CatchesSigint(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("SigCgt:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) >> (SIGINT - 1)) & 1;
  return false;
}

TEST_F(CliTest, ScanWritesAHeatMapAndSaysWhereItLies) {
  // A degree square at 5': a lattice of 25 x 25 points from 50 N, 120 E.
  ASSERT_EQ(Run({"convert", "--res", "5", "--south", "49", "--north", "50", "--west", "120", "--east", "121"}).Status, 0);
  const std::string png = Logs.File("heat.png");
  TRun run = Run({"--json", "scan", "--heatmap", png});
  ASSERT_EQ(run.Status, 0) << run.Err;
  const auto json = nlohmann::ordered_json::parse(run.Out);
  const auto& heat = json["heatmap"];
  EXPECT_EQ(heat["path"], png);
  EXPECT_EQ(heat["width"], 25);
  EXPECT_EQ(heat["height"], 25);
  EXPECT_EQ(heat["block"], 1);
  EXPECT_EQ(heat["north"], 50.0);
  EXPECT_EQ(heat["west"], 120.0);
  EXPECT_EQ(heat["dlat"], 1.0 / 24);
  const double scale = std::max(json["max"]["diff"].get<double>(), -json["min"]["diff"].get<double>());
  EXPECT_EQ(heat["scale"], scale);
  EXPECT_EQ(json["report"].back().get<std::string>().rfind("Heat map north-west: 50.000000N,120.000000E", 0), 0u);

  const test::TPng read = test::ReadPng(png);
  ASSERT_EQ(read.Width, 25);
  EXPECT_EQ(read.Text.at("North"), "50");
  EXPECT_EQ(read.Text.at("Scale"), ShortestText(scale));
  const auto& max = json["max"];
  const auto at = read.At(static_cast<int>(std::lround((max["lon"].get<double>() - 120) * 24)),
                          static_cast<int>(std::lround((50 - max["lat"].get<double>()) * 24)));
  if (max["diff"].get<double>() == scale) {
    EXPECT_EQ(at, (std::array<std::uint8_t, 4>{178, 24, 43, 255}));
  }

  TRun text = Run({"scan", "--heatmap", png});
  EXPECT_NE(text.Out.find("\nHeat map: " + png + "\nHeat map size: 25 x 25 pixels, 1 x 1 points a pixel\n"),
            std::string::npos)
      << text.Out;

  // No scan, no picture, and the command says so.
  ASSERT_EQ(Run({"convert", "--res", "0", "--output", "same"}).Status, 0);
  TRun same = Run({"--output", "same", "scan", "--heatmap", Logs.File("same.png")});
  EXPECT_EQ(same.Status, 1);
  EXPECT_NE(same.Err.find("Error: no heat map: no scan was made"), std::string::npos);
  EXPECT_FALSE(fs::exists(Logs.File("same.png")));
  TRun unwritable = Run({"scan", "--heatmap", Logs.File("no/such/folder.png")});
  EXPECT_EQ(unwritable.Status, 1);
  EXPECT_NE(unwritable.Err.find("Error: Cannot write the picture: "), std::string::npos) << unwritable.Err;
}

TEST_F(CliTest, MapDrawsTheRegionOnTheModel) {
  const std::string png = Logs.File("map.png");
  TRun run = Run({"--json", "map", "--png", png, "--width", "720", "--south", "10", "--north", "20", "--west", "170",
                  "--east", "-170", "--res", "5"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  const auto json = nlohmann::ordered_json::parse(run.Out);
  EXPECT_EQ(json["west"], 0.0);  // across 180: one rectangle from 0
  EXPECT_EQ(json["region"]["west"], 169.75);
  EXPECT_EQ(json["region"]["east"], 190.25);
  EXPECT_EQ(json["custom"], nullptr);
  const test::TPng read = test::ReadPng(png);
  ASSERT_EQ(read.Width, 720);
  ASSERT_EQ(read.Height, 360);
  const std::array<std::uint8_t, 4> black{0, 0, 0, 255};
  EXPECT_EQ(read.At(339, 150), black);
  EXPECT_EQ(read.At(380, 150), black);
  EXPECT_EQ(read.At(360, 139), black);
  EXPECT_NE(read.At(338, 150), black);

  ASSERT_EQ(Run({"convert", "--res", "5"}).Status, 0);
  TRun withCustom = Run({"map", "--png", png, "--lat", "35", "--lon", "1.2.3"});
  EXPECT_EQ(withCustom.Status, 2);
  withCustom = Run({"map", "--png", png});
  EXPECT_EQ(withCustom.Status, 0) << withCustom.Err;
  EXPECT_NE(withCustom.Out.find("Custom geoid: " + Dir.File("Tessmar.qdat")), std::string::npos) << withCustom.Out;
  EXPECT_EQ(Run({"map", "--png", png, "--width", "8"}).Status, 2);
  EXPECT_EQ(Run({"map", "--png", png, "--lat", "35"}).Status, 2);  // a point needs both
  EXPECT_EQ(Run({"map"}).Status, 2);
}

TEST_F(CliTest, InterruptStopsAScan) {
  // A whole-circle file at four points per source spacing: far too long to finish.
  ASSERT_EQ(Run({"convert", "--res", "5", "--south", "-10", "--north", "10", "--west", "0", "--east", "360"}).Status,
            0);
  TRun run = Run({"scan", "--precision", "4", "--heatmap", Logs.File("part.png")}, [](pid_t pid) {
    // Once the program catches Ctrl-C (starting takes a while on a loaded
    // machine), 300 ms into its work.
    for (int wait = 0; wait < 1000 && !CatchesSigint(pid); ++wait)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ::kill(pid, SIGINT);
  });
  EXPECT_EQ(run.Status, 130) << run.Err;
  EXPECT_NE(run.Out.find("\nAborted by user.\n"), std::string::npos) << run.Out;
  EXPECT_FALSE(fs::exists(Logs.File("part.png")));  // a part of a scan is no picture of it
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
  // the folder the import wrote to (the program's own) becomes its data path.
  TTempDir elsewhere;
  const std::string fresh = Logs.File("fresh.ini"), program = elsewhere.File("tessmar-cli");
  fs::copy_file(TESSMAR_CLI, program);
  Shell(program + " --settings " + fresh + " import-gtx " + Logs.File("world.gtx") + " >/dev/null 2>&1");
  TRun found = Run({"--settings", fresh, "models"});
  EXPECT_EQ(found.Status, 0) << found.Err;
  EXPECT_NE(found.Out.find(elsewhere.File("world") + "\n"), std::string::npos) << found.Out;

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
    const bool geoTiff = e.Command == tiff;
    const std::string file = data.File(name + (geoTiff ? ".tif" : ".gtx"));
    EXPECT_EQ(json["path"], file);
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
  Program = bin.File("tessmar-cli");
  fs::copy_file(TESSMAR_CLI, Program);
  EXPECT_EQ(Run({"--version"}).Out, "tessmar-cli 2.5.0.0\n");
  TRun convert =
      Run({"--output", "small", "convert", "--south", "49", "--north", "51", "--west", "119", "--east", "121"});
  ASSERT_EQ(convert.Status, 0) << convert.Err;
  EXPECT_EQ(Run({"--output", "small", "check", "--lat", "50", "--lon", "120"}).Out,
            "Original(m): 36.5000\nCustom(m): 36.5000\nError(m): 0.0000\n");
  test::WriteGtx(Logs.File("small.gtx"), {49, 119, 1, 1, 3, 3}, [](int r, int c) { return r + c / 4.0f; });
  TTempDir data;
  EXPECT_EQ(Run({"--data-dir", data.Path(), "import-gtx", Logs.File("small.gtx")}).Status, 0);

  const std::string cannot = "Error: Cannot load the grid formats module " +
                             fs::path(bin.Path()).parent_path().parent_path().string() + "/lib";
  const std::string why = "/tessmar/libtessmar-formats.so: cannot open shared object file: No such file or directory\n";
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
  // Never over the custom geoid file it is made of, even when asked to replace.
  const auto before = test::ReadBytes(Dir.File("gap.qdat"));
  TRun over = Run({"--output", "gap", "export", "--to", Dir.File("gap.qdat"), "--overwrite"});
  EXPECT_EQ(over.Status, 1);
  EXPECT_NE(over.Err.find("would replace the custom geoid file itself"), std::string::npos) << over.Err;
  EXPECT_EQ(test::ReadBytes(Dir.File("gap.qdat")), before);
}

TEST_F(CliTest, ImportAndExportFailuresSayWhyAndWriteNothing) {
  TTempDir data;
  test::WriteGtx(Logs.File("bad.gtx"), {-90, -180, 0, 1, 181, 360}, [](int, int) { return 1.0f; });
  TRun bad = Run({"--data-dir", data.Path(), "import-gtx", Logs.File("bad.gtx")});
  EXPECT_EQ(bad.Status, 1);
  EXPECT_NE(bad.Err.find("Error: Not a usable GTX grid: " + Logs.File("bad.gtx")), std::string::npos) << bad.Err;
  EXPECT_EQ(bad.Out, "");
  EXPECT_TRUE(fs::is_empty(data.Path()));
  TRun badViaGdal = Run({"--data-dir", data.Path(), "import", Logs.File("bad.gtx")});
  EXPECT_EQ(badViaGdal.Status, 1);
  EXPECT_NE(badViaGdal.Err.find("Error: Not a usable grid: " + Logs.File("bad.gtx")), std::string::npos)
      << badViaGdal.Err;
  // Projected: a grid of metres, not of degrees.
  Shell("gdal_translate -q -a_srs EPSG:32631 -a_ullr 500000 5000000 501000 4999000 " + Logs.File("bad.gtx") + " " +
        Logs.File("utm.tif"));
  TRun projected = Run({"--data-dir", data.Path(), "import", Logs.File("utm.tif")});
  EXPECT_EQ(projected.Status, 1);
  EXPECT_NE(projected.Err.find("its coordinates are projected"), std::string::npos) << projected.Err;
  EXPECT_TRUE(fs::is_empty(data.Path()));
  // A GeoTIFF whose geokeys name a unit PROJ does not know: PROJ wrote its
  // complaint to the terminal itself, beside the program's own message.
  test::WriteBytes(Logs.File("odd-unit.tif"), {
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
  EXPECT_NE(models.Err.find("No source grid file is in the data folder " + data.Path()), std::string::npos);

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
