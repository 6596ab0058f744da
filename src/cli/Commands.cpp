#include "cli/Commands.hpp"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>
#include <vector>

#include "accuracy/PointCheck.hpp"
#include "accuracy/Scan.hpp"
#include "base/CoordText.hpp"
#include "base/Path.hpp"
#include "base/Text.hpp"
#include "cli/CliView.hpp"
#include "convert/ConvertCommand.hpp"
#include "grid/Gtx.hpp"
#include "option/Settings.hpp"
#include "option/SettingsPath.hpp"
#include "view/Grids.hpp"
#include "view/RunHandler.hpp"

namespace tessmar::cli {

namespace {

using TJson = nlohmann::ordered_json;

// One run's window and state, set from the global options.
struct TContext {
  TCliView View;
  TSession Session{View};

  // The settings are read, never written back: the desktop program's file
  // (both programs share it) or the one named by --settings. (import-gtx
  // writes one catalogue entry into --settings, nothing else.)
  explicit TContext(const TGlobalOptions& options) {
    View.Session = &Session;
    const std::string exe = ExecutablePath();
    Session.ExeDir = FolderOf(exe);
    Session.DataDir = std::filesystem::current_path().string() + "/";
    if (!options.NoSettings) {
      const std::string path = options.Settings ? *options.Settings : FindSettingsPath(Session.ExeDir + "tessmar");
      if (FileExists(path)) {
        Session.SettingsPath = path;
        LoadSettings(Session);
      }
    }
    if (options.DataDir) Session.DataDir = options.DataDir->empty() ? "./" : AsFolder(*options.DataDir);
    if (const auto& model = options.Model)
      View.SetText(TControl::ComboBoxGeoid, *model == "2.5" ? Session.GeoidModels[0].title
                                            : *model == "1" ? Session.GeoidModels[1].title
                                                            : *model);
    if (options.Output) View.SetText(TControl::EditFname, *options.Output);
  }
};

void SetIfGiven(TView& view, TControl control, const std::optional<std::string>& value) {
  if (value) view.SetText(control, *value);
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

// A number in full precision (shortest text that reads back the same), or null.
TJson Number(double value) { return std::isfinite(value) ? TJson(value) : TJson(nullptr); }
void AppendNumber(std::string& out, double value) { out += std::isfinite(value) ? ShortestText(value) : "null"; }

void PrintLines(const std::vector<std::string>& lines) {
  for (const auto& line : lines) std::cout << line << '\n';
}

// "LAT;LON" or "LAT<TAB>LON"; false for a line without either separator.
bool SplitPoint(std::string_view line, std::string_view& lat, std::string_view& lon) {
  const auto at = line.find_first_of(";\t");
  if (at == std::string_view::npos) return false;
  lat = line.substr(0, at);
  lon = line.substr(at + 1);
  return true;
}

// One output line for a point of --points.
void FormatPoint(const TSession& session, std::string_view latText, std::string_view lonText, bool json,
                 std::string& out) {
  const double lat = ParseCoordinate(latText), lon = ParseCoordinate(lonText);
  TPointValues v = CheckPoint(session, lat, lon);
  if (!session.CustomGrid) v.CustomText.clear();  // no custom file: the source value alone
  out.clear();
  if (json) {
    out += "{\"lat\":";
    AppendNumber(out, lat);
    out += ",\"lon\":";
    AppendNumber(out, lon);
    out += ",\"source\":";
    AppendNumber(out, v.Source);
    out += ",\"custom\":";
    AppendNumber(out, v.Custom);
    out += ",\"error\":";
    AppendNumber(out, v.Error);
    out += '}';
  } else {
    out.append(v.SourceText).append("\t").append(v.CustomText).append("\t").append(v.ErrorText);
  }
}

int RunCheckPoints(TContext& context, const TGlobalOptions& global, const std::string& source) {
  TSession& session = context.Session;
  OpenSelectedModel(session);
  if (!session.SourceOpen()) return ExitFailed;
  // Without the custom file each point still gets its source value; the
  // missing file was reported once, by the open.
  const bool custom = OpenCustomFile(session, CustomGeoidFileName(session));

  const std::optional<std::string> input = source == "-" ? ReadWholeStream(std::cin) : ReadWholeFile(source);
  if (!input) {
    std::cerr << "Error: cannot read " << source << "\n";
    return ExitUsage;
  }
  const std::string& text = *input;
  std::vector<std::string_view> lines;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }

  // Points are independent: blocks of them are evaluated on every core and
  // printed in input order.
  constexpr std::size_t block = 1 << 16;
  std::vector<std::string> out(std::min(block, lines.size()));
  std::vector<char> bad(out.size());
  int badLines = 0;
  for (std::size_t first = 0; first < lines.size(); first += block) {
    const std::size_t count = std::min(block, lines.size() - first);
#pragma omp parallel for schedule(dynamic, 1024)
    for (std::size_t k = 0; k < count; ++k) {
      std::string_view lat, lon;
      const std::string_view line = lines[first + k];
      bad[k] = TrimBlanksView(line).empty() ? 2 : !SplitPoint(line, lat, lon);
      if (!bad[k]) FormatPoint(session, lat, lon, global.Json, out[k]);
    }
    for (std::size_t k = 0; k < count; ++k) {
      if (bad[k] == 1) {
        ++badLines;
        std::cerr << "Error: line " << first + k + 1 << ": expected LAT;LON or LAT<TAB>LON\n";
      } else if (bad[k] == 0) {
        std::fwrite(out[k].data(), 1, out[k].size(), stdout);
        std::fputc('\n', stdout);
      }
    }
  }
  std::fflush(stdout);
  return badLines || !custom ? ExitFailed : ExitDone;
}

}  // namespace

int RunConvert(const TGlobalOptions& global, const TConvertOptions& options) {
  TContext context(global);
  TCliView& view = context.View;
  TSession& session = context.Session;
  if (TrimBlanks(view.Text(TControl::EditFname)).empty()) {
    std::cerr << "Error: --output names no file.\n";
    return ExitUsage;
  }
  SetIfGiven(view, TControl::EditLat1, options.South);
  SetIfGiven(view, TControl::EditLon1, options.West);
  SetIfGiven(view, TControl::EditLat2, options.North);
  SetIfGiven(view, TControl::EditLon2, options.East);
  if (options.Resolution) view.SetChecked(ResolutionButton(*options.Resolution), true);
  view.AnswerYes = options.Overwrite;

  const TConvertResult result = ButtonConvertClick(session);
  view.EndProgress();

  const bool written = result.Outcome == TConvertOutcome::Written;
  if (global.Json) {
    TJson out = {{"path", result.Path},  {"size", nullptr}, {"rows", nullptr}, {"cols", nullptr},
                 {"south", nullptr}, {"west", nullptr}, {"dlat", nullptr}, {"dlon", nullptr}};
    if (written) {
      const TCustomTrailer& t = result.Trailer;
      out["size"] = result.Size;
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
    PrintLines(view.Lines);
  }
  return result.Outcome == TConvertOutcome::Aborted ? ExitAborted : written ? ExitDone : ExitFailed;
}

int RunCheck(const TGlobalOptions& global, const TCheckOptions& options) {
  TContext context(global);
  if (!options.Points.empty()) return RunCheckPoints(context, global, options.Points);

  TCliView& view = context.View;
  TSession& session = context.Session;
  SetIfGiven(view, TControl::EditLat, options.Lat);
  SetIfGiven(view, TControl::EditLon, options.Lon);
  TPointCheck check;
  RunHandler(view, [&] { check = ButtonCalcClick(session); });
  if (!check.Checked) return ExitFailed;
  const TPointValues& v = check.Values;
  if (global.Json) {
    const TJson out = {{"lat", Number(check.Lat)},
                       {"lon", Number(check.Lon)},
                       {"source", Number(v.Source)},
                       {"custom", Number(v.Custom)},
                       {"error", Number(v.Error)}};
    std::cout << out.dump() << '\n';
  } else {
    std::cout << "Original(m): " << v.SourceText << '\n'
              << "Custom(m): " << v.CustomText << '\n'
              << "Error(m): " << v.ErrorText << '\n';
  }
  return check.CustomOpen ? ExitDone : ExitFailed;
}

int RunScan(const TGlobalOptions& global, const TScanOptions& options) {
  TContext context(global);
  TCliView& view = context.View;
  TSession& session = context.Session;
  view.SetText(TControl::ComboBoxPrecision, options.Precision);
  const TScanResult result = Button1Click(session);
  view.EndProgress();
  if (global.Json) {
    const auto extreme = [](const std::optional<TScanExtreme>& e) {
      return e ? TJson{{"diff", e->Diff}, {"lat", e->Lat}, {"lon", e->Lon}} : TJson(nullptr);
    };
    TJson out = {{"path", result.Path.empty() ? CustomGeoidFileName(session) : result.Path},
                 {"precision", result.Scanned ? Number(result.Precision) : TJson(nullptr)},
                 {"nr", result.Scanned ? TJson(result.nr) : TJson(nullptr)},
                 {"nc", result.Scanned ? TJson(result.nc) : TJson(nullptr)},
                 {"points", result.Points},
                 {"max", extreme(result.Max)},
                 {"min", extreme(result.Min)},
                 {"report", view.Lines}};
    std::cout << out.dump() << '\n';
  } else {
    PrintLines(view.Lines);
  }
  switch (result.Outcome) {
    case TScanOutcome::Done:
    case TScanOutcome::Unnecessary: return ExitDone;
    case TScanOutcome::Aborted: return ExitAborted;
    default: return ExitFailed;
  }
}

int RunImportGtx(const TGlobalOptions& global, const TImportOptions& options) {
  TContext context(global);
  TSession& session = context.Session;
  // The GTX's own name, without its extension, names the grid file and the model by default.
  const std::string stem = BaseName(options.Gtx);
  TGtxImport imported;
  try {
    imported = ImportGtx(options.Gtx, session.DataDir, options.Name.value_or(stem), options.Title.value_or(stem),
                         options.Overwrite);
  } catch (const TError& e) {
    std::cerr << "Error: " << e.what() << "\n";
    return ExitFailed;
  }
  const TModelSettings entry = ModelSettings(options.Entry, imported.Model);

  // The settings find the grid in their data folder: one given here becomes
  // theirs, and so does the folder used when they are new (they have none).
  std::optional<std::string> dataPath;
  if (global.DataDir || session.SettingsPath.empty())
    dataPath = std::filesystem::absolute(session.DataDir).lexically_normal().string();
  const bool saved = global.Settings && SaveModelEntry(*global.Settings, options.Entry, imported.Model, dataPath);

  std::cerr << "Wrote " << imported.Path << " (" << IntToGroupedStr(imported.Size) << " bytes"
            << (imported.Rotated ? ", turned to start at 0 degrees east" : "") << ").\n";
  if (global.Json) {
    const TGeoidModel& m = imported.Model;
    const TJson keys = {{"title", m.title}, {"fname", m.fname}, {"nrows", m.nrows},  {"ncols", m.ncols},
                        {"glamn", m.glamn}, {"glomn", m.glomn}, {"dgla", m.dgla},    {"dglo", m.dglo},
                        {"nlat", m.nlat},   {"nlon", m.nlon},   {"PrePad", m.PrePad}};
    const TJson out = {{"path", imported.Path},
                       {"size", imported.Size},
                       {"rotated", imported.Rotated},
                       {"section", entry.Section},
                       {"keys", keys},
                       {"settings", saved ? TJson(*global.Settings) : TJson(nullptr)}};
    std::cout << out.dump() << '\n';
  } else {
    std::cout << '[' << entry.Section << "]\n";
    for (const auto& [key, value] : entry.Keys) std::cout << key << '=' << value << '\n';
  }
  if (global.Settings && !saved) {
    std::cerr << "Error: cannot write the settings file " << *global.Settings << "\n";
    return ExitFailed;
  }
  if (saved)
    std::cerr << "Catalogue entry " << options.Entry << " [" << entry.Section << "] written to " << *global.Settings
              << (dataPath ? ", with DataPath " + *dataPath : "") << ", and selected.\n";
  return ExitDone;
}

int RunExportGtx(const TGlobalOptions& global, const TExportOptions& options) {
  TContext context(global);
  TSession& session = context.Session;
  const std::string custom = CustomGeoidFileName(session);
  std::string to = options.To.value_or("");
  if (to.empty()) to = FolderOf(custom) + BaseName(custom) + ".gtx";
  if (!OpenCustomFile(session, custom)) return ExitFailed;
  const TGeoidGrid& g = *session.CustomGrid;
  std::int64_t size = 0;
  try {
    size = ExportGtx(g, to, options.Overwrite);
  } catch (const TError& e) {
    std::cerr << "Error: " << e.what() << "\n";
    return ExitFailed;
  }
  if (global.Json) {
    const TJson out = {{"path", to},       {"size", size},   {"rows", g.nlat}, {"cols", g.nlon},
                       {"south", g.south}, {"west", g.west}, {"dlat", g.dlat}, {"dlon", g.dlon}};
    std::cout << out.dump() << '\n';
  } else {
    std::cout << "GTX file: " << to << '\n'
              << "Size: " << IntToGroupedStr(size) << " bytes, " << g.nlat << " rows x " << g.nlon << " columns\n"
              << "Southwest node: " << ShortestText(g.south) << ", " << ShortestText(g.west) << "; spacing "
              << ShortestText(g.dlat) << " x " << ShortestText(g.dlon) << " degrees\n";
  }
  return ExitDone;
}

int RunModels(const TGlobalOptions& global) {
  TContext context(global);
  TSession& session = context.Session;
  const int selected = SelectedModelIndex(session);
  TJson models = TJson::array();
  bool any = false;
  if (!global.Json) std::cout << "Data folder: " << session.DataDir << '\n';
  for (int i = 0; i < 2; ++i) {
    const TGeoidModel& m = session.GeoidModels[i];
    const std::string path = ModelFilePath(session.DataDir, m);
    const bool found = FileExists(path);
    any = any || found;
    if (global.Json)
      models.push_back(
          {{"entry", i}, {"title", m.title}, {"path", path}, {"found", found}, {"selected", i == selected}});
    else
      std::cout << (i == selected ? "* " : "  ") << i << "  " << m.title << "\n     " << path
                << (found ? "" : "  (missing)") << '\n';
  }
  if (global.Json) std::cout << TJson{{"dataDir", session.DataDir}, {"models", models}}.dump() << '\n';
  if (!any) std::cerr << "No source grid file is in the data folder " << session.DataDir << "\n";
  return any ? ExitDone : ExitFailed;
}

}  // namespace tessmar::cli
