// Typed text to numbers, and coordinates to the text the reports show, with
// "." as the decimal separator whatever the user's locale. Nothing here throws
// or keeps state; all of it is thread-safe.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessmar {

// Degrees from decimal degrees or degrees, minutes and seconds, signed by "+",
// "-" or a compass letter (N, E positive; S, W negative): "35 30 N", "-10",
// "139 44 52.3", "35:30:00". NaN for an empty or blank text or a number that
// does not read ("1.2.3"). Ranges are not checked.
double ParseCoordinate(std::string_view text);

enum class TAxis : std::uint8_t { Latitude, Longitude };

// The command line's rule on top of ParseCoordinate, so that a typo never
// becomes a number: the text has a digit; holds only digits, ".", blanks, ":",
// "°", "'", "\"", a "+" or "-" at its start, and the hemisphere letters of its
// axis (N/S for latitudes, E/W for longitudes, either case) before its first or
// after its last number; not both a sign and a letter; at most three numbers,
// only the last with a fraction, minutes and seconds below 60; a latitude
// within -90..90, a longitude within -360..360. What it accepts reads exactly
// as ParseCoordinate reads it. Value, or the reason for the refusal.
struct TStrictCoordinate {
  std::optional<double> Value;
  std::string Reason;  // when refused: what is wrong, in a few words
};
TStrictCoordinate ReadStrictCoordinate(std::string_view text, TAxis axis);
// ReadStrictCoordinate's value where text, without blanks around it, is a plain
// decimal of at most 15 digits within the axis's range ("-35.605712");
// nothing otherwise. The quick way for the points of a file.
std::optional<double> PlainCoordinate(std::string_view text, TAxis axis);

// How a refused coordinate of an axis may be written instead (for messages):
// each axis with examples of its own hemisphere letters.
inline constexpr const char* CoordinateSpellings(TAxis axis) {
  return axis == TAxis::Latitude ? "35 40 37.8 N, 35:40:37.8 or 35\xC2\xB0"
                                   "40'37.8\""
                                 : "139 44 52.3 E, 77 2 10 W, 139:44:52.3 or 139\xC2\xB0"
                                   "44'52.3\"";
}

// A plain decimal number ("2.0", "-1", "1e1") between blanks; nothing when the
// text is empty, blank or does not read.
std::optional<double> ReadNumber(std::string_view text);

// ReadNumber, with 0 for nothing.
double ParseNumber(std::string_view text);

// A longitude as it is shown: brought down to 180 or below, a turn at a time
// (values below -180 stay), with a shortcut for values so large that turn by
// turn would take forever or change nothing.
double ShownLongitude(double lon) noexcept;

// One coordinate as the reports show it: latitude "%9.6f" and N/S, longitude
// brought into -180..180 from above and "%10.6f" and E/W.
std::string FormatLatLon(double value, bool isLatitude);

}  // namespace tessmar
