// The grid formats module (GDAL), loaded by the first operation that needs it
// and kept for the rest of the run: the one way both programs reach the
// formats layer, so that neither links GDAL nor pays for its start unless a
// command (or the map's coastlines) needs it.
// The first load is thread-safe (a function-local static); the module's
// functions are as thread-safe as their own headers say.
//
// A program that loads it gives it the layers below it (base and grid) from
// its own code: src/CMakeLists.txt links such a program with
// tessmar_gives_formats_module_names.
#pragma once

#include <string>

#include "base/Polyline.hpp"
#include "formats/Module.hpp"

namespace tessmar {

// The module's functions. Throws TError naming the module's file and why it
// cannot be loaded.
const TFormatsModule& FormatsModule();

// The coastlines of a resolution (CoastResolution) through the module: the
// lines and the file they came from, or none and a note saying why (the map is
// whole without them). Never throws.
struct TCoastlines {
  TPolylines Lines;
  std::string Path;  // "" when there are none
  std::string Note;  // why there are none, a phrase ("no coastlines: ..."); "" when they loaded
};
TCoastlines LoadCoastlines(char resolution);

}  // namespace tessmar
