// The coordinate and number readers: the input is the text. No reader faults;
// whatever a strict reader accepts, the window's reader reads to the same number.
#include <cmath>
#include <optional>
#include <string_view>

#include "FuzzSupport.hpp"
#include "base/CoordText.hpp"

using namespace tessmar;

namespace {

// A strict reader and the window's reader that must agree with it.
struct TReaderPair {
  std::optional<double> (*Strict)(std::string_view);
  double (*Window)(std::string_view);
};

constexpr TReaderPair Pairs[] = {
    {&ReadNumber, &ParseNumber},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const double coordinate = ParseCoordinate(text);
  // The command line's strict rule: what it accepts, the window reads to the
  // same number, within the axis's range; a refusal says why.
  for (const TAxis axis : {TAxis::Latitude, TAxis::Longitude}) {
    const TStrictCoordinate strict = ReadStrictCoordinate(text, axis);
    if (strict.Value) {
      FUZZ_CHECK(fuzz::SameValue(coordinate, *strict.Value));
      FUZZ_CHECK(std::fabs(*strict.Value) <= (axis == TAxis::Latitude ? 90 : 360));
    } else {
      FUZZ_CHECK(!strict.Reason.empty());
    }
  }
  for (const TReaderPair& pair : Pairs) {
    const std::optional<double> strict = pair.Strict(text);
    if (strict) FUZZ_CHECK(fuzz::SameValue(pair.Window(text), *strict));
  }
  return 0;
}
