#include "base/PointLine.hpp"

#include <array>

#include "base/CoordText.hpp"
#include "base/Text.hpp"

namespace tessmar {

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// [first, last) of a line, and the 1-based column of its first character.
struct TField {
  std::string_view Text;
  std::size_t Column = 0;
};

// The field [from, to) of line with blanks trimmed.
TField Field(std::string_view line, std::size_t from, std::size_t to) {
  while (from < to && IsBlank(line[from])) ++from;
  while (to > from && IsBlank(line[to - 1])) --to;
  return {line.substr(from, to - from), from + 1};
}

// Begins as a number or a coordinate does: a digit, a sign, a point before a digit.
bool BeginsLikeANumber(std::string_view text) {
  if (text.empty()) return false;
  const char c = text[0];
  return IsDigit(c) || c == '+' || c == '-' || (c == '.' && text.size() > 1 && IsDigit(text[1]));
}

// Digits, points, signs and blanks only: numbers without a mark or a letter.
bool BareNumbers(std::string_view text) {
  for (const char c : text)
    if (!(IsDigit(c) || c == '.' || c == '+' || c == '-' || IsBlank(c))) return false;
  return true;
}
bool WholeNumber(std::string_view text) {
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) text.remove_prefix(1);
  if (text.empty()) return false;
  for (const char c : text)
    if (!IsDigit(c)) return false;
  return true;
}
// Ends a refusal: how the point may be written.
std::string WriteItAs() { return std::string(". Write it as ") + PointLineSpellings; }
bool HemisphereLetter(std::string_view text) {
  return text.size() == 1 && std::string_view("NSEWnsew").find(text[0]) != std::string_view::npos;
}
}  // namespace

TPointLine ReadPointLine(std::string_view line) {
  TPointLine p;
  // CR LF, and a CR doubled before it (a file converted twice): no part of the line.
  while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  p.Text = line;
  const std::string_view content = TrimBlanksView(line);
  if (content.empty()) return p;
  if (content.front() == '#') {
    p.Kind = TPointLine::TKind::Comment;
    return p;
  }
  p.Kind = TPointLine::TKind::Refused;
  const auto refuse = [&](std::string reason) {
    p.Reason = std::move(reason);
    return p;
  };

  TField lat, lon;
  std::size_t restStart = line.size();
  char separator = 0;
  std::size_t latEnd = std::string_view::npos;
  for (const char s : {';', '\t', ','})
    if (latEnd = line.find(s); latEnd != std::string_view::npos) {
      separator = s;
      break;
    }
  if (separator) {
    std::size_t lonEnd = line.find(separator, latEnd + 1);
    if (lonEnd == std::string_view::npos) lonEnd = line.size();
    lat = Field(line, 0, latEnd);
    lon = Field(line, latEnd + 1, lonEnd);
    restStart = std::min(lonEnd + 1, line.size());
    // After a ",", as between blanks, what is kept begins at its first character.
    if (separator == ',')
      while (restStart < line.size() && IsBlank(line[restStart])) ++restStart;
  } else {
    // Words between blanks: the latitude, the longitude, then what is kept.
    std::array<TField, 4> words{};
    std::size_t count = 0, i = 0;
    while (count < words.size()) {
      while (i < line.size() && IsBlank(line[i])) ++i;
      if (i >= line.size()) break;
      const std::size_t start = i;
      while (i < line.size() && !IsBlank(line[i])) ++i;
      words[count++] = Field(line, start, i);
      if (count == 2) {
        while (i < line.size() && IsBlank(line[i])) ++i;
        restStart = i;
      }
    }
    lat = words[0];
    lon = words[1];
    p.LooksLikePoint = BeginsLikeANumber(lat.Text) || BeginsLikeANumber(lon.Text);
    if (count < 2) return refuse("expected LAT;LON, LAT<TAB>LON, LAT,LON or LAT LON");
    // Degrees, minutes and seconds between blanks: which words make which coordinate?
    const bool letterWord =
        HemisphereLetter(words[1].Text) || HemisphereLetter(words[2].Text) || HemisphereLetter(words[3].Text);
    const bool minutesAndMore = WholeNumber(words[0].Text) && WholeNumber(words[1].Text) &&
                                *ReadNumber(words[1].Text) < 60 && BeginsLikeANumber(words[2].Text);
    if (letterWord || minutesAndMore)
      return refuse("column " + std::to_string(lat.Column) +
                    ": degrees, minutes and seconds between blanks could make a point in more than one way" +
                    WriteItAs());
  }
  p.Lat = lat.Text;
  p.Lon = lon.Text;
  p.Rest = line.substr(restStart);
  p.LooksLikePoint = BeginsLikeANumber(lat.Text) || BeginsLikeANumber(lon.Text);
  if (separator == ',')
    for (const TField& f : {lat, lon})
      if (BareNumbers(f.Text) && f.Text.find_first_of(" \t") != std::string_view::npos)
        return refuse("column " + std::to_string(f.Column) + ": \"" + std::string(f.Text) +
                      "\" could be a number with a decimal comma, or degrees and minutes" + WriteItAs());

  const auto read = [&](const TField& f, TAxis axis, double& value) {
    if (const auto plain = PlainCoordinate(f.Text, axis)) {
      value = *plain;
      return true;
    }
    const TStrictCoordinate c = ReadStrictCoordinate(f.Text, axis);
    if (c.Value) {
      value = *c.Value;
      return true;
    }
    p.Reason = "column " + std::to_string(f.Column) + ": \"" + std::string(f.Text) + "\" is not a " +
               (axis == TAxis::Latitude ? "latitude" : "longitude") + ": " + c.Reason;
    return false;
  };
  if (!read(lat, TAxis::Latitude, p.LatValue) || !read(lon, TAxis::Longitude, p.LonValue)) return p;
  p.Kind = TPointLine::TKind::Point;
  return p;
}

}  // namespace tessmar
