#include "accuracy/PointCheck.hpp"

#include <cmath>
#include <vector>

#include "base/Numeric.hpp"
#include "grid/Interpolation.hpp"
#include "session/Grids.hpp"

namespace tessmar {

std::string CheckValueText(double value) { return std::isnan(value) ? "Out of range." : FormatFixed(value, 6, 4); }

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
  if (!std::isnan(v.Error)) v.ErrorText = FormatFixed(v.Error, 6, 4);
  return v;
}
}  // namespace

TPointValues CheckPoint(const TSession& session, double lat, double lon) {
  return PointValues(SourceValue(session, lat, lon), CustomValue(session, lat, lon));
}

void CheckPoints(const TSession& session, const double* lats, const double* lons, std::size_t count,
                 TPointValues* out) {
  std::vector<double> source(count), custom(count);
  SourceValues(session.SourceGrid.get(), lats, lons, count, source.data());
  CustomValues(session.CustomGrid.get(), lats, lons, count, custom.data());
  for (std::size_t k = 0; k < count; ++k) out[k] = PointValues(source[k], custom[k]);
}

TPointCheck PointCheck(TSession& session, const TSelection& selection, double lat, double lon) {
  TView& view = session.View;
  TPointCheck check;
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
