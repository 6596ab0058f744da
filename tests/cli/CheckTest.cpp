// tessmar-cli check: one point, and points files as a batch, a filter and a coprocess.
#include <random>

#include "CliSupport.hpp"

namespace tessmar {
namespace {

// check --points - as a filter behind other software: a line in, its answer
// out before the next line goes in; command as CliTest::Command gives it.
class TFilter {
 public:
  explicit TFilter(const std::vector<std::string>& command) {
    int in[2], out[2];
    EXPECT_EQ(::pipe(in), 0);
    EXPECT_EQ(::pipe(out), 0);
    FPid = ::fork();
    if (FPid == 0) {
      ::dup2(in[0], 0);
      ::dup2(out[1], 1);
      ::close(in[1]);
      ::close(out[0]);
      Exec(command);
    }
    ::close(in[0]);
    ::close(out[1]);
    FIn = in[1];
    FOut = out[0];
  }
  // The answer to line, once a whole line of it has come; empty when none comes.
  std::string Answer(const std::string& line) {
    EXPECT_EQ(::write(FIn, line.data(), line.size()), static_cast<ssize_t>(line.size()));
    std::string answer;
    while (answer.empty() || answer.back() != '\n') {
      pollfd p{FOut, POLLIN, 0};
      if (::poll(&p, 1, 20000) != 1) {  // the process waits for more
        ADD_FAILURE() << "no answer to " << line;
        return "";
      }
      char buffer[256];
      const ssize_t n = ::read(FOut, buffer, sizeof buffer);
      if (n <= 0) return answer;
      answer.append(buffer, static_cast<std::size_t>(n));
    }
    return answer;
  }
  // Ends the input; the exit status.
  int Close() {
    ::close(FIn);
    const int status = WaitFor(FPid);
    ::close(FOut);
    return status;
  }

 private:
  pid_t FPid = -1;
  int FIn = -1, FOut = -1;
};

TEST_F(CliTest, CheckPrintsTheThreeFields) {
  ASSERT_EQ(Run({"convert", "--res", "5"}).Status, 0);
  TRun run = Run({"check", "--lat", "50", "--lon", "120"});
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out, "Original(m): 36.5000\nCustom(m): 36.5000\nError(m): 0.0000\n");

  // Outside the custom grid (19.75 .. 50.25 N, 119.75 .. 150.25 E) on every
  // side, a cell beyond its edge nodes or less.
  for (const auto& [lat, lon] : {std::pair{"10", "120"},
                                 {"50.3", "130"},
                                 {"35", "119.7"},
                                 {"19.7", "130"},
                                 {"35", "150.3"},
                                 {"50.3", "119.7"}}) {
    TRun outside = Run({"check", "--lat", lat, "--lon", lon});
    EXPECT_EQ(outside.Status, 0);
    EXPECT_EQ(outside.Out, "Original(m): 0.0000\nCustom(m): Out of range.\nError(m): \n") << lat << ' ' << lon;
  }

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
            R"({"line":1,"lat":50,"lon":120,"source":36.5,"custom":null,"error":null,"kept":"","refused":null})");
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

  // JSON Lines: one object per point line, with its line number, its kept
  // fields as the text keeps them, and the same keys in every one.
  TRun json = Run({"--json", "check", "--points", Logs.File("points")});
  std::istringstream lines(json.Out);
  std::vector<nlohmann::ordered_json> objects;
  for (std::string line; std::getline(lines, line);) objects.push_back(nlohmann::ordered_json::parse(line));
  ASSERT_EQ(objects.size(), 8u);
  EXPECT_EQ(objects[0].dump(),
            R"({"line":3,"lat":50,"lon":120,"source":36.5,"custom":36.5,"error":0,"kept":"12.3","refused":null})");
  EXPECT_EQ(objects[2]["line"], 6);
  EXPECT_EQ(objects[2]["custom"], nullptr);
  EXPECT_EQ(objects[2]["kept"], "BM-7");
  EXPECT_EQ(objects[3]["kept"], "12.3 name");
  EXPECT_EQ(objects[5].dump(),
            R"({"line":9,"lat":null,"lon":null,"source":null,"custom":null,"error":null,"kept":"",)"
            R"("refused":"column 1: \"35d40m37.8s\" is not a latitude: \"d\" is not part of a coordinate"})");
  for (const auto& object : objects) {
    std::string keys;
    for (const auto& [key, value] : object.items()) keys += key + " ";
    EXPECT_EQ(keys, "line lat lon source custom error kept refused ") << object.dump();
  }

  // Standard input, and a file with no header and no line end at its end.
  std::ofstream(Logs.File("plain")) << "50;120\n10;120";
  EXPECT_EQ(
      Shell(Program.Line() + " --no-settings --data-dir " + Dir.Path() + " check --points - < " + Logs.File("plain")),
      "50\t120\t36.5000\t36.5000\t0.0000\n10\t120\t0.0000\tOut of range.\t\n");
  // A file that does not open: the system says why.
  const TRun absent = Run({"check", "--points", Logs.File("absent")});
  EXPECT_EQ(absent.Status, 2);
  EXPECT_EQ(absent.Err, "Error: cannot read " + Logs.File("absent") + ": No such file or directory\n");

  // A NUL byte past the first megabyte: the answers before it stand, whole,
  // and its line is named.
  std::string late;
  for (int k = 0; k < 200000; ++k) late += "50;120\n";
  std::ofstream(Logs.File("late"), std::ios::binary) << late << std::string("5\0;1\n50;120\n", 10);
  const TRun stopped = Run({"check", "--points", Logs.File("late")});
  EXPECT_EQ(stopped.Status, 1);
  EXPECT_EQ(stopped.Err, "Error: " + Logs.File("late") + " is not text: line 200001 holds a NUL byte\n");
  const std::string answer = "50\t120\t36.5000\t36.5000\t0.0000\n";
  EXPECT_EQ(stopped.Out.size() % answer.size(), 0u);
  EXPECT_LT(stopped.Out.size(), 200000 * answer.size());
  EXPECT_EQ(stopped.Out.substr(0, answer.size()), answer);
}

