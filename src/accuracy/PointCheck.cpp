#include "accuracy/PointCheck.hpp"

#include <cmath>

#include "accuracy/CoordText.hpp"
#include "convert/ConvertCommand.hpp"
#include "grid/Check.hpp"
#include "grid/Interpolation.hpp"
#include "grid/Source.hpp"

namespace tessmar {

std::string CheckValueText(double value) { return std::isnan(value) ? "Out of range." : FormatFixed(value, 6, 4); }

TPointValues CheckPoint(const TSession& session, double lat, double lon) {
  TPointValues v;
  v.Source = SourceValue(session, lat, lon);
  v.Custom = CustomValue(session, lat, lon);
  v.Error = v.Custom - v.Source;
  v.SourceText = CheckValueText(v.Source);
  v.CustomText = CheckValueText(v.Custom);
  v.ErrorText = std::isnan(v.Error) ? "" : FormatFixed(v.Error, 6, 4);
  return v;
}

void ButtonCalcClick(TSession& session) {
  TView& view = session.View;
  if (!session.SourceOpen) OpenSelectedModel(session);
  if (!session.SourceOpen) return;
  view.SetText(TControl::EditGeoid, "");
  view.ProcessMessages();

  const double lat = ParseCoordinate(view.Text(TControl::EditLat));
  const double lon = ParseCoordinate(view.Text(TControl::EditLon));
  const double src = SourceValue(session, lat, lon);
  view.SetText(TControl::EditGeoid, CheckValueText(src));

  if (!CustomIsOpen(session)) OpenCustomFile(session, CustomGeoidFileName(session));
  double cus = NoValue();
  if (CustomIsOpen(session)) {
    cus = CustomValue(session, lat, lon);
    view.SetText(TControl::EditCustomGeoid, CheckValueText(cus));
  } else {
    view.SetText(TControl::EditCustomGeoid, "");
    view.SetText(TControl::EditError, "");
  }
  view.SetText(TControl::EditError, std::isnan(src) || std::isnan(cus) ? "" : FormatFixed(cus - src, 6, 4));
}

}  // namespace tessmar
