// Typed text to numbers, with "." as the decimal separator whatever the user's
// locale. Neither reader throws or keeps state; both are thread-safe.
#pragma once

#include <optional>
#include <string_view>

namespace tessmar {

// Degrees from decimal degrees or degrees, minutes and seconds, signed by "+",
// "-" or a compass letter (N, E positive; S, W negative): "35 30 N", "-10",
// "139 44 52.3", "35:30:00". NaN for an empty or blank text or a number that
// does not read ("1.2.3"). Ranges are not checked.
double ParseCoordinate(std::string_view text);

// A plain decimal number ("2.0", "-1", "1e1") between blanks; nothing when the
// text is empty, blank or does not read.
std::optional<double> ReadNumber(std::string_view text);

// ReadNumber, with 0 for nothing.
double ParseNumber(std::string_view text);

}  // namespace tessmar
