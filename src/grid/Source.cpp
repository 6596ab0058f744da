#include "grid/Source.hpp"

#include <limits>

namespace tessmar {

bool OpenModel(TSession& session, const TGeoidModel& model) {
  TGeoidGrid& grid = session.SourceGrid;
  grid.Close();
  bool opened = grid.OpenFile(TrimBlanks(session.DataDir + model.fname));
  if (opened) {
    grid.nrows = model.nrows;
    grid.ncols = model.ncols;
    grid.nlat = model.nlat;
    grid.nlon = model.nlon;
    grid.PrePad = model.PrePad;
    grid.south = model.glamn;
    grid.west = model.glomn;
    grid.dlat = model.dgla;
    grid.dlon = model.dglo;
    grid.ShiftsEast = false;
    try {
      grid.DeriveGeometry();
    } catch (const TError&) {
      grid.Close();
      opened = false;
    }
  }
  if (!opened)
    session.View.CenteredMessageDlg("Geoid file is not found: \r\n" + model.fname, TMsgDlgType::Error, mbOK, 0);
  return opened;
}

int SelectedModelIndex(const TSession& session) {
  return session.View.Text(TControl::ComboBoxGeoid) == session.GeoidModels[0].title ? 0 : 1;
}

void OpenSelectedModel(TSession& session) {
  if (SelectedModelIndex(session) == 0) {
    session.SourceOpen = OpenModel(session, session.GeoidModels[0]);
    session.View.SetText(TControl::RadioButton0, "2.5'");
  } else {
    session.View.SetText(TControl::ComboBoxGeoid, session.GeoidModels[1].title);
    session.SourceOpen = OpenModel(session, session.GeoidModels[1]);
    session.View.SetText(TControl::RadioButton0, "1.0'");
  }
}

void CloseSource(TSession& session) {
  session.SourceGrid.Close();
  session.SourceOpen = false;
}

void ReleaseSource(TSession& session) { session.SourceGrid.Close(); }

namespace {
std::int32_t NearestIndex(double position) {
  const double index = RoundToEven(position);
  // Also false for NaN: an index no grid has, rather than one wrapped onto a real node.
  return index >= std::numeric_limits<std::int32_t>::min() && index <= std::numeric_limits<std::int32_t>::max()
             ? static_cast<std::int32_t>(index)
             : std::numeric_limits<std::int32_t>::min();
}
}  // namespace

std::int32_t NearestRow(const TGeoidGrid& grid, double lat) {
  if (lat > 90)
    lat = 90;
  else if (lat < -90.00001)
    lat = -90;
  return NearestIndex(grid.RowPosition(lat));
}

std::int32_t NearestColumn(const TGeoidGrid& grid, double lon) {
  if (lon < 0)
    lon += 360;
  else if (lon > 360)
    lon -= 360;
  return NearestIndex(grid.ColPosition(lon));
}

float NearestNode(const TSession& session, double lat, double lon) {
  const TGeoidGrid& grid = session.SourceGrid;
  return grid.ReadNode(NearestRow(grid, lat), NearestColumn(grid, lon));
}

}  // namespace tessmar
