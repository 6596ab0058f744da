#include "accuracy/PointCheck.hpp"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <vector>

#include "base/Numeric.hpp"
#include "grid/Interpolation.hpp"
#include "session/Grids.hpp"

namespace tessmar {

char* WriteCheckValue(char* out, double value) {
  if (!std::isnan(value)) return WriteFixed(out, value, 6, 4);
  constexpr std::string_view none = "Out of range.";
  return std::copy(none.begin(), none.end(), out);
}

char* WriteCheckError(char* out, double error) { return std::isnan(error) ? out : WriteFixed(out, error, 6, 4); }

std::string CheckValueText(double value) {
  char text[FixedRoom];
  return std::string(text, WriteCheckValue(text, value));
}

namespace {
// The values and their texts; without a custom file (customOpen false) the
// custom and error texts are empty.
TPointValues PointValues(double source, double custom, bool customOpen = true) {
  TPointValues v;
  v.Source = source;
  v.Custom = custom;
  v.Error = v.Custom - v.Source;
  v.SourceText = CheckValueText(v.Source);
  if (customOpen) v.CustomText = CheckValueText(v.Custom);
  char text[FixedRoom];
  v.ErrorText.assign(text, WriteCheckError(text, v.Error));
  return v;
}
}  // namespace

TPointValues CheckPoint(const TSession& session, double lat, double lon) {
  return PointValues(SourceValue(session, lat, lon), CustomValue(session, lat, lon));
}

void CheckPoints(const TSession& session, const double* lats, const double* lons, std::size_t count,
                 TPointNumbers* out) {
  std::vector<double> source(count), custom(count);
  SourceValues(session.SourceGrid.get(), lats, lons, count, source.data());
  CustomValues(session.CustomGrid.get(), lats, lons, count, custom.data());
  for (std::size_t k = 0; k < count; ++k) out[k] = {source[k], custom[k], custom[k] - source[k]};
}

TPointCheck PointCheck(TSession& session, const TSelection& selection, double lat, double lon) {
  TView& view = session.View;
  TPointCheck check;
  if (session.Busy && (!session.SourceOpen() || !CustomIsOpen(session))) return check;
  if (!session.SourceOpen()) OpenSelectedModel(session, selection.Model);
  if (!session.SourceOpen()) return check;
  view.SetText(TControl::EditGeoid, "");
  view.ProcessMessages();

  const double source = SourceValue(session, lat, lon);
  view.SetText(TControl::EditGeoid, CheckValueText(source));
  check.Checked = true;

  if (!CustomIsOpen(session)) OpenCustomFile(session, CustomGeoidFileName(session, selection.CustomName));
  check.CustomOpen = CustomIsOpen(session);
  check.Values = PointValues(source, check.CustomOpen ? CustomValue(session, lat, lon) : NoValue(), check.CustomOpen);
  view.SetText(TControl::EditCustomGeoid, check.Values.CustomText);
  view.SetText(TControl::EditError, check.Values.ErrorText);
  return check;
}

}  // namespace tessmar
