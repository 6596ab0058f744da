// tessmar-cli convert, and what every command shares: help, options, settings, failures, Ctrl-C and progress.
#include <poll.h>

#include "CliSupport.hpp"

namespace tessmar {
namespace {

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
                         "\nOutput resolution:  5.0 minute\nOutput size: 538,796 bytes.\n"
                         "Region written: 19.750000N,119.750000E to 50.250000N,150.250000E (367 rows of 367 nodes)\n");
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
  // A folder written with the name is where the file goes; the extension becomes .qdat.
  TRun run = Run({"--json", "--output", Logs.File("tokyo.txt"), "convert", "--south", "35 30 N", "--west", "-10",
                  "--north", "36", "--east", "10", "--res", "10"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  const auto json = nlohmann::ordered_json::parse(run.Out);
  EXPECT_EQ(json.begin().key(), "path");
  EXPECT_EQ(json["path"], Logs.File("tokyo.qdat"));
  EXPECT_EQ(json["size"], fs::file_size(Logs.File("tokyo.qdat")));
  EXPECT_FALSE(fs::exists(Dir.File("tokyo.qdat")));
  TRun check = Run({"--output", Logs.File("tokyo"), "check", "--lat", "35.75", "--lon", "1"});
  EXPECT_EQ(check.Status, 0) << check.Err;
  EXPECT_EQ(json["rows"], 10);
  EXPECT_EQ(json["cols"], 127);
  EXPECT_EQ(json["south"], 35.0);
  EXPECT_EQ(json["west"], 349.5);
  EXPECT_EQ(json["dlat"], 1.0 / 6);  // full precision
  EXPECT_EQ(json["dlon"], 1.0 / 6);
  // The corner nodes written; no corner moved by the snap, every node a value.
  EXPECT_EQ(json["region"],
            (nlohmann::ordered_json{{"south", 35.0}, {"west", 349.5}, {"north", 36.5}, {"east", 370.5}}));
  EXPECT_EQ(json["moved"], nlohmann::ordered_json::array());
  EXPECT_EQ(json["noValue"], 0);
  EXPECT_EQ(json["wideAcross180"], false);
  EXPECT_EQ(json["report"].size(), 5u);
  EXPECT_EQ(json["report"][4],
            "Region written: 35.000000N, 10.500000W to 36.500000N, 10.500000E (10 rows of 127 nodes)");

  // Corners the snap moved, each with where it was typed and where it went
  // (below 0, to the nearest cell); a region the other way round across 180.
  TRun moved = Run({"--json", "--output", "moved", "convert", "--south", "35.3", "--west", "-10.05", "--north", "36",
                    "--east", "-170", "--res", "5"});
  ASSERT_EQ(moved.Status, 0) << moved.Err;
  const auto cut = nlohmann::ordered_json::parse(moved.Out);
  ASSERT_EQ(cut["moved"].size(), 2u);
  EXPECT_EQ(cut["moved"][0]["corner"], "south");
  EXPECT_EQ(cut["moved"][0]["typed"], 35.3);
  EXPECT_NEAR(cut["moved"][0]["snapped"].get<double>(), 424.0 / 12, 1e-12);
  EXPECT_EQ(cut["moved"][1]["corner"], "west");
  EXPECT_NEAR(cut["moved"][1]["snapped"].get<double>(), -121.0 / 12, 1e-12);
  EXPECT_EQ(cut["wideAcross180"], true);
  TRun text = Run({"--output", "moved", "convert", "--overwrite", "--south", "35.3", "--west", "-10.05", "--north",
                   "36", "--east", "-170", "--res", "5"});
  EXPECT_NE(text.Out.find("\nSouth corner moved to a whole cell: 35.300000N to 35.333333N (120.000\" north)\n"
                          "West corner moved to a whole cell: 10.050000W to 10.083333W (120.000\" west)\n"
                          "Warning: the region runs east from 10.083333W across 180 degrees to 170.000000W, 200.083333 "
                          "degrees of longitude: were west and east meant the other way round?\n"),
            std::string::npos)
      << text.Out;
}

TEST_F(CliTest, FailuresExitWithOneAndSayWhy) {
  TRun range = Run({"convert", "--south", "60"});
  EXPECT_EQ(range.Status, 1);
  // The dialog's text, then which corners.
  EXPECT_EQ(range.Err,
            "Error: Range specification error in latitude longitude.\nError: The south corner 60.000000N lies north "
            "of the north corner 50.000000N: the region has no rows.\n");

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

// Runs command (as CliTest::Command gives it) on a pseudo-terminal and
// returns what it showed there; Ctrl-C
// once `until` shows or `stopAfter` has passed (none: it runs to its end).
// Standard output goes to the file `out` when one is named; the progress line
// shows after `delay` seconds when one is given.
std::string OnTerminal(const std::vector<std::string>& command, const std::string& until,
                       std::chrono::milliseconds stopAfter, const std::string& out = "", const char* delay = nullptr) {
  int terminal = -1;
  const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
  if (pid == 0) {
    if (!out.empty()) ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
    if (delay) ::setenv("TESSMAR_PROGRESS_DELAY", delay, 1);
    Exec(command);
  }
  std::string screen;
  const auto start = std::chrono::steady_clock::now();
  bool stopped = false;
  for (char buffer[4096];;) {
    pollfd p{terminal, POLLIN, 0};
    if (::poll(&p, 1, 50) > 0) {
      const ssize_t n = ::read(terminal, buffer, sizeof buffer);
      if (n <= 0) break;  // the program has ended
      screen.append(buffer, static_cast<std::size_t>(n));
    }
    if (!stopped && ((!until.empty() && screen.find(until) != std::string::npos) ||
                     (stopAfter.count() && std::chrono::steady_clock::now() - start > stopAfter))) {
      ::kill(pid, SIGINT);
      stopped = true;
    }
  }
  WaitFor(pid);
  ::close(terminal);
  return screen;
}

// A line of progress on a terminal once the work has run for a second: a bar,
// the percentage, the time elapsed and the time left. Never into a file or a
// pipe, not for work done within the second, not with --quiet.
TEST_F(CliTest, ProgressBarShowsOnATerminalOnly) {
  if (Program.Windows())
    GTEST_SKIP() << "Wine draws a console on a terminal itself, moving the cursor between the characters: the "
                    "text cannot be read back from the terminal";
  // A whole-circle band at four points per source spacing: seconds of work,
  // well beyond the 1.5 s after which the piped scan below is stopped.
  ASSERT_EQ(Run({"convert", "--res", "5", "--south", "-20", "--north", "20", "--west", "0", "--east", "360"}).Status,
            0);
  using std::chrono::milliseconds;
  const std::string scan = OnTerminal(Command({"scan", "--precision", "4"}), " left", milliseconds(60000));
  EXPECT_NE(scan.find("%  0:0"), std::string::npos) << scan;
  EXPECT_NE(scan.find(" elapsed, "), std::string::npos) << scan;
  EXPECT_NE(scan.find(" left"), std::string::npos) << scan;
  EXPECT_NE(scan.find("\r["), std::string::npos) << scan;
  EXPECT_NE(scan.find("Aborted by user."), std::string::npos) << scan;

  const std::string quiet = OnTerminal(Command({"--quiet", "scan", "--precision", "4"}), "", milliseconds(1500));
  EXPECT_EQ(quiet.find("elapsed"), std::string::npos) << quiet;
  const std::string quick = OnTerminal(Command({"convert", "--overwrite", "--output", "quick"}), "", milliseconds(0));
  EXPECT_NE(quick.find("Output size: "), std::string::npos) << quick;
  EXPECT_EQ(quick.find("elapsed"), std::string::npos) << quick;
  TRun piped = Run({"scan", "--precision", "4"}, [](pid_t pid) {
    std::this_thread::sleep_for(milliseconds(1500));
    ::kill(pid, SIGINT);
  });
  EXPECT_EQ(piped.Status, 130);
  EXPECT_EQ(piped.Err.find("elapsed"), std::string::npos) << piped.Err;

  // check --points over a file whose answers go to another file, the line
  // shown at once: a second or so of points is no longer seconds.
  {
    std::ofstream points(Logs.File("points.txt"));
    for (int i = 0; i < 2000000; ++i) points << "35.5;139.75\n";
  }
  const std::string check = OnTerminal(Command({"check", "--points", Logs.File("points.txt")}), " left",
                                       milliseconds(60000), Logs.File("answers.txt"), "0");
  EXPECT_NE(check.find(" elapsed, "), std::string::npos) << check;
  EXPECT_NE(check.find("Stopped by Ctrl-C after "), std::string::npos) << check;
}

// Options that cannot be what the user meant are refused, naming the option and
// what it takes, before anything is done.
TEST_F(CliTest, OptionsThatCannotBeMeantAreRefused) {
  const struct {
    std::vector<std::string> args;
    std::string message;  // on stderr, after "Error: "
  } refused[] = {
      {{"check", "--lat", "35d40m37.8s", "--lon", "139d44m52.3s"}, "--lat: \"35d40m37.8s\" is not a latitude"},
      {{"check", "--lat", "abc"}, "--lat: \"abc\" is not a latitude"},
      {{"check", "--lat", "91"}, "a latitude lies within -90..90"},
      {{"check", "--lat", "35 61 0"}, "minutes must be below 60"},
      {{"check", "--lat", "35 E"}, "\"E\" is no hemisphere of a latitude (N or S)"},
      {{"check", "--lon", "35 N"}, "--lon: "},
      // A longitude is shown longitudes, a latitude latitudes.
      {{"convert", "--east", "10 N"}, "(E or W). Write it as 139 44 52.3 E, 77 2 10 W, 139:44:52.3 or 139"},
      {{"check", "--lon", "139d"}, "--lon: \"139d\" is not a longitude"},
      {{"check", "--lon", "139d"}, ". Write it as 139 44 52.3 E, 77 2 10 W, 139:44:52.3 or 139"},
      {{"convert", "--south", "35 E"}, "(N or S). Write it as 35 40 37.8 N, 35:40:37.8 or 35"},
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
      {{"scan", "--precision", "100.001"}, "--precision: \"100.001\" is not a precision"},
      // A folder where a file is wanted, and options that do not go together.
      {{"export", "--to", Dir.Path()}, "--to: " + Dir.Path() + " is a folder"},
      {{"check", "--points", Dir.Path()}, "--points: " + Dir.Path() + " is a folder"},
      {{"--settings", Dir.Path(), "models"}, "--settings: " + Dir.Path() + " is a folder"},
      {{"scan", "--heatmap", Dir.Path()}, "--heatmap: " + Dir.Path() + " is a folder"},
      {{"map", "--png", Dir.Path()}, "--png: " + Dir.Path() + " is a folder"},
      {{"--output", Dir.Path(), "convert"}, "--output: " + Dir.Path() + " is a folder"},
      {{"--output", Dir.Path() + "tokyo", "check"}, "--output: " + Dir.Path() + "tokyo is a folder"},
      {{"--output", Logs.File("new/"), "convert"}, "--output: " + Logs.File("new/") + " names a folder, not a file"},
      {{"check", "--points", "-", "--lat", "10"},
       "--points reads its points from the file: --lat and --lon are for one point"},
  };
  fs::create_directory(Dir.File("tokyo"));
  for (const auto& r : refused) {
    SCOPED_TRACE(r.args[0] + " " + r.args[1] + " " + (r.args.size() > 2 ? r.args[2] : ""));
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
  // The finest precision is accepted; a value the settings file gives is named by its key.
  ASSERT_EQ(
      Run({"convert", "--res", "20", "--south", "49", "--north", "50", "--west", "120", "--east", "121", "--overwrite"})
          .Status,
      0);
  EXPECT_EQ(Run({"scan", "--precision", "100"}).Status, 0);
  std::ofstream(Logs.File("odd.ini")) << "[Option]\r\nTestLat=135\r\nGeoidModel=EGM96\r\n";
  TRun odd = Run({"--settings", Logs.File("odd.ini"), "--data-dir", Dir.Path(), "check"});
  EXPECT_EQ(odd.Status, 2);
  EXPECT_NE(
      odd.Err.find("Warning: settings file " + Logs.File("odd.ini") +
                   ", key GeoidModel: \"EGM96\" names no model of the catalogue; using entry 1, \"EGM2008 1'x1'\""),
      std::string::npos)
      << odd.Err;
  EXPECT_NE(odd.Err.find("Error: settings file " + Logs.File("odd.ini") + ", key TestLat: \"135\" is not a latitude"),
            std::string::npos)
      << odd.Err;
  // A settings file that is no settings file, and a catalogue entry that would
  // move the earth, are said so on the way of the settings' other warnings;
  // the refused entry's grid does not open, for that reason.
  const std::string moved = "settings file " + Logs.File("moved.ini") +
                            ", [EGM2008_25] key glamn: -89 and 4321 rows (nlat) at 0.041666666666666664 (dgla) "
                            "reach 91 degrees north: a grid lies within -90..90";
  const struct {
    const char* name;
    std::string bytes;
    std::vector<std::string> said;  // on stderr, in this order
    int status;
  } files[] = {
      {"bytes.ini",
       std::string("\x7F"
                   "ELF\x02\x01\x01\x00[Option]\nLat1=7\x00\x00",
                   22),
       {"Warning: settings file " + Logs.File("bytes.ini") +
        " is not a text file (it holds control characters): no settings were read from it\n"},
       1},
      {"moved.ini",
       "[EGM2008_25]\r\nglamn=-89\r\n",
       {"Warning: " + moved + ": entry refused\n",
        "Error: Geoid file is not usable: Und_min2.5x2.5_egm2008_isw=82_WGS84_TideFree_SE " + moved + "\n"},
       1},
  };
  for (const auto& f : files) {
    SCOPED_TRACE(f.name);
    std::ofstream(Logs.File(f.name), std::ios::binary) << f.bytes;
    TRun run = Run({"--settings", Logs.File(f.name), "--data-dir", Dir.Path(), "--output", "none", "check"});
    EXPECT_EQ(run.Status, f.status) << run.Err;
    std::size_t at = 0;
    for (const std::string& said : f.said) {
      at = run.Err.find(said, at);
      EXPECT_NE(at, std::string::npos) << run.Err;
    }
  }
  // A precision the lattice rules raise says so.
  ASSERT_EQ(
      Run({"convert", "--res", "5", "--south", "49", "--north", "50", "--west", "120", "--east", "121", "--overwrite"})
          .Status,
      0);
  TRun raised = Run({"scan", "--precision", "0.3"});
  EXPECT_EQ(raised.Status, 0);
  EXPECT_NE(raised.Err.find("Note: precision raised to 1: a coarser lattice"), std::string::npos) << raised.Err;
}

TEST_F(CliTest, DataFolderIsTheOptionTheSettingsOrTheProgramsOwn) {
  const std::string programFolder = Program.Seen(fs::path(Program.File()).parent_path().string() + "/");
  EXPECT_EQ(
      Shell(Program.Line() + " --no-settings models 2>/dev/null || true").rfind("Data folder: " + programFolder, 0),
      0u);
  std::ofstream(Logs.File("data.ini")) << "[Option]\nDataPath=" << Logs.Path() << "\n";
  EXPECT_EQ(Shell(Program.Line() + " --settings " + Logs.File("data.ini") + " models 2>/dev/null || true")
                .rfind("Data folder: " + Logs.Path(), 0),
            0u);
  EXPECT_EQ(Run({"--settings", Logs.File("data.ini"), "--data-dir", Dir.Path(), "models"})
                .Out.rfind("Data folder: " + Dir.Path(), 0),
            0u);
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
