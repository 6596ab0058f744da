#include "convert/Conversion.hpp"

#include <cmath>
#include <vector>

#include "accuracy/CoordText.hpp"
#include "grid/AtomicFile.hpp"
#include "grid/Check.hpp"
#include "grid/Source.hpp"

namespace tessmar {

double OutputResolution(const TSession& session) {
  const TView& view = session.View;
  if (view.Checked(TControl::RadioButton5)) return 1.0 / 12;
  if (view.Checked(TControl::RadioButton10)) return 1.0 / 6;
  if (view.Checked(TControl::RadioButton15)) return 1.0 / 4;
  if (view.Checked(TControl::RadioButton20)) return 1.0 / 3;
  return session.SourceGrid.dlat;
}

namespace {
constexpr double MaxFileBytes = 2147483648.0;  // files stay below 2 GiB

bool WriteFloats(TAtomicFile& file, std::vector<float>& values) {
  if constexpr (std::endian::native == std::endian::big)
    for (float& v : values) v = std::bit_cast<float>(__builtin_bswap32(std::bit_cast<std::uint32_t>(v)));
  return file.Write(values.data(), values.size() * sizeof(float));
}
}  // namespace

std::int64_t MakeCustomGeoid(TSession& session, const std::string& FileName) {
  TView& view = session.View;
  view.SetText(TControl::LabelMakeReport, "");
  ProgressStart(view);

  const double res = OutputResolution(session);
  view.ReportAppend("Output resolution: " + FormatFixed(res * 60, 4, 1) + " minute");

  // Corners snapped to a sixtieth of the spacing; a field that does not read
  // throws here, before any file is touched.
  const auto corner = [&](TControl field) {
    return static_cast<double>(Round(ParseCoordinate(view.Text(field)) * 60 / res)) * res / 60;
  };
  double S = corner(TControl::EditLat1);
  double W = corner(TControl::EditLon1);
  double N = corner(TControl::EditLat2);
  double E = corner(TControl::EditLon2);

  if (W < 0) W += 360;
  if (E < 0) E += 360;
  const bool wholeCircle = (W > E && std::fabs(E - W) < 8 * res) || E - W > 360 - 8 * res;
  if (wholeCircle) {
    W = 0;
    E = 360 - res;
  } else {
    W -= 3 * res;
    E += 3 * res;
  }
  // Counts in 64 bits: low 32 bits of a huge count could pass as a small one.
  const std::int64_t ncols = W > E ? Round((E - W + 360) / res) : Round((E - W) / res);
  S -= 3 * res;
  N += 3 * res;
  if (S < -90) S = -90;
  if (N > 90) N = 90;
  const std::int64_t nrows = Round((N - S) / res);
  if (ncols < 0 || nrows < 0) return -1;
  if (static_cast<double>(nrows + 1) * static_cast<double>(ncols + 1) * 4 + CustomTrailerSize >= MaxFileBytes)
    return -1;

  if (CustomIsOpen(session)) CloseCustomFile(session);

  TAtomicFile file(FileName);
  if (!file.Create()) return 0;
  std::vector<float> row(static_cast<std::size_t>(ncols + 1));
  for (std::int64_t i = 0; i <= nrows; ++i) {
    const double lat = N - static_cast<double>(i) * res;
    for (std::int64_t j = 0; j <= ncols; ++j)
      row[static_cast<std::size_t>(j)] = NearestNode(session, lat, static_cast<double>(j) * res + W);
    if (!WriteFloats(file, row)) return 0;
    ProgressStep(view, i, nrows);
    view.ProcessMessages();
    if (session.AbortRequested) return 0;  // the temporary file goes with `file`
  }

  // Rows run down from N in whole cells. Where the corners are not whole cells
  // apart, record the latitude of the last row written, so the file reads back
  // where it was sampled.
  const double lastRow = N - static_cast<double>(nrows) * res;
  const TCustomTrailer trailer{static_cast<std::int32_t>(nrows + 1), static_cast<std::int32_t>(ncols + 1),
                               std::fabs(lastRow - S) < 1e-9 ? S : lastRow, W, res, res};
  unsigned char bytes[CustomTrailerSize];
  EncodeTrailer(trailer, bytes);
  if (!file.Write(bytes, sizeof bytes)) return 0;
  const std::int64_t size = file.Size();
  return file.Commit() ? size : 0;
}

}  // namespace tessmar
