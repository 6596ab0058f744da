// tessmar-cli: the headless front end of Tessmar. Each command drives the same
// core operation as the window's button, through a console view.
#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>

#include "Version.hpp"
#include "cli/CliView.hpp"
#include "cli/Commands.hpp"

using namespace tessmar::cli;

int main(int argc, char** argv) {
  CLI::App app{
      "Tessmar cuts a regional custom geoid out of a global geoid-undulation grid\n"
      "(EGM2008, 2.5' or 1'), checks it at a point and scans it for its largest\n"
      "error against the source.",
      "tessmar-cli"};
  app.set_version_flag("--version", std::string("tessmar-cli ") + tessmar::VersionText);
  app.footer(
      "Coordinates are decimal degrees or degrees, minutes and seconds, signed by +, - or a\n"
      "compass letter: \"35 30 N\", \"-10\", \"139 44 52.3\", \"35:30:00\".\n\n"
      "Exit status: 0 done, 1 failed, 2 usage error, 130 stopped by Ctrl-C.\n"
      "Run 'tessmar-cli COMMAND --help' for the options of a command.");
  app.require_subcommand(0, 1);
  app.fallthrough();
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);  // a later option overrides

  // An option given sets its value; one left out leaves the settings file's.
  const auto optional = [](CLI::App* to, const std::string& name, std::optional<std::string>& target,
                           const std::string& help) {
    return to->add_option_function<std::string>(
        name, [&target](const std::string& v) { target = v; }, help);
  };

  TGlobalOptions global;
  optional(&app, "--settings", global.Settings,
           "Settings file to read (default: the desktop program's, tessmar.ini beside it or in "
           "~/.config/tessmar/); it is never written");
  app.add_flag("--no-settings", global.NoSettings, "Read no settings file: the built-in defaults only");
  optional(&app, "--data-dir", global.DataDir,
           "Folder of the source grid files and of the custom geoid file (default: the settings' DataPath, "
           "else the current folder)");
  optional(&app, "--model", global.Model,
           "Source model: 2.5 (EGM2008 2.5'x2.5'), 1 (EGM2008 1'x1') or a model title (default: 2.5)");
  optional(&app, "--output", global.Output,
           "Custom geoid file name; its folder part is dropped, its extension becomes .qdat "
           "(default: Tessmar.qdat)");
  app.add_flag("--json", global.Json, "Print JSON instead of the report lines");

  TConvertOptions convert;
  CLI::App* convertCommand =
      app.add_subcommand("convert", "Make a custom geoid: nearest source nodes over the region widened by three cells");
  optional(convertCommand, "--south", convert.South, "Latitude of the southwest corner (default: 20)");
  optional(convertCommand, "--west", convert.West, "Longitude of the southwest corner (default: 120)");
  optional(convertCommand, "--north", convert.North, "Latitude of the northeast corner (default: 50)");
  optional(convertCommand, "--east", convert.East, "Longitude of the northeast corner (default: 150)");
  convertCommand
      ->add_option_function<int>(
          "--res", [&convert](int minutes) { convert.Resolution = minutes; },
          "Output resolution in minutes; 0 is the source model's own, 2.5' or 1' (default: 0)")
      ->check(CLI::IsMember({0, 5, 10, 15, 20}));
  convertCommand->add_flag("--overwrite", convert.Overwrite, "Replace an existing file of that name");
  convertCommand->footer(
      "Example:\n"
      "  tessmar-cli --data-dir /data/egm2008 --output tokyo convert \\\n"
      "      --south \"35 00 N\" --west 139 --north 36 --east \"140 30 E\" --res 5\n"
      "writes /data/egm2008/tokyo.qdat and prints the report.");

  TCheckOptions check;
  CLI::App* checkCommand = app.add_subcommand("check", "Check the custom geoid at a point against the source model");
  optional(checkCommand, "--lat", check.Lat, "Latitude of the point (default: 35 40 37.8)");
  optional(checkCommand, "--lon", check.Lon, "Longitude of the point (default: 139 44 52.3)");
  checkCommand->add_option("--points", check.Points,
                           "A file of points, one \"LAT;LON\" or \"LAT<TAB>LON\" a line; - reads standard input. "
                           "Prints the source value, the custom value and the error, tab-separated, a line each");
  checkCommand->footer(
      "Values are metres: \"Out of range.\" where a grid has no value.\n"
      "Example:\n"
      "  tessmar-cli --data-dir /data/egm2008 --output tokyo check --lat \"35 40 37.8\" --lon \"139 44 52.3\"");

  TScanOptions scan;
  CLI::App* scanCommand =
      app.add_subcommand("scan", "Scan the custom geoid for its largest error against the source model");
  scanCommand
      ->add_option("--precision", scan.Precision,
                   "Lattice points per source spacing (4.0, 2.0, 1.0, 0.5, 0.25, ...); raised where it "
                   "would miss custom nodes")
      ->capture_default_str();
  scanCommand->footer(
      "Example:\n"
      "  tessmar-cli --data-dir /data/egm2008 --output tokyo scan --precision 2.0");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : ExitUsage;
  }
  if (global.Settings && !std::filesystem::is_regular_file(*global.Settings)) {
    std::cerr << "Error: settings file not found: " << *global.Settings << "\n";
    return ExitUsage;
  }
  tessmar::cli::InstallInterruptHandler();
  if (convertCommand->parsed()) return RunConvert(global, convert);
  if (checkCommand->parsed()) return RunCheck(global, check);
  if (scanCommand->parsed()) return RunScan(global, scan);
  std::cout << app.help();
  return 0;
}
