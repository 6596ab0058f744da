// tessmar-cli scan and map: the report, the heat map and the map picture.
#include "CliSupport.hpp"
#include "base/Numeric.hpp"

namespace tessmar {
namespace {

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
  EXPECT_EQ(json["complete"], true);
  EXPECT_EQ(json["fraction"], 1.0);
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

TEST_F(CliTest, ScanWritesAHeatMapAndSaysWhereItLies) {
  // A degree square at 5': a lattice of 25 x 25 points from 50 N, 120 E.
  ASSERT_EQ(Run({"convert", "--res", "5", "--south", "49", "--north", "50", "--west", "120", "--east", "121"}).Status,
            0);
  const std::string png = Logs.File("heat.png");
  TRun run = Run({"--json", "scan", "--heatmap", png, "--heatmap-scale", "max"});
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
  EXPECT_EQ(heat["scaleRule"], "max");
  EXPECT_EQ(heat["lowest"], json["min"]["diff"]);
  EXPECT_EQ(heat["highest"], json["max"]["diff"]);
  const auto& report = json["report"];
  EXPECT_EQ(report[report.size() - 2].get<std::string>().rfind("Heat map north-west: 50.000000N,120.000000E", 0), 0u);
  EXPECT_EQ(report.back().get<std::string>().rfind("Heat map scale: the largest |difference|; differences from ", 0),
            0u);

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

  // By default the colour ends are the 99.5th percentile of |difference|.
  TRun text = Run({"scan", "--heatmap", png, "--overwrite"});
  EXPECT_NE(text.Out.find("\nHeat map: " + png + "\nHeat map size: 25 x 25 pixels, 1 x 1 points a pixel\n"),
            std::string::npos)
      << text.Out;
  EXPECT_NE(text.Out.find("Heat map scale: the 99.5th percentile of |difference|"), std::string::npos) << text.Out;
  EXPECT_EQ(test::ReadPng(png).Text.at("ScaleRule"), "p99.5");
  TRun fixed = Run({"--json", "scan", "--heatmap", png, "--heatmap-scale", "0.5", "--overwrite"});
  EXPECT_EQ(nlohmann::ordered_json::parse(fixed.Out)["heatmap"]["scale"], 0.5);
  for (const char* refused : {"p0", "1e999", "abc"}) {
    TRun bad = Run({"scan", "--heatmap", png, "--heatmap-scale", refused});
    EXPECT_EQ(bad.Status, 2);
    EXPECT_NE(bad.Err.find("--heatmap-scale: \""), std::string::npos) << bad.Err;
  }

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

TEST_F(CliTest, InterruptStopsAScan) {
  // A whole-circle band at four points per source spacing: far too long to
  // finish, even after the seconds a start under Wine takes.
  ASSERT_EQ(Run({"convert", "--res", "5", "--south", "-40", "--north", "40", "--west", "0", "--east", "360"}).Status,
            0);
  TRun run = Run({"scan", "--precision", "4", "--heatmap", Logs.File("part.png")}, [&](pid_t pid) {
    // Once the program catches Ctrl-C, 300 ms into its work.
    WaitUntilItCatchesCtrlC(Program, pid);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ::kill(pid, SIGINT);
  });
  EXPECT_EQ(run.Status, 130) << run.Err;
  EXPECT_NE(run.Out.find("\nAborted by user.\nPartial scan: "), std::string::npos) << run.Out;
  EXPECT_NE(run.Out.find("  (partial)\nMax: "), std::string::npos) << run.Out;  // beside the extremes of the part
  EXPECT_FALSE(fs::exists(Logs.File("part.png")));                              // a part of a scan is no picture of it

  // In JSON too: the extremes are of the part scanned, and the JSON says so.
  TRun json = Run({"--json", "scan", "--precision", "4"}, [&](pid_t pid) {
    WaitUntilItCatchesCtrlC(Program, pid);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ::kill(pid, SIGINT);
  });
  EXPECT_EQ(json.Status, 130) << json.Err;
  const auto out = nlohmann::ordered_json::parse(json.Out);
  EXPECT_EQ(out["complete"], false);
  const double fraction = out["fraction"].get<double>();
  EXPECT_GT(fraction, 0.0);
  EXPECT_LT(fraction, 1.0);
  const auto& report = out["report"];
  ASSERT_GE(report.size(), 5u);
  EXPECT_EQ(report[3], "Aborted by user.");
  EXPECT_EQ(report[4].get<std::string>().rfind("Partial scan: ", 0), 0u);
  EXPECT_NE(report[4].get<std::string>().find(" of " + IntToGroupedStr(out["nr"].get<std::int64_t>() + 1) + " rows"),
            std::string::npos);
}

TEST_F(CliTest, MapDrawsTheRegionOnTheModel) {
  const std::string png = Logs.File("map.png");
  TRun run = Run({"--json", "map", "--png", png, "--width", "720", "--south", "10", "--north", "20", "--west", "170",
                  "--east", "-170", "--res", "5", "--extent", "world"});
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

  // By default the region with room around it: 10.5 degrees of latitude and
  // 20.5 of longitude and a fifth of each on every side, centred.
  TRun region = Run({"--json", "map", "--png", png, "--width", "400", "--south", "10", "--north", "20", "--west", "170",
                     "--east", "-170", "--res", "5", "--overwrite"});
  ASSERT_EQ(region.Status, 0) << region.Err;
  const auto framed = nlohmann::ordered_json::parse(region.Out);
  const double step = framed["step"].get<double>();
  EXPECT_DOUBLE_EQ(step, 20.5 * 1.4 / 400);
  EXPECT_DOUBLE_EQ(framed["west"].get<double>() + 200 * step, 180);
  EXPECT_DOUBLE_EQ(framed["north"].get<double>() - framed["height"].get<int>() * step / 2, 15);
  EXPECT_EQ(Run({"map", "--png", png, "--height", "300", "--extent", "world", "--overwrite"}).Status, 0);
  EXPECT_EQ(test::ReadPng(png).Height, 300);
  EXPECT_EQ(Run({"map", "--png", png, "--extent", "europe"}).Status, 2);

  ASSERT_EQ(Run({"convert", "--res", "5"}).Status, 0);
  TRun withCustom = Run({"map", "--png", png, "--lat", "35", "--lon", "1.2.3"});
  EXPECT_EQ(withCustom.Status, 2);
  // No region asked for: the custom file's is the one drawn and framed.
  withCustom = Run({"--json", "map", "--png", png, "--overwrite"});
  EXPECT_EQ(withCustom.Status, 0) << withCustom.Err;
  const auto custom = nlohmann::ordered_json::parse(withCustom.Out);
  EXPECT_EQ(custom["region"], nullptr);
  ASSERT_NE(custom["custom"], nullptr);
  EXPECT_LT(custom["west"].get<double>(), custom["custom"]["west"].get<double>());
  EXPECT_GT(custom["west"].get<double>() + custom["width"].get<int>() * custom["step"].get<double>(),
            custom["custom"]["east"].get<double>());
  withCustom = Run({"map", "--png", png, "--overwrite"});
  EXPECT_NE(withCustom.Out.find("Custom geoid: " + Dir.File("Tessmar.qdat")), std::string::npos) << withCustom.Out;
  EXPECT_EQ(Run({"map", "--png", png, "--width", "8"}).Status, 2);
  EXPECT_EQ(Run({"map", "--png", png, "--lat", "35"}).Status, 2);  // a point needs both
  EXPECT_EQ(Run({"map"}).Status, 2);
}

}  // namespace
}  // namespace tessmar
