// tessmar-cli check: one point, or a file of points.
#include "cli/Commands.hpp"

#include <cmath>
#include <cstdio>
#include <iostream>
#include <vector>

#include "accuracy/PointCheck.hpp"
#include "base/CoordText.hpp"
#include "base/Path.hpp"
#include "base/Text.hpp"
#include "cli/Context.hpp"
#include "view/Grids.hpp"
#include "view/RunHandler.hpp"

namespace tessmar::cli {

namespace {

// "LAT;LON" or "LAT<TAB>LON"; false for a line without either separator.
bool SplitPoint(std::string_view line, std::string_view& lat, std::string_view& lon) {
  const auto at = line.find_first_of(";\t");
  if (at == std::string_view::npos) return false;
  lat = line.substr(0, at);
  lon = line.substr(at + 1);
  return true;
}

// One output line for a point of --points.
void FormatPoint(const TSession& session, std::string_view latText, std::string_view lonText, bool json,
                 std::string& out) {
  const double lat = ParseCoordinate(latText), lon = ParseCoordinate(lonText);
  TPointValues v = CheckPoint(session, lat, lon);
  if (!session.CustomGrid) v.CustomText.clear();  // no custom file: the source value alone
  out.clear();
  if (json) {
    out += "{\"lat\":";
    AppendNumber(out, lat);
    out += ",\"lon\":";
    AppendNumber(out, lon);
    out += ",\"source\":";
    AppendNumber(out, v.Source);
    out += ",\"custom\":";
    AppendNumber(out, v.Custom);
    out += ",\"error\":";
    AppendNumber(out, v.Error);
    out += '}';
  } else {
    out.append(v.SourceText).append("\t").append(v.CustomText).append("\t").append(v.ErrorText);
  }
}

int RunCheckPoints(TContext& context, const TGlobalOptions& global, const std::string& source) {
  TSession& session = context.Session;
  OpenSelectedModel(session);
  if (!session.SourceOpen()) return ExitFailed;
  // Without the custom file each point still gets its source value; the
  // missing file was reported once, by the open.
  const bool custom = OpenCustomFile(session, CustomGeoidFileName(session));

  const std::optional<std::string> input = source == "-" ? ReadWholeStream(std::cin) : ReadWholeFile(source);
  if (!input) {
    std::cerr << "Error: cannot read " << source << "\n";
    return ExitUsage;
  }
  const std::string& text = *input;
  std::vector<std::string_view> lines;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }

  // Points are independent: blocks of them are evaluated on every core and
  // printed in input order.
  constexpr std::size_t block = 1 << 16;
  std::vector<std::string> out(std::min(block, lines.size()));
  std::vector<char> bad(out.size());
  int badLines = 0;
  for (std::size_t first = 0; first < lines.size(); first += block) {
    const std::size_t count = std::min(block, lines.size() - first);
#pragma omp parallel for schedule(dynamic, 1024)
    for (std::size_t k = 0; k < count; ++k) {
      std::string_view lat, lon;
      const std::string_view line = lines[first + k];
      bad[k] = TrimBlanksView(line).empty() ? 2 : !SplitPoint(line, lat, lon);
      if (!bad[k]) FormatPoint(session, lat, lon, global.Json, out[k]);
    }
    for (std::size_t k = 0; k < count; ++k) {
      if (bad[k] == 1) {
        ++badLines;
        std::cerr << "Error: line " << first + k + 1 << ": expected LAT;LON or LAT<TAB>LON\n";
      } else if (bad[k] == 0) {
        std::fwrite(out[k].data(), 1, out[k].size(), stdout);
        std::fputc('\n', stdout);
      }
    }
  }
  std::fflush(stdout);
  return badLines || !custom ? ExitFailed : ExitDone;
}

}  // namespace

int RunCheck(const TGlobalOptions& global, const TCheckOptions& options) {
  TContext context(global);
  if (!options.Points.empty()) return RunCheckPoints(context, global, options.Points);

  TCliView& view = context.View;
  TSession& session = context.Session;
  SetIfGiven(view, TControl::EditLat, options.Lat);
  SetIfGiven(view, TControl::EditLon, options.Lon);
  TPointCheck check;
  RunHandler(view, [&] { check = ButtonCalcClick(session); });
  if (!check.Checked) return ExitFailed;
  const TPointValues& v = check.Values;
  if (global.Json) {
    const TJson out = {{"lat", Number(check.Lat)},
                       {"lon", Number(check.Lon)},
                       {"source", Number(v.Source)},
                       {"custom", Number(v.Custom)},
                       {"error", Number(v.Error)}};
    std::cout << out.dump() << '\n';
  } else {
    std::cout << "Original(m): " << v.SourceText << '\n'
              << "Custom(m): " << v.CustomText << '\n'
              << "Error(m): " << v.ErrorText << '\n';
  }
  return check.CustomOpen ? ExitDone : ExitFailed;
}

}  // namespace tessmar::cli
