// tessmar-cli: the headless front end of Tessmar. Each command drives the same
// core operation as the window's button, through a console view.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>

#include "Version.hpp"
#include "accuracy/Scan.hpp"
#include "base/Numeric.hpp"
#include "base/Path.hpp"
#include "cli/CliView.hpp"
#include "cli/Commands.hpp"
#include "cli/Context.hpp"

using namespace tessmar::cli;

namespace {
// A file argument that must exist, looked up by the platform layer: CLI11's own
// check reads the name in the ANSI code page on Windows, not as UTF-8.
const CLI::Validator ExistingFile(
    [](std::string& name) {
      if (tessmar::IsFolder(name)) return "File is actually a directory: " + name;
      return tessmar::FileExists(name) ? std::string() : "File does not exist: " + name;
    },
    "FILE");
}  // namespace

int main(int argc, char** argv) {
  tessmar::UseBinaryStandardStreams();  // before any output: --help too ends its lines in LF alone
  CLI::App app{
      "Tessmar cuts a regional custom geoid out of a global geoid-undulation grid\n"
      "(EGM2008, 2.5' or 1'), checks it at a point and scans it for its largest\n"
      "error against the source.",
      "tessmar-cli"};
  // One grammar on every system: a word that starts with "/" is a path, never
  // an option (CLI11 reads "/name" as an option on Windows by default).
  app.allow_windows_style_options(false);
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
           "~/.config/tessmar/, %APPDATA%\\tessmar\\ on Windows); only import and import-gtx write to it");
  app.add_flag("--no-settings", global.NoSettings, "Read no settings file: the built-in defaults only");
  optional(&app, "--data-dir", global.DataDir,
           "Folder of the source grid files and of the custom geoid file. Chosen in this order: --data-dir, "
           "the settings file's DataPath, the program's own folder; for an installed program, or one whose "
           "folder cannot be written, the user's data folder (~/.local/share/tessmar/ or $XDG_DATA_HOME/tessmar/; "
           "%LOCALAPPDATA%\\tessmar\\ on Windows). Installed, a source grid not found there is looked for in "
           "each folder of $XDG_DATA_DIRS (/usr/local/share, /usr/share) and the install's share, in tessmar/. "
           "'tessmar-cli models' lists the folders searched, in order");
  optional(&app, "--model", global.Model,
           "Source model: 0 or 2.5 (catalogue entry 0, EGM2008 2.5'x2.5'), 1 (entry 1, EGM2008 1'x1') or a "
           "model title, exact or in any case (default: the settings' model, else 2.5)");
  optional(&app, "--output", global.Output,
           "Custom geoid file: a name in the data folder, or a path whose folder is taken as written; "
           "its extension becomes .qdat (default: Tessmar.qdat)");
  app.add_flag("--json", global.Json, "Print JSON instead of the report lines");
  app.add_flag("--quiet", global.Quiet,
               "Show no progress line (it shows on a terminal only, for work that takes more than a second)");

  TConvertOptions convert;
  CLI::App* convertCommand =
      app.add_subcommand("convert", "Make a custom geoid: nearest source nodes over the region widened by three cells");
  optional(convertCommand, "--south", convert.South, "Latitude of the southwest corner (default: 20)");
  optional(convertCommand, "--west", convert.West, "Longitude of the southwest corner (default: 120)");
  optional(convertCommand, "--north", convert.North, "Latitude of the northeast corner (default: 50)");
  optional(convertCommand, "--east", convert.East, "Longitude of the northeast corner (default: 150)");
  optional(convertCommand, "--res", convert.Resolution,
           "Output resolution in minutes: 5, 10, 15 or 20, or 0 (also 2.5 or 1, as the model's) for the "
           "source model's own spacing (default: the settings', else 0)");
  convertCommand->add_flag("--overwrite", convert.Overwrite, "Replace an existing file of that name");
  convertCommand->footer(
      "Each corner is moved to a whole cell of the output resolution. After the size,\n"
      "the report gives the region written (its corner nodes, the margin included), each\n"
      "corner the snap moved and by how much, a warning for a region more than 180\n"
      "degrees wide across 180 degrees (west and east the wrong way round?), and how\n"
      "many nodes hold no value (outside the source grid). With --json: \"region\",\n"
      "\"moved\", \"wideAcross180\" and \"noValue\".\n"
      "Example:\n"
      "  tessmar-cli --data-dir /data/egm2008 --output tokyo convert \\\n"
      "      --south \"35 00 N\" --west 139 --north 36 --east \"140 30 E\" --res 5\n"
      "writes /data/egm2008/tokyo.qdat and prints the report.");

  TCheckOptions check;
  CLI::App* checkCommand = app.add_subcommand("check", "Check the custom geoid at a point against the source model");
  optional(checkCommand, "--lat", check.Lat, "Latitude of the point (default: 35 40 37.8)");
  optional(checkCommand, "--lon", check.Lon, "Longitude of the point (default: 139 44 52.3)");
  checkCommand->add_option("--points", check.Points,
                           "A file of points, - for standard input: a line each, \"LAT;LON\" or \"LAT<TAB>LON\" "
                           "(degrees, minutes and seconds allowed) or \"LAT LON\", \"LAT,LON\" (decimal degrees), "
                           "each optionally followed by more fields (heights, names) that are kept");
  checkCommand->footer(
      "The values:\n"
      "  Original  the source model at the point: a natural cubic spline over the 6 x 6\n"
      "            nodes around it (bilinear in the point's cell near the poles and\n"
      "            where a node of that window is missing)\n"
      "  Custom    the custom geoid file at the point, the same way, rounded to float32\n"
      "  Error     Custom - Original\n"
      "Metres; \"Out of range.\" where a grid has no value. Without the custom file the\n"
      "source value still comes and the exit status is 1.\n"
      "\n"
      "--points answers every input line with one output line, in order, tab-separated:\n"
      "the point as given, Original, Custom, Error and the kept fields. Blank lines,\n"
      "lines starting with # and a first line that is no point (a header) are copied\n"
      "through; a refused line gives the point and \"ERROR: \" with the reason. With\n"
      "--json: one object per point line, each with the same keys: \"line\" (its\n"
      "number), \"lat\", \"lon\", \"source\", \"custom\", \"error\" (numbers, null where\n"
      "there is none), \"kept\" (the kept fields as written, \"\" when none) and\n"
      "\"refused\" (null, or the reason a line was refused: its lat to error are null).\n"
      "Answers are written as soon as the input pauses, so the command works as a\n"
      "filter behind other programs; Ctrl-C stops it after the lines in hand (exit\n"
      "status 130). Exit status 1 when any line was refused. Input holding a NUL byte\n"
      "(a binary file, UTF-16 text) is no text: refused once, exit status 1, and the\n"
      "answers stop before it (a file's first megabyte is read at once).\n"
      "Example:\n"
      "  tessmar-cli --data-dir /data/egm2008 --output tokyo check \\\n"
      "      --lat \"35 40 37.8\" --lon \"139 44 52.3\"");

  TScanOptions scan;
  CLI::App* scanCommand =
      app.add_subcommand("scan", "Scan the custom geoid for its largest error against the source model");
  scanCommand
      ->add_option("--precision", scan.Precision,
                   "Lattice points per source spacing, above 0 and at most " +
                       tessmar::ShortestText(tessmar::MaxPrecision) +
                       " (4.0, 2.0, 1.0, 0.5, 0.25, ...); raised where it would miss custom nodes")
      ->capture_default_str();
  scanCommand->add_option("--heatmap", scan.Heatmap,
                          "Also write the differences as a PNG picture: a pixel per lattice point (blocks of k x k "
                          "points, keeping the largest, beyond 4096 a side), blue below zero, white at zero, red "
                          "above; its geometry is printed and kept in the file's text chunks");
  scanCommand->add_flag("--overwrite", scan.Overwrite, "Replace an existing heat map file");
  scanCommand
      ->add_option("--heatmap-scale", scan.HeatmapScale,
                   "The difference at the heat map's colour ends: max (the largest |difference|), p and a "
                   "percentile of |difference| (p99.5: the typical error shows, the few larger take the end "
                   "colours), or metres (0.05)")
      ->capture_default_str();
  scanCommand->footer(
      "The scan walks a lattice over the custom grid, three cells in from each edge, and\n"
      "at every point compares the custom value with the source value, both by a natural\n"
      "cubic spline over the 6 x 6 nodes around the point (bilinear in the point's cell\n"
      "near the poles and where a node of that window is missing). It reports the\n"
      "largest and the most negative difference, custom - source (the custom value\n"
      "rounded to float32), in metres, with their places. Stopped by Ctrl-C (exit status\n"
      "130), it reports the part scanned and its extremes, each marked \"(partial)\"; with\n"
      "--json, \"complete\" is false and \"fraction\" the part of the lattice scanned.\n"
      "Example:\n"
      "  tessmar-cli --data-dir /data/egm2008 --output tokyo scan \\\n"
      "      --precision 2.0 --heatmap tokyo_error.png");

  TMapOptions map;
  CLI::App* mapCommand = app.add_subcommand(
      "map", "Draw the source model as a shaded relief with the region and the custom geoid's extent, as PNG");
  mapCommand->add_option("--png", map.Png, "The PNG file to write")->required();
  mapCommand->add_flag("--overwrite", map.Overwrite, "Replace an existing file");
  mapCommand->add_option("--width", map.Width, "Width in pixels")->check(CLI::Range(16, 16384))->capture_default_str();
  mapCommand
      ->add_option("--height", map.Height,
                   "Height in pixels (default: half the width for the world, what fits the region for a region)")
      ->check(CLI::Range(8, 16384));
  mapCommand
      ->add_option("--extent", map.Extent,
                   "region: the region with room around it (the custom geoid file's when no region option is "
                   "given and it exists); world: the whole earth")
      ->check(CLI::IsMember({"region", "world"}))
      ->capture_default_str();
  optional(mapCommand, "--south", map.South, "Latitude of the region's southwest corner (default: as convert)");
  optional(mapCommand, "--west", map.West, "Longitude of the region's southwest corner");
  optional(mapCommand, "--north", map.North, "Latitude of the region's northeast corner");
  optional(mapCommand, "--east", map.East, "Longitude of the region's northeast corner");
  optional(mapCommand, "--res", map.Resolution,
           "Output resolution in minutes, for the three-cell margin: as convert's --res (default: as convert)");
  CLI::Option* mapLat = optional(mapCommand, "--lat", map.Lat, "Latitude of a point to mark with a cross (with --lon)");
  CLI::Option* mapLon =
      optional(mapCommand, "--lon", map.Lon, "Longitude of a point to mark with a cross (with --lat)");
  mapLat->needs(mapLon);
  mapLon->needs(mapLat);
  mapCommand->footer(
      "The region is drawn in black with its three-cell margin, the custom geoid file's extent in magenta,\n"
      "over the relief with coastlines (GSHHG: Debian's gmt-gshhg-low when installed; on Windows the\n"
      "files the program brings), a graticule with its degrees and a legend of the relief in metres.\n"
      "The world runs from -180 degrees of longitude, or from 0 for a region across 180 degrees.\n"
      "Example:\n"
      "  tessmar-cli --data-dir /data/egm2008 --output tokyo map \\\n"
      "      --png tokyo_map.png --width 1440");

  // import and import-gtx take the same options.
  const auto importOptions = [&](CLI::App* command, TImportOptions& import, const std::string& file) {
    command->add_option("file", import.File, file)->required()->check(ExistingFile);
    optional(command, "--name", import.Name,
             "Name of the grid file written in the data folder (default: FILE's "
             "name without its extension)");
    optional(command, "--title", import.Title, "The model's title, as the model list shows it (default: as --name)");
    command->add_option("--entry", import.Entry, "Catalogue entry the model is for: 0 (the 2.5' place) or 1")
        ->check(CLI::IsMember({0, 1}))
        ->capture_default_str();
    command->add_flag("--overwrite", import.Overwrite, "Replace an existing grid file of that name");
  };
  TImportOptions import;
  CLI::App* importCommand = app.add_subcommand(
      "import",
      "Make a source model of a geoid grid GDAL reads (GeoTIFF, GTX, NetCDF, ...): a grid file in the data folder");
  importOptions(importCommand, import,
                "The grid: one band of geoid undulations in metres, latitude and longitude "
                "on WGS 84");
  importCommand->footer(
      "Prints the catalogue entry (settings section and keys). With --settings FILE it is written into\n"
      "that file (created when missing) and selected; an explicit --data-dir becomes its DataPath.\n"
      "A whole-circle grid is turned to start at 0 degrees east; the raster's no-data nodes have no\n"
      "value. Values are taken at the pixel centres (pixel-is-area) or at the points (pixel-is-point).\n"
      "Refused: more than one band, projected or rotated rasters, datums other than WGS 84, spacings\n"
      "that are not 100/n degrees, source grids of 2 GiB or more.\n"
      "Example:\n"
      "  tessmar-cli --settings demo.ini --data-dir demo import \\\n"
      "      us_nga_egm96_15.tif --title \"EGM96 15'x15'\"");

  TImportOptions importGtx;
  importGtx.GtxOnly = true;
  CLI::App* importGtxCommand = app.add_subcommand(
      "import-gtx", "Make a source model of a GTX geoid grid (PROJ, GDAL): a grid file in the data folder");
  importOptions(importGtxCommand, importGtx, "The GTX file");
  importGtxCommand->footer(
      "As import, for GTX files only. A whole-circle grid is turned to start at 0 degrees east;\n"
      "-88.8888 nodes have no value.\n"
      "Example:\n"
      "  tessmar-cli --settings demo.ini --data-dir demo import-gtx \\\n"
      "      /usr/share/proj/egm96_15.gtx --title \"EGM96 15'x15'\"");

  TExportOptions exportGrid;
  CLI::App* exportCommand = app.add_subcommand(
      "export", "Write the custom geoid as a GeoTIFF or GTX grid, for PROJ (vgridshift), GDAL and GIS programs");
  exportCommand->add_option("--format", exportGrid.Format, "GTiff or GTX")
      ->check(CLI::IsMember({"GTiff", "GTX"}, CLI::ignore_case))
      ->capture_default_str();
  optional(exportCommand, "--to", exportGrid.To,
           "The grid file (default: the custom geoid file's name with .tif or .gtx)");
  exportCommand->add_flag("--overwrite", exportGrid.Overwrite, "Replace an existing file");
  exportCommand->footer(
      "A GeoTIFF is a PROJ geoid grid: pixel-is-point, Float32 metres, deflate, nodes without a value\n"
      "as -32768. A GTX has them as -88.8888. A grid that fits in -180..180 degrees of longitude is\n"
      "written there, one across 180 degrees in 0..360.\n"
      "Example:\n"
      "  tessmar-cli --data-dir /data/egm2008 --output tokyo export \\\n"
      "      --format GTiff\n"
      "  cct +proj=vgridshift +grids=/data/egm2008/tokyo.tif");

  TExportOptions exportGtx;
  exportGtx.Format = "GTX";
  CLI::App* exportGtxCommand =
      app.add_subcommand("export-gtx", "Write the custom geoid as a GTX grid, for PROJ (vgridshift) and GDAL");
  optional(exportGtxCommand, "--to", exportGtx.To, "The GTX file (default: the custom geoid file's name with .gtx)");
  exportGtxCommand->add_flag("--overwrite", exportGtx.Overwrite, "Replace an existing file");
  exportGtxCommand->footer(
      "As export --format GTX. Nodes without a value are written as -88.8888.\n"
      "Example:\n"
      "  tessmar-cli --data-dir /data/egm2008 --output tokyo export-gtx\n"
      "  cct +proj=vgridshift +grids=/data/egm2008/tokyo.gtx");

  CLI::App* modelsCommand = app.add_subcommand(
      "models", "List the source models and whether their grid files are in the data folder (exit 1: none is)");

  try {
    // CLI11 takes the words after the program's name, last first.
    std::vector<std::string> words = tessmar::CommandLineArguments(argc, argv);
    words.erase(words.begin());
    std::reverse(words.begin(), words.end());
    app.parse(words);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : ExitUsage;
  }
  tessmar::cli::InstallInterruptHandler();
  // Whatever leaves a command (a full disk, memory) is its failure, reported.
  const auto run = [&]() -> int {
    try {
      // import creates the settings file it is to write to.
      if (global.Settings && (importCommand->parsed() || importGtxCommand->parsed()))
        RequireNoFolder(*global.Settings, "--settings");
      else if (global.Settings)
        tessmar::RequireSettingsFile(*global.Settings);
      if (convertCommand->parsed()) return RunConvert(global, convert);
      if (checkCommand->parsed()) return RunCheck(global, check);
      if (scanCommand->parsed()) return RunScan(global, scan);
      if (mapCommand->parsed()) return RunMap(global, map);
      if (importCommand->parsed()) return RunImport(global, import);
      if (importGtxCommand->parsed()) return RunImport(global, importGtx);
      if (exportCommand->parsed()) return RunExport(global, exportGrid);
      if (exportGtxCommand->parsed()) return RunExport(global, exportGtx);
      if (modelsCommand->parsed()) return RunModels(global);
    } catch (const TUsageError& e) {
      std::cerr << "Error: " << e.what() << "\n";
      return ExitUsage;
    } catch (const std::exception& e) {
      std::cerr << "Error: " << tessmar::ErrorText(e) << "\n";
      return ExitFailed;
    }
    std::cout << app.help();
    return ExitDone;
  };
  return FinishOutput(run());
}
