// The grid formats module (GDAL), loaded by the first command that reads or
// writes a raster, and kept for the rest of the run.
#pragma once

#include "formats/Module.hpp"

namespace tessmar::cli {

// The module's functions. Throws TError naming the module's file and why it
// cannot be loaded.
const TFormatsModule& FormatsModule();

}  // namespace tessmar::cli
