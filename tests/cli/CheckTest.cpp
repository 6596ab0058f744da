// tessmar-cli check: one point, and points files as a batch, a filter and a coprocess.
#include "CliSupport.hpp"

namespace tessmar {
namespace {

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
      "lat;lon;height\n"        // a header
      "# survey 2026-12\n"      // a comment
      "50;120;12.3\n"           // the height is kept, never read
      "\n"                      // blank
      "50 N;120 0 0 E\r\n"      // degrees, minutes and seconds; CR LF
      "10\t120\tBM-7\n"         // tab
      "50.0 120.0 12.3 name\n"  // blanks: decimal degrees
      "50,120\n"                // comma
      "35d40m37.8s;120\n"       // a typo: refused, named
      "  \n"
      "91 120\n"       // out of range
      "50, 120, 4\n";  // comma and blanks
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
  EXPECT_EQ(objects[0],
            nlohmann::json::parse(R"({"line":3,"lat":50,"lon":120,"source":36.5,"custom":36.5,"error":0})"));
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

// A first line is a header only when it could be no point; a byte-order mark
// is no part of it; a line of two readings is refused, never guessed; bytes
// that are not UTF-8 never cost the JSON answers.
TEST_F(CliTest, CheckPointsReadEachLineOneWayOnly) {
  ASSERT_EQ(Run({"convert", "--res", "5"}).Status, 0);
  const std::string ok = "\t36.5000\t36.5000\t0.0000\n";
  struct TCase {
    const char* name;
    std::string input, out;
    int status, jsonRecords;
  } cases[] = {
      {"a header", "lat;lon\n50;120\n", "lat;lon\n50\t120" + ok, 0, 1},
      {"a byte-order mark",
       "\xEF\xBB\xBF"
       "50;120\n",
       "50\t120" + ok, 0, 1},
      {"a header after a byte-order mark", "\xEF\xBB\xBFLatitude Longitude\n50;120\n",
       "Latitude Longitude\n50\t120" + ok, 0, 1},
      {"a first line out of range", "99;1\n50;120\n",
       "99\t1\tERROR: column 1: \"99\" is not a latitude: a latitude lies within -90..90\n50\t120" + ok, 1, 2},
      {"a first line mistyped", "5O;120\n",
       "5O\t120\tERROR: column 1: \"5O\" is not a latitude: \"O\" is not part of a coordinate\n", 1, 1},
      {"degrees, minutes and seconds between commas", "50 0 0 N,120 0 0 E,pt1\n",
       "50 0 0 N\t120 0 0 E" + ok.substr(0, ok.size() - 1) + "\tpt1\n", 0, 1},
      {"degrees and minutes between blanks", "lat lon\n50 0 N 120 0 E\n",
       "lat lon\n50 0 N 120 0 E\tERROR: column 1: degrees, minutes and seconds between blanks could make a point in "
       "more than one way. Write it as 35 36 00 N;139 42 00 E, 35:36:00,139:42:00 or 35\xC2\xB0"
       "36'N 139\xC2\xB0"
       "42'E\n",
       1, 1},
      {"decimal commas", "50,0 120,0\n",
       "50\t0 120\tERROR: column 4: \"0 120\" could be a number with a decimal comma, or degrees and minutes. Write it "
       "as 35 36 00 N;139 42 00 E, 35:36:00,139:42:00 or 35\xC2\xB0"
       "36'N 139\xC2\xB0"
       "42'E\n",
       1, 1},
      {"Latin-1 bytes", "L\xE4nge;Breite\n50\xB0N;120\n50;120\n",
       "L\xE4nge;Breite\n50\xB0N\t120\tERROR: column 1: \"50\xB0N\" is not a latitude: it holds a character that is "
       "not part of a coordinate\n50\t120" +
           ok,
       1, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::ofstream(Logs.File("points"), std::ios::binary) << c.input;
    const TRun text = Run({"check", "--points", Logs.File("points")});
    EXPECT_EQ(text.Status, c.status) << text.Err;
    EXPECT_EQ(text.Out, c.out);
    const TRun json = Run({"--json", "check", "--points", Logs.File("points")});
    EXPECT_EQ(json.Status, c.status) << json.Err;
    std::istringstream lines(json.Out);
    int records = 0;
    for (std::string line; std::getline(lines, line); ++records)
      EXPECT_NO_THROW(nlohmann::json::parse(line)) << line;  // valid UTF-8 JSON, every line
    EXPECT_EQ(records, c.jsonRecords);
  }
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
  EXPECT_EQ(run.Out.size(),
            static_cast<std::size_t>(lines) * std::string("50\t120\t36.5000\t36.5000\t0.0000\n").size());
  EXPECT_NE(run.Err.find("Stopped by Ctrl-C"), std::string::npos);
}

}  // namespace
}  // namespace tessmar
