// GTX import: the input is the whole GTX file. An import either is refused
// with the GTX refusal message or writes a source grid whose nearest node at every
// GTX node's place is that node's value (NaN for no data).
#include <cmath>

#include "FuzzSupport.hpp"
#include "grid/Gtx.hpp"
#include "grid/Source.hpp"

using namespace tessmar;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string gtx = fuzz::WriteInput("in.gtx", data, size);
  TGtxImport imported;
  try {
    imported = ImportGtx(gtx, fuzz::Scratch().Path(), "imported", "Imported", true);
  } catch (const TError& e) {
    // The file is there and the target may be replaced: only the GTX itself
    // can be refused, and it is, in the GTX refusal's words.
    FUZZ_CHECK(std::string(e.what()).rfind("Not a usable GTX grid: " + gtx + ": ", 0) == 0);
    return 0;
  }
  const TGtxHeader h = DecodeGtxHeader(data);
  FUZZ_CHECK(std::int64_t{h.rows} * h.cols * 4 + GtxHeaderSize == static_cast<std::int64_t>(size));
  const auto grid = OpenSourceGrid(fuzz::Scratch().Path(), imported.Model);
  FUZZ_CHECK(grid != nullptr);
  const TGeoidGrid& g = *grid;
  FUZZ_CHECK(g.FileSize() == imported.Size);

  // Each GTX node at its own place; longitudes brought near the circle exactly
  // (fmod is exact), as a user would give them. A closing column that repeats
  // the first was dropped: it is the first node's place. A west edge a hair
  // below 0 is 0, as the import places it: the grids read a longitude just
  // below 0 as just below 360, at the seam.
  double west = std::fmod(h.west, 360.0);
  if (west < 0 && west > -1e-9) west = 0;
  const std::int32_t cols = g.nlon < h.cols ? g.nlon : h.cols;
  std::int64_t checked = 0;
  for (std::int32_t r = 0; r < h.rows && checked < 4096; ++r)
    for (std::int32_t c = 0; c < cols && checked < 4096; ++c, ++checked) {
      const std::int64_t word = std::int64_t{r} * h.cols + c;
      const float v = LoadBig<float>(data + GtxHeaderSize + 4 * word);
      const float expected = v == GtxNoData || !(std::fabs(static_cast<double>(v)) < 200.0) ? NoValue() : v;
      const double lat = h.south + static_cast<double>(r) * h.dlat;
      const double lon = west + static_cast<double>(c) * h.dlon;
      FUZZ_CHECK(fuzz::SameBits(NearestNode(g, lat, lon), expected));
    }
  return 0;
}
