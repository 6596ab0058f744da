// tessmar-cli map: the window's map of the selected source model, the region
// and the custom geoid file's extent, written as a PNG file.
#include <iostream>

#include "base/CoordText.hpp"
#include "base/Numeric.hpp"
#include "base/Path.hpp"
#include "cli/Commands.hpp"
#include "cli/Context.hpp"
#include "formats/Loader.hpp"
#include "grid/Source.hpp"
#include "picture/Map.hpp"
#include "session/Grids.hpp"

namespace tessmar::cli {

int RunMap(const TGlobalOptions& global, const TMapOptions& options) {
  const bool world = options.Extent == "world";
  if (!world && options.Extent != "region")
    throw TUsageError("--extent: \"" + options.Extent + "\" is no extent: region or world");
  RequireNoFolder(options.Png, "--png");
  TContext context(global);
  TSession& session = context.Session;
  const TConversionPlan plan =
      ReadPlan(context, options.South, options.West, options.North, options.East, options.Resolution);
  // No region asked for: the custom geoid file's, when there is one, is the one to see.
  const bool regionGiven = options.South || options.West || options.North || options.East || options.Resolution;

  // The check point only when asked for: the settings' test point is the window's.
  const bool point = options.Lat && options.Lon;
  double lat = NoValue(), lon = NoValue();
  if (point) {
    lat = ReadCoordinate(context, options.Lat, "", TAxis::Latitude, "--lat", nullptr);
    lon = ReadCoordinate(context, options.Lon, "", TAxis::Longitude, "--lon", nullptr);
  }
  RefuseToReplace(options.Png, "PNG file", options.Overwrite);  // once the command line has been read
  const TGeoidModel& model = session.GeoidModels[context.Model];
  const std::string sourceFolder = SourceFolder(session, model);
  const std::unique_ptr<TGeoidGrid> source = OpenSourceGrid(sourceFolder, model);
  if (!source)
    std::cerr << "Note: no relief: the model's grid file does not open: " << ModelFilePath(sourceFolder, model) << "\n";

  const std::string customPath = CustomGeoidFileName(session, context.Inputs.OutputName);
  TMapScene scene = MapScene(plan, source ? source->dlat : model.dgla, customPath, lat, lon);
  if (!regionGiven && scene.Custom) scene.Region.reset();
  const std::optional<TLatLonBox>& shown = scene.Region ? scene.Region : scene.Custom;

  TMapFrame frame = TMapFrame::World(options.Width, FrameWest(scene));
  if (!world && shown) {
    const int height = options.Height.value_or(FittingHeight(*shown, options.Width));
    frame = FrameAround(*shown, options.Width, height);
  } else if (options.Height) {
    frame = TMapFrame::World(options.Width, *options.Height, FrameWest(scene));
  }
  TRelief relief;
  if (source) {
    relief = MakeRelief(*source, frame);
    scene.Relief = &relief;
  }
  const TCoastlines coast = LoadCoastlines(CoastResolution(frame));
  if (!coast.Note.empty()) std::cerr << "Note: " << coast.Note << "\n";
  scene.Coast = &coast.Lines;
  TFont font;
  if (!font.Loaded()) std::cerr << "Note: no degrees or numbers on the map: no typeface was found (fontconfig)\n";
  scene.Font = &font;
  WritePng(options.Png, RenderMap(scene, frame), {{"Title", "Tessmar map"}});

  const auto box = [](const std::optional<TLatLonBox>& b) {
    return b ? TJson{{"south", b->S}, {"west", b->W}, {"north", b->N}, {"east", b->E}, {"wholeCircle", b->WholeCircle}}
             : TJson(nullptr);
  };
  if (global.Json) {
    TJson out = {{"path", options.Png},
                 {"width", frame.Width},
                 {"height", frame.Height},
                 {"west", frame.West},
                 {"north", frame.North},
                 {"step", frame.Step},
                 {"model", source ? TJson(model.title) : TJson(nullptr)},
                 {"low", source ? Number(relief.Low) : TJson(nullptr)},
                 {"high", source ? Number(relief.High) : TJson(nullptr)},
                 {"coastlines", coast.Path.empty() ? TJson(nullptr) : TJson(coast.Path)},
                 {"region", box(scene.Region)},
                 {"custom", box(scene.Custom)}};
    std::cout << JsonDump(out) << '\n';
  } else {
    std::cout << "Map: " << options.Png << ", " << frame.Width << " x " << frame.Height
              << " pixels: " << FrameText(frame) << "\n";
    if (source)
      std::cout << "Relief: " << model.title << ", " << FormatFixed(relief.Low, 0, 3) << " to "
                << FormatFixed(relief.High, 0, 3) << " m\n";
    if (!coast.Path.empty()) std::cout << "Coastlines: " << coast.Path << "\n";
    if (scene.Region)
      std::cout << "Region: " << FormatLatLon(scene.Region->S, true) << "," << FormatLatLon(scene.Region->W, false)
                << " to " << FormatLatLon(scene.Region->N, true) << "," << FormatLatLon(scene.Region->E, false) << "\n";
    if (scene.Custom) std::cout << "Custom geoid: " << customPath << "\n";
  }
  return ExitDone;
}

}  // namespace tessmar::cli
