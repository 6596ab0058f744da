#include "accuracy/PointCheck.hpp"

#include <cmath>
#include <vector>

#include "base/CoordText.hpp"
#include "base/Numeric.hpp"
#include "grid/Interpolation.hpp"
#include "view/Grids.hpp"

namespace tessmar {

std::string CheckValueText(double value) { return std::isnan(value) ? "Out of range." : FormatFixed(value, 6, 4); }

namespace {
TPointValues PointValues(double source, double custom) {
  TPointValues v;
  v.Source = source;
  v.Custom = custom;
  v.Error = v.Custom - v.Source;
  v.SourceText = CheckValueText(v.Source);
  v.CustomText = CheckValueText(v.Custom);
  v.ErrorText = std::isnan(v.Error) ? "" : FormatFixed(v.Error, 6, 4);
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

TPointCheck ButtonCalcClick(TSession& session) {
  TView& view = session.View;
  TPointCheck check;
  if (!session.SourceOpen()) OpenSelectedModel(session);
  if (!session.SourceOpen()) return check;
  view.SetText(TControl::EditGeoid, "");
  view.ProcessMessages();

  check.Lat = ParseCoordinate(view.Text(TControl::EditLat));
  check.Lon = ParseCoordinate(view.Text(TControl::EditLon));
  TPointValues& v = check.Values;
  v.Source = SourceValue(session, check.Lat, check.Lon);
  v.SourceText = CheckValueText(v.Source);
  view.SetText(TControl::EditGeoid, v.SourceText);
  check.Checked = true;

  if (!CustomIsOpen(session)) OpenCustomFile(session, CustomGeoidFileName(session));
  check.CustomOpen = CustomIsOpen(session);
  v.Custom = v.Error = NoValue();
  if (check.CustomOpen) {
    v.Custom = CustomValue(session, check.Lat, check.Lon);
    v.CustomText = CheckValueText(v.Custom);
    v.Error = v.Custom - v.Source;
    if (!std::isnan(v.Error)) v.ErrorText = FormatFixed(v.Error, 6, 4);
  }
  view.SetText(TControl::EditCustomGeoid, v.CustomText);
  view.SetText(TControl::EditError, v.ErrorText);
  return check;
}

}  // namespace tessmar