// A first line is a header only when it could be no point; a byte-order mark
// is no part of it; a line of two readings is refused, never guessed; bytes
// that are not UTF-8 never cost the JSON answers; bytes that are no text are
// refused once.
TEST_F(CliTest, CheckPointsReadEachLineOneWayOnly) {
  ASSERT_EQ(Run({"convert", "--res", "5"}).Status, 0);
  const std::string ok = "\t36.5000\t36.5000\t0.0000\n";
  std::string job, jobAnswers;  // more than the first job's 64 KB of lines
  for (int k = 0; k < 10000; ++k) {
    job += "50;120\n";
    jobAnswers += "50\t120" + ok;
  }
  const std::string file = Logs.File("points");
  struct TCase {
    const char* name;
    std::string input, out;
    int status, jsonRecords;
    std::string err = {};  // all of standard error, when given
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
      {"points a cell or less outside the custom grid, and on its edge nodes",
       "50.3;130\n35;119.7\n19.7;130\n35;150.3\n50.2500001;119.7499999\n19.75;150.25\n",
       "50.3\t130\t0.0000\tOut of range.\t\n35\t119.7\t0.0000\tOut of range.\t\n19.7\t130\t0.0000\tOut of range.\t\n"
       "35\t150.3\t0.0000\tOut of range.\t\n50.2500001\t119.7499999\t0.0000\t0.0000\t0.0000\n"
       "19.75\t150.25\t0.0000\t0.0000\t0.0000\n",
       0, 6},
      {"a refused first line, then one like a header: a point refused", "99;1\nlat;lon\n50;120\n",
       "99\t1\tERROR: column 1: \"99\" is not a latitude: a latitude lies within -90..90\n"
       "lat\tlon\tERROR: column 1: \"lat\" is not a latitude: \"l\" is not part of a coordinate\n50\t120" +
           ok,
       1, 3, "Error: 2 of 3 point lines were refused.\n"},
      {"a refusal after the first job", job + "x5;1\n",
       jobAnswers + "x5\t1\tERROR: column 1: \"x5\" is not a latitude: \"x\" is not part of a coordinate\n", 1, 10001,
       "Error: 1 of 10001 point lines were refused.\n"},
      {"CRs doubled before the line ends", "lat;lon\r\r\n# c\r\r\n50;120;pt\r\r\n\r\r\n",
       "lat;lon\n# c\n50\t120" + ok.substr(0, ok.size() - 1) + "\tpt\n\n", 0, 1, ""},
      {"a binary file", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\n50;120\n", 19), "", 1, 0,
       "Error: " + file + " is not text: line 3 holds a NUL byte\n"},
      {"UTF-16 text",
       std::string("\xFF\xFE"
                   "5\0"
                   "0\0;\0"
                   "1\0"
                   "2\0"
                   "0\0\n\0",
                   16),
       "", 1, 0, "Error: " + file + " is UTF-16 text: points are read as UTF-8 or ASCII; save it as UTF-8\n"},
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
    std::ofstream(file, std::ios::binary) << c.input;
    const TRun text = Run({"check", "--points", file});
    EXPECT_EQ(text.Status, c.status) << text.Err;
    if (c.out.size() < 4096) {
      EXPECT_EQ(text.Out, c.out);
    } else {  // where the answers first differ: the whole would fill the log
      const auto differ = std::mismatch(text.Out.begin(), text.Out.end(), c.out.begin(), c.out.end());
      EXPECT_TRUE(text.Out == c.out) << "from byte " << differ.first - text.Out.begin() << ": "
                                     << std::string(differ.first, std::min(differ.first + 80, text.Out.end()));
    }
    const TRun json = Run({"--json", "check", "--points", file});
    EXPECT_EQ(json.Status, c.status) << json.Err;
    if (!c.err.empty() || c.status == 0) {
      EXPECT_EQ(text.Err, c.err);
      EXPECT_EQ(json.Err, c.err);
    }
    std::istringstream lines(json.Out);
    int records = 0;
    for (std::string line; std::getline(lines, line); ++records)
      EXPECT_NO_THROW(nlohmann::json::parse(line)) << line;  // valid UTF-8 JSON, every line
    EXPECT_EQ(records, c.jsonRecords);
  }
}

