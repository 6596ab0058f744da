#include "formats/Module.hpp"

#include "Version.hpp"

extern "C" __attribute__((visibility("default"))) const tessmar::TFormatsModule* TessmarFormatsModule() {
  static constexpr tessmar::TFormatsModule module{tessmar::VersionText, &tessmar::ImportRaster, &tessmar::ExportGrid,
                                                  &tessmar::FindCoastlineFile, &tessmar::ReadCoastlines};
  return &module;
}
