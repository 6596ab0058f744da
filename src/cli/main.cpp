// tessmar-cli: the headless front end of Tessmar. Each command drives the same
// core operation as the window's button, through a console view.
#include <CLI/CLI.hpp>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>

#include "Version.hpp"
#include "cli/CliView.hpp"
#include "convert/ConvertCommand.hpp"
#include "grid/Check.hpp"
#include "grid/Source.hpp"

namespace {

using namespace tessmar;
using tessmar::cli::TCliView;

enum TExit { ExitDone = 0, ExitFailed = 1, ExitUsage = 2, ExitAborted = 130 };

struct TGlobalOptions {
  std::string DataDir;
  std::string Model = "2.5";
  std::string Output = "Tessmar.qdat";
  bool Json = false;
};

struct TConvertOptions {
  std::string South = "20", West = "120", North = "50", East = "150";
  int Resolution = 0;
  bool Overwrite = false;
};

// The window's controls and the session's folders, from the options.
void ApplyGlobalOptions(const TGlobalOptions& options, TSession& session) {
  TView& view = session.View;
  std::string dir = options.DataDir.empty() ? std::filesystem::current_path().string() : options.DataDir;
  if (dir.back() != '/') dir += '/';
  session.DataDir = dir;
  const std::string& model = options.Model;
  view.SetText(TControl::ComboBoxGeoid, model == "2.5"  ? session.GeoidModels[0].title
                                        : model == "1" ? session.GeoidModels[1].title
                                                       : model);
  view.SetText(TControl::EditFname, options.Output);
}

TControl ResolutionButton(int minutes) {
  switch (minutes) {
    case 5: return TControl::RadioButton5;
    case 10: return TControl::RadioButton10;
    case 15: return TControl::RadioButton15;
    case 20: return TControl::RadioButton20;
    default: return TControl::RadioButton0;
  }
}



int RunConvert(const TGlobalOptions& global, const TConvertOptions& options) {
  TCliView view;
  TSession session(view);
  view.Session = &session;
  ApplyGlobalOptions(global, session);
  if (TrimBlanks(view.Text(TControl::EditFname)).empty()) {
    std::cerr << "Error: --output names no file.\n";
    return ExitUsage;
  }
  view.SetText(TControl::EditLat1, options.South);
  view.SetText(TControl::EditLon1, options.West);
  view.SetText(TControl::EditLat2, options.North);
  view.SetText(TControl::EditLon2, options.East);
  view.SetChecked(ResolutionButton(options.Resolution), true);
  view.AnswerYes = options.Overwrite;

  ButtonConvertClick(session);
  view.EndProgress();

  const std::string label = view.Text(TControl::LabelMakeReport);
  const bool written = label.rfind("Output size: ", 0) == 0;
  const int status = session.AbortRequested ? ExitAborted : written ? ExitDone : ExitFailed;
  if (global.Json) {
    const std::string path = CustomGeoidFileName(session);
    nlohmann::ordered_json out = {{"path", path}, {"size", nullptr}, {"rows", nullptr}, {"cols", nullptr},
                          {"south", nullptr}, {"west", nullptr}, {"dlat", nullptr}, {"dlon", nullptr}};
    if (written) {
      std::ifstream file(path, std::ios::binary | std::ios::ate);
      const std::int64_t size = file.tellg();
      unsigned char bytes[CustomTrailerSize] = {};
      file.seekg(size - CustomTrailerSize);
      file.read(reinterpret_cast<char*>(bytes), CustomTrailerSize);
      const TCustomTrailer t = DecodeTrailer(bytes);
      out["size"] = size;
      out["rows"] = t.rows;
      out["cols"] = t.cols;
      out["south"] = t.south;
      out["west"] = t.west;
      out["dlat"] = t.dlat;
      out["dlon"] = t.dlon;
    }
    out["report"] = view.Lines;
    std::cout << out.dump() << '\n';
  } else {
    for (const auto& line : view.Lines) std::cout << line << '\n';
  }
  return status;
}

}  // namespace

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

  TGlobalOptions global;
  app.add_option("--data-dir", global.DataDir,
                 "Folder of the source grid files and of the custom geoid file (default: the current folder)");
  app.add_option("--model", global.Model,
                 "Source model: 2.5 (EGM2008 2.5'x2.5'), 1 (EGM2008 1'x1') or a model title")
      ->capture_default_str();
  app.add_option("--output", global.Output,
                 "Custom geoid file name; its folder part is dropped, its extension becomes .qdat")
      ->capture_default_str();
  app.add_flag("--json", global.Json, "Print one JSON object instead of the report lines");

  TConvertOptions convert;
  CLI::App* convertCommand = app.add_subcommand(
      "convert", "Make a custom geoid: nearest source nodes over the region widened by three cells");
  convertCommand->add_option("--south", convert.South, "Latitude of the southwest corner")->capture_default_str();
  convertCommand->add_option("--west", convert.West, "Longitude of the southwest corner")->capture_default_str();
  convertCommand->add_option("--north", convert.North, "Latitude of the northeast corner")->capture_default_str();
  convertCommand->add_option("--east", convert.East, "Longitude of the northeast corner")->capture_default_str();
  convertCommand
      ->add_option("--res", convert.Resolution,
                   "Output resolution in minutes; 0 is the source model's own (2.5' or 1')")
      ->check(CLI::IsMember({0, 5, 10, 15, 20}))
      ->capture_default_str();
  convertCommand->add_flag("--overwrite", convert.Overwrite, "Replace an existing file of that name");
  convertCommand->footer(
      "Example:\n"
      "  tessmar-cli --data-dir /data/egm2008 --output tokyo convert \\\n"
      "      --south \"35 00 N\" --west 139 --north 36 --east \"140 30 E\" --res 5\n"
      "writes /data/egm2008/tokyo.qdat and prints the report.");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : ExitUsage;
  }
  tessmar::cli::InstallInterruptHandler();
  if (convertCommand->parsed()) return RunConvert(global, convert);
  std::cout << app.help();
  return 0;
}