// A batch answers each point with the bytes the point gets alone, in a run of
// its own and as the one line a filter is given at a time, wherever the
// points lie: scattered, clustered as a survey is, at the poles (where the
// spline gives way to the cell's bilinear value) and across the wrap.
TEST_F(CliTest, CheckPointsAnswerAsOnePointAtATime) {
  // Varied nodes in three bands of the source: the polar caps and 29..42 N, all the way round.
  {
    const TGeoidModel m = DefaultGeoidModels()[0];
    std::fstream file(Dir.File(m.fname), std::ios::in | std::ios::out | std::ios::binary);
    std::vector<float> row(8640);
    for (const auto& [first, last] : {std::pair{0, 96}, std::pair{1150, 1460}, std::pair{4224, 4320}})
      for (int r = first; r <= last; ++r) {
        for (int c = 0; c < 8640; ++c)
          row[c] = static_cast<float>(30 * std::sin(r * 0.013) * std::cos(c * 0.011) + 5 * std::sin(c * 0.07 + r));
        file.seekp((std::int64_t{r} * 8642 + 1) * 4);
        file.write(reinterpret_cast<const char*>(row.data()), static_cast<std::streamsize>(row.size() * 4));
      }
  }
  ASSERT_EQ(Run({"--output", "globe", "convert", "--south", "-90", "--north", "90", "--west", "0", "--east", "360",
                 "--res", "20"})
                .Status,
            0);
  std::mt19937 random(27);
  const auto uniform = [&](double from, double to) { return std::uniform_real_distribution<double>(from, to)(random); };
  const struct {
    const char* Name;
    std::function<std::pair<double, double>()> Point;
  } batches[] = {
      {"scattered",
       [&] {
         return std::pair{uniform(29.5, 41.5), uniform(-180, 360)};
       }},
      {"clustered",
       [&] {
         return std::pair{uniform(35.5, 35.7), uniform(139.5, 139.8)};
       }},
      {"polar",
       [&] {
         return std::pair{uniform(86, 90) * (random() % 2 ? 1 : -1), uniform(0, 360)};
       }},
      {"across the wrap",
       [&] {
         return std::pair{uniform(29.5, 41.5), uniform(-0.5, 0.5) + (random() % 2) * 359.5};
       }},
  };
  for (const auto& batch : batches) {
    SCOPED_TRACE(batch.Name);
    std::vector<std::string> lines;
    std::string input;
    for (int k = 0; k < 4000; ++k) {  // more than one job's lines (64 KB)
      const auto [lat, lon] = batch.Point();
      char line[64];
      std::snprintf(line, sizeof line, "%.6f;%.6f\n", lat, lon);
      lines.push_back(line);
      input += line;
    }
    std::ofstream(Logs.File("batch")) << input;
    const TRun run = Run({"--output", "globe", "check", "--points", Logs.File("batch")});
    ASSERT_EQ(run.Status, 0) << run.Err;

    // One line at a time through a filter.
    TFilter filter(Command({"--output", "globe", "check", "--points", "-"}));
    std::string alone;
    for (const std::string& line : lines) alone += filter.Answer(line);
    EXPECT_EQ(filter.Close(), 0);
    EXPECT_EQ(run.Out, alone);

    // And in runs of their own, as one point.
    std::istringstream answers(run.Out);
    for (std::size_t k = 0; k < 8; ++k) {
      std::string answer;
      std::getline(answers, answer);
      const std::string lat = lines[k].substr(0, lines[k].find(';'));
      const std::string lon = lines[k].substr(lat.size() + 1, lines[k].size() - lat.size() - 2);
      const TRun one = Run({"--output", "globe", "check", "--lat=" + lat, "--lon=" + lon});
      std::istringstream fields(one.Out);
      std::string expected = lat + "\t" + lon;
      for (std::string field; std::getline(fields, field);) expected += "\t" + field.substr(field.find(": ") + 2);
      EXPECT_EQ(answer, expected);
    }
  }
}

// A filter behind other software: one line in, its answer out, before the next.
TEST_F(CliTest, CheckPointsAnswersACoprocessLineByLine) {
  ASSERT_EQ(Run({"convert", "--res", "5"}).Status, 0);
  TFilter filter(Command({"check", "--points", "-"}));
  EXPECT_EQ(filter.Answer("50 120\n"), "50\t120\t36.5000\t36.5000\t0.0000\n");
  EXPECT_EQ(filter.Answer("10 120\n"), "10\t120\t0.0000\tOut of range.\t\n");
  EXPECT_EQ(filter.Close(), 0);
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
