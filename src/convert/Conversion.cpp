#include "convert/Conversion.hpp"

#include <cmath>
#include <functional>
#include <semaphore>
#include <thread>
#include <vector>

#include "base/AtomicFile.hpp"
#include "base/ByteOrder.hpp"
#include "base/CoordText.hpp"
#include "grid/Circle.hpp"
#include "grid/Source.hpp"

namespace tessmar {

double OutputResolution(const TSession& session) {
  const TView& view = session.View;
  if (view.Checked(TControl::RadioButton5)) return 1.0 / 12;
  if (view.Checked(TControl::RadioButton10)) return 1.0 / 6;
  if (view.Checked(TControl::RadioButton15)) return 1.0 / 4;
  if (view.Checked(TControl::RadioButton20)) return 1.0 / 3;
  return session.SourceGrid ? session.SourceGrid->dlat : NoValue();
}

namespace {
constexpr double MaxFileBytes = 2147483648.0;  // files stay below 2 GiB

// Runs one job at a time on a second thread: the next row is sampled while the
// current one is written. Wait() returns only when the job is done, and the
// caller waits before every message pump, so no handler run inside the pump
// ever meets the worker reading a grid.
class TWorker {
 public:
  TWorker() : FThread([this] { Loop(); }) {}
  ~TWorker() {
    FStop = true;
    FStart.release();
    FThread.join();
  }
  void Start(std::function<void()> job) {
    FJob = std::move(job);
    FStart.release();
  }
  void Wait() { FDone.acquire(); }

 private:
  void Loop() {
    for (;;) {
      FStart.acquire();
      if (FStop) return;
      FJob();
      FDone.release();
    }
  }
  std::function<void()> FJob;
  std::binary_semaphore FStart{0}, FDone{0};
  bool FStop = false;
  std::thread FThread;
};

bool WriteFloats(TAtomicFile& file, std::vector<float>& values) {
  FloatsToLittle(values.data(), values.size());
  return file.Write(values.data(), values.size() * sizeof(float));
}
}  // namespace

TEngineResult MakeCustomGeoid(TSession& session, const std::string& FileName) {
  if (!session.SourceGrid) return {};  // nothing to sample: nothing touched
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
  if (RegionIsWholeCircle(W, E, res)) {
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
  TEngineResult result;
  result.Outcome = TEngineOutcome::RangeError;
  if (ncols < 0 || nrows < 0) return result;
  if (static_cast<double>(nrows + 1) * static_cast<double>(ncols + 1) * 4 + CustomTrailerSize >= MaxFileBytes)
    return result;

  // The custom file may be the one about to be replaced. The source grid in use
  // stays open: the Convert command closes it when the engine returns.
  session.CustomGrid.reset();

  result.Outcome = TEngineOutcome::Failed;
  TAtomicFile file(FileName);
  if (!file.Create()) return result;
  // NearestNode node by node, its row taken once per row and its columns once
  // for all rows: they depend on j alone.
  const TGeoidGrid& source = *session.SourceGrid;
  const auto nodes = static_cast<std::size_t>(ncols + 1);
  std::vector<std::int32_t> columns(nodes);
  for (std::size_t j = 0; j < nodes; ++j)
    columns[j] = source.WrappedColumn(NearestColumn(source, static_cast<double>(j) * res + W));
  std::vector<float> rows[2] = {std::vector<float>(nodes), std::vector<float>(nodes)};
  const auto sample = [&](std::int64_t i) {
    source.ReadRow(NearestRow(source, N - static_cast<double>(i) * res), columns.data(), nodes, rows[i % 2].data());
  };
  TWorker worker;
  sample(0);
  for (std::int64_t i = 0; i <= nrows; ++i) {
    if (i < nrows) worker.Start([&sample, i] { sample(i + 1); });
    const bool written = WriteFloats(file, rows[i % 2]);
    if (i < nrows) worker.Wait();
    if (source.FileChanged()) {  // its nodes read as zeros: nothing of this is written
      session.SourceGrid.reset();
      throw TError(SourceChangedText);
    }
    if (!written) return result;
    ProgressStep(view, i, nrows);
    view.ProcessMessages();
    if (session.AbortRequested) {  // the temporary file goes with `file`
      result.Outcome = TEngineOutcome::Aborted;
      return result;
    }
  }

  // Rows run down from N in whole cells. Where the corners are not whole cells
  // apart, record the latitude of the last row written, so the file reads back
  // where it was sampled.
  const double lastRow = N - static_cast<double>(nrows) * res;
  const TCustomTrailer trailer{static_cast<std::int32_t>(nrows + 1),
                               static_cast<std::int32_t>(ncols + 1),
                               std::fabs(lastRow - S) < 1e-9 ? S : lastRow,
                               W,
                               res,
                               res};
  unsigned char bytes[CustomTrailerSize];
  EncodeTrailer(trailer, bytes);
  if (!file.Write(bytes, sizeof bytes)) return result;
  const std::int64_t size = file.Size();
  if (!file.Commit()) return result;
  result = {TEngineOutcome::Written, size, trailer};
  return result;
}

}  // namespace tessmar
