#include "base/PointLine.hpp"

#include "base/CoordText.hpp"
#include "base/Text.hpp"

namespace tessmar {

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The field [from, to) of line with blanks trimmed, and its 1-based column.
std::string_view Field(std::string_view line, std::size_t from, std::size_t to, std::size_t& column) {
  while (from < to && IsBlank(line[from])) ++from;
  while (to > from && IsBlank(line[to - 1])) --to;
  column = from + 1;
  return line.substr(from, to - from);
}
}  // namespace

TPointLine ReadPointLine(std::string_view line) {
  TPointLine p;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  p.Text = line;
  const std::string_view content = TrimBlanksView(line);
  if (content.empty()) return p;
  if (content.front() == '#') {
    p.Kind = TPointLine::TKind::Comment;
    return p;
  }
  p.Kind = TPointLine::TKind::Refused;

  // The separator decides the form: ";" or a tab take degrees, minutes and
  // seconds; blanks or "," between two decimal numbers.
  std::size_t latEnd, lonStart, lonEnd, restStart;
  const std::size_t semicolon = line.find(';'), tab = line.find('\t');
  const bool dms = semicolon != std::string_view::npos || tab != std::string_view::npos;
  if (dms) {
    const char separator = semicolon != std::string_view::npos ? ';' : '\t';
    latEnd = line.find(separator);
    lonStart = latEnd + 1;
    lonEnd = line.find(separator, lonStart);
    if (lonEnd == std::string_view::npos) lonEnd = line.size();
    restStart = std::min(lonEnd + 1, line.size());
  } else {
    // Fields are runs of anything but blanks and ","; one "," and blanks around it part them.
    const auto skipSeparator = [&](std::size_t i) {
      while (i < line.size() && IsBlank(line[i])) ++i;
      if (i < line.size() && line[i] == ',') ++i;
      while (i < line.size() && IsBlank(line[i])) ++i;
      return i;
    };
    const auto fieldEnd = [&](std::size_t i) {
      while (i < line.size() && !IsBlank(line[i]) && line[i] != ',') ++i;
      return i;
    };
    const std::size_t latStart = skipSeparator(0);
    latEnd = fieldEnd(latStart);
    lonStart = skipSeparator(latEnd);
    if (lonStart == latEnd || lonStart >= line.size()) {
      p.Reason = "expected LAT;LON, LAT LON, LAT,LON or LAT<TAB>LON";
      return p;
    }
    lonEnd = fieldEnd(lonStart);
    restStart = skipSeparator(lonEnd);
  }
  std::size_t latColumn = 0, lonColumn = 0;
  p.Lat = Field(line, 0, latEnd, latColumn);
  p.Lon = Field(line, lonStart, lonEnd, lonColumn);
  p.Rest = line.substr(restStart);

  const auto read = [&](std::string_view text, TAxis axis, std::size_t column, double& value) {
    const TStrictCoordinate c = ReadStrictCoordinate(text, axis);
    if (c.Value) {
      value = *c.Value;
      return true;
    }
    p.Reason = "column " + std::to_string(column) + ": \"" + std::string(text) + "\" is not a " +
               (axis == TAxis::Latitude ? "latitude" : "longitude") + ": " + c.Reason;
    return false;
  };
  if (!read(p.Lat, TAxis::Latitude, latColumn, p.LatValue) || !read(p.Lon, TAxis::Longitude, lonColumn, p.LonValue))
    return p;
  // Decimal forms hold one number each: "35 30" there is a latitude and a longitude, never 35.5.
  if (!dms) {
    for (const auto& [text, column] : {std::pair{p.Lat, latColumn}, std::pair{p.Lon, lonColumn}})
      if (text.find_first_of(":'\"") != std::string_view::npos || text.find("\xC2\xB0") != std::string_view::npos) {
        p.Reason = "column " + std::to_string(column) +
                   ": degrees, minutes and seconds need \";\" or a tab between latitude and longitude";
        return p;
      }
  }
  p.Kind = TPointLine::TKind::Point;
  return p;
}

}  // namespace tessmar
