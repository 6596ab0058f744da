// tessmar-cli import (import-gtx), export (export-gtx) and models: source
// models and grid files.
#include <iostream>

#include "base/Numeric.hpp"
#include "base/Path.hpp"
#include "cli/Commands.hpp"
#include "cli/Context.hpp"
#include "cli/Progress.hpp"
#include "formats/Loader.hpp"
#include "grid/Circle.hpp"
#include "grid/Gtx.hpp"
#include "option/Settings.hpp"
#include "session/Grids.hpp"

namespace tessmar::cli {

int RunImport(const TGlobalOptions& global, const TImportOptions& options) {
  TContext context(global);
  TSession& session = context.Session;
  // The raster's own name, without its extension, names the grid file and the model by default.
  const std::string stem = BaseName(options.File);
  TSourceImport imported;
  TProgressLine line(global.Quiet);
  try {
    const auto import = options.GtxOnly ? ImportGtx : FormatsModule().Import;
    imported = import(options.File, session.DataDir, options.Name.value_or(stem), options.Title.value_or(stem),
                      options.Overwrite, [&line](double done) { line.Update(done); });
    line.End();
  } catch (const TError& e) {
    line.End();
    std::cerr << "Error: " << e.what() << "\n";
    return ExitFailed;
  }
  const TModelSettings entry = ModelSettings(options.Entry, imported.Model);

  // The settings find the grid in their data folder: one given here becomes
  // theirs, and so does the folder used when they are new (they have none).
  std::optional<std::string> dataPath;
  if (global.DataDir || session.SettingsPath.empty()) dataPath = AbsolutePath(session.DataDir);
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
    std::cout << JsonDump(out) << '\n';
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

int RunExport(const TGlobalOptions& global, const TExportOptions& options) {
  const std::optional<TGridFormat> format = GridFormatNamed(options.Format);
  if (!format) throw TUsageError("no grid format " + options.Format + ": GTiff or GTX");
  TContext context(global);
  TSession& session = context.Session;
  const std::string custom = CustomGeoidFileName(session, context.Inputs.OutputName);
  std::string to = options.To.value_or("");
  if (!to.empty()) RequireNoFolder(to, "--to");
  if (to.empty()) to = FolderOf(custom) + BaseName(custom) + GridFormatExtension(*format);
  if (!OpenCustomFile(session, custom)) return ExitFailed;
  if (SameFile(to, custom)) {
    std::cerr << "Error: the grid file would replace the custom geoid file itself: " << to << "\n";
    return ExitFailed;
  }
  const TGeoidGrid& g = *session.CustomGrid;
  const double west = ExchangeWest(g.west, g.nlon, g.dlon);
  std::int64_t size = 0;
  TProgressLine line(global.Quiet);
  const TProgress progress = [&line](double done) { line.Update(done); };
  try {
    // GTX is written by the program's own code: it needs no GDAL.
    size = *format == TGridFormat::GTX
               ? ExportGtx(g, to, options.Overwrite, progress)
               : FormatsModule().Export(g, to, *format, BaseName(custom), options.Overwrite, progress);
    line.End();
  } catch (const TError& e) {
    line.End();
    std::cerr << "Error: " << e.what() << "\n";
    return ExitFailed;
  }
  if (global.Json) {
    const TJson out = {{"path", to},     {"format", *format == TGridFormat::GTiff ? "GTiff" : "GTX"},
                       {"size", size},   {"rows", g.nlat},
                       {"cols", g.nlon}, {"south", g.south},
                       {"west", west},   {"dlat", g.dlat},
                       {"dlon", g.dlon}};
    std::cout << JsonDump(out) << '\n';
  } else {
    std::cout << (*format == TGridFormat::GTiff ? "GeoTIFF file: " : "GTX file: ") << to << '\n'
              << "Size: " << IntToGroupedStr(size) << " bytes, " << g.nlat << " rows x " << g.nlon << " columns\n"
              << "Southwest node: " << ShortestText(g.south) << ", " << ShortestText(west) << "; spacing "
              << ShortestText(g.dlat) << " x " << ShortestText(g.dlon) << " degrees\n";
  }
  return ExitDone;
}

int RunModels(const TGlobalOptions& global) {
  TContext context(global);
  TSession& session = context.Session;
  const int selected = context.Model;
  TJson models = TJson::array();
  bool any = false;
  const std::vector<std::string> folders = SourceFolders(session);
  if (!global.Json) {
    std::cout << "Data folder: " << session.DataDir << '\n';
    if (folders.size() > 1) {
      std::cout << "Source grids are looked for in:\n";
      for (const std::string& folder : folders) std::cout << "  " << folder << '\n';
    }
  }
  for (int i = 0; i < 2; ++i) {
    const TGeoidModel& m = session.GeoidModels[i];
    const TModelStatus status = ModelStatus(session, m);
    any = any || status.Usable;
    if (global.Json)
      models.push_back({{"entry", i},
                        {"title", m.title},
                        {"path", status.Path},
                        {"found", status.Found},
                        {"usable", status.Usable},
                        {"reason", status.Usable ? TJson(nullptr) : TJson(status.Reason)},
                        {"selected", i == selected}});
    else
      std::cout << (i == selected ? "* " : "  ") << i << "  " << m.title << "\n     " << status.Path
                << (status.Usable  ? ""
                    : status.Found ? "  (unusable: " + status.Reason + ")"
                                   : "  (missing)")
                << '\n';
  }
  if (global.Json)
    std::cout << JsonDump(TJson{{"dataDir", session.DataDir}, {"searched", folders}, {"models", models}}) << '\n';
  if (!any) {
    std::cerr << "No usable source grid file is in the data folder " << session.DataDir;
    for (std::size_t i = 1; i < folders.size(); ++i) std::cerr << (i == 1 ? " nor in " : ", ") << folders[i];
    std::cerr << "\n";
  }
  return any ? ExitDone : ExitFailed;
}

}  // namespace tessmar::cli
