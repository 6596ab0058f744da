// tessmar-cli map: the window's map of the selected source model, the region
// and the custom geoid file's extent, written as a PNG file.
#include <iostream>

#include "base/Numeric.hpp"
#include "base/Path.hpp"
#include "cli/Commands.hpp"
#include "cli/Context.hpp"
#include "grid/Source.hpp"
#include "picture/Map.hpp"
#include "session/Grids.hpp"

namespace tessmar::cli {

int RunMap(const TGlobalOptions& global, const TMapOptions& options) {
  TContext context(global);
  TSession& session = context.Session;
  const TConversionPlan plan =
      ReadPlan(context, options.South, options.West, options.North, options.East, options.Resolution);

  // The check point only when asked for: the settings' test point is the window's.
  const bool point = options.Lat && options.Lon;
  double lat = NoValue(), lon = NoValue();
  if (point) {
    lat = ReadCoordinate(options.Lat, "", TAxis::Latitude, "--lat");
    lon = ReadCoordinate(options.Lon, "", TAxis::Longitude, "--lon");
  }
  const TGeoidModel& model = session.GeoidModels[context.Model];
  const std::unique_ptr<TGeoidGrid> source = OpenSourceGrid(session.DataDir, model);
  if (!source)
    std::cerr << "Note: no relief: the model's grid file does not open: " << ModelFilePath(session.DataDir, model)
              << "\n";

  const std::string customPath = CustomGeoidFileName(session, context.Inputs.OutputName);
  const TMapInputs inputs = MapInputs(plan, source ? source->dlat : model.dgla, customPath, lat, lon);
  TMapScene scene;
  scene.Region = inputs.Region;
  scene.Custom = inputs.Custom;
  if (point) scene.Point = inputs.Point;
  TRelief relief;
  if (source) {
    relief = MakeRelief(*source, options.Width, FrameWest(scene));
    scene.Relief = &relief;
  }
  WritePng(options.Png, RenderMap(scene, options.Width), {{"Title", "Tessmar map"}});

  const auto box = [](const std::optional<TLatLonBox>& b) {
    return b ? TJson{{"south", b->S}, {"west", b->W}, {"north", b->N}, {"east", b->E}, {"wholeCircle", b->WholeCircle}}
             : TJson(nullptr);
  };
  if (global.Json) {
    TJson out = {{"path", options.Png},
                 {"width", options.Width},
                 {"height", options.Width / 2},
                 {"west", FrameWest(scene)},
                 {"model", source ? TJson(model.title) : TJson(nullptr)},
                 {"low", source ? Number(relief.Low) : TJson(nullptr)},
                 {"high", source ? Number(relief.High) : TJson(nullptr)},
                 {"region", box(scene.Region)},
                 {"custom", box(scene.Custom)}};
    std::cout << JsonDump(out) << '\n';
  } else {
    std::cout << "Map: " << options.Png << ", " << options.Width << " x " << options.Width / 2
              << " pixels, longitudes from " << FrameWest(scene) << "\n";
    if (source)
      std::cout << "Relief: " << model.title << ", " << FormatFixed(relief.Low, 0, 3) << " to "
                << FormatFixed(relief.High, 0, 3) << " m\n";
    if (scene.Region)
      std::cout << "Region: " << FormatLatLon(scene.Region->S, true) << "," << FormatLatLon(scene.Region->W, false)
                << " to " << FormatLatLon(scene.Region->N, true) << "," << FormatLatLon(scene.Region->E, false) << "\n";
    if (scene.Custom) std::cout << "Custom geoid: " << customPath << "\n";
  }
  return ExitDone;
}

}  // namespace tessmar::cli
