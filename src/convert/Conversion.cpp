#include "convert/Conversion.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "base/AtomicFile.hpp"
#include "base/ByteOrder.hpp"
#include "base/CoordText.hpp"
#include "base/WorkPool.hpp"
#include "grid/Circle.hpp"
#include "grid/Source.hpp"
#include "session/Rows.hpp"

namespace tessmar {

namespace {
// The count of sixtieths of a cell rounded, an exact half to the even
// neighbour, to whole cells of sixty: every corner on a node of the output
// lattice, so each node of a cut at a multiple of the source spacing lies on a
// source node. (A count already whole is kept as it is, bit for bit.)
double WholeCells(std::int64_t sixtieths) {
  std::int64_t cells = sixtieths / 60, rest = sixtieths % 60;
  if (rest < 0) rest += 60, --cells;
  if (rest > 30 || (rest == 30 && cells % 2 != 0)) ++cells;
  return static_cast<double>(cells) * 60;
}
}  // namespace

TCutRegion CutRegion(const TCorners& corners, double res) {
  // Corners snapped to whole cells; a corner that does not read throws here,
  // before any file is touched.
  const auto corner = [&](double v) { return WholeCells(Round(v * 60 / res)) * res / 60; };
  double S = corner(corners.South);
  double W = corner(corners.West);
  double N = corner(corners.North);
  double E = corner(corners.East);
  const TCorners snapped{S, W, N, E};

  const double typedW = W, typedE = E;
  W = EastFromZero(W);
  E = EastFromZero(E);
  const bool whole = RegionIsWholeCircle(typedW, typedE, W, E, res);
  if (whole) {
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
  return {S, W, N, E, nrows, ncols, whole, snapped};
}

namespace {
constexpr double MaxFileBytes = 2147483648.0;  // files stay below 2 GiB

// Rows are sampled and written in blocks of about this many bytes, each block
// one write, and sampled this many blocks ahead of the one being written, so
// that neither thread waits for the other while both keep up. The 1' world cut
// took 0.47 s with one block ahead, 0.36 s with two, 0.26 s with four to
// sixteen; with eight ahead, 0.29 s in 64 kB blocks and 0.25 s in 1 MB ones.
constexpr std::size_t BlockBytes = std::size_t{1} << 18;
constexpr std::int64_t AheadBlocks = 8;

// Nodes that hold no value among count: sixteen at a time in four lanes, so
// that the count costs the 1' globe a few hundredths of a second, not tenths.
std::int64_t NoValues(const float* values, std::size_t count) {
  using TFloats = float __attribute__((vector_size(16)));
  using TCounts = std::int32_t __attribute__((vector_size(16)));
  std::int64_t n = 0;
  std::size_t k = 0;
  while (count - k >= 16) {
    // A comparison is -1 in each lane where it holds: the lanes count down,
    // by 2^27 at most before they are added up.
    TCounts lanes{};
    const std::size_t end = k + std::min<std::size_t>((count - k) / 16 * 16, std::size_t{1} << 29);
    for (; k < end; k += 16) {
      TFloats a, b, c, d;
      std::memcpy(&a, values + k, sizeof a);
      std::memcpy(&b, values + k + 4, sizeof b);
      std::memcpy(&c, values + k + 8, sizeof c);
      std::memcpy(&d, values + k + 12, sizeof d);
      lanes += (a != a) + (b != b) + (c != c) + (d != d);
    }
    for (int l = 0; l < 4; ++l) n -= lanes[l];
  }
  for (; k < count; ++k) n += std::isnan(values[k]) ? 1 : 0;
  return n;
}

// A region, not the whole circle, whose snapped corners (brought into 0..360)
// run east over more than 180 degrees across 180 (or up to it: the margin
// takes it across): legitimate, and also what west and east typed the wrong
// way round give.
bool WideAcross180(const TCutRegion& region) {
  if (region.WholeCircle) return false;
  const double W = EastFromZero(region.Snapped.West), E = EastFromZero(region.Snapped.East);
  if (W > E) return E - W + 360 > 180 && (W <= 180 || E >= 180);  // across 0 too
  return E - W > 180 && W <= 180 && E >= 180;
}

}  // namespace

std::vector<TMovedCorner> MovedCorners(const TCutFacts& cut) {
  const TCorners &typed = cut.Typed, &snapped = cut.Region.Snapped;
  std::vector<TMovedCorner> moved;
  for (const TMovedCorner& c :
       {TMovedCorner{"south", typed.South, snapped.South, true}, TMovedCorner{"west", typed.West, snapped.West, false},
        TMovedCorner{"north", typed.North, snapped.North, true}, TMovedCorner{"east", typed.East, snapped.East, false}})
    if (std::fabs(c.Snapped - c.Typed) * 3600 >= 0.0005) moved.push_back(c);
  return moved;
}

TEngineResult MakeCustomGeoid(TSession& session, const TConversionPlan& plan, const std::string& FileName) {
  if (!session.SourceGrid) return {};  // nothing to sample: nothing touched
  TView& view = session.View;
  view.SetText(TControl::LabelMakeReport, "");
  ProgressStart(view);

  const double res = OutputResolution(plan.Resolution, session.SourceGrid->dlat);
  view.ReportAppend("Output resolution: " + FormatFixed(res * 60, 4, 1) + " minute");

  const TCutRegion region = CutRegion(plan.Corners, res);
  const double W = region.W, N = region.N, S = region.S;
  const std::int64_t ncols = region.ncols, nrows = region.nrows;
  TEngineResult result;
  TCutFacts& cut = result.Cut;
  cut.Known = true;
  cut.Res = res;
  cut.Typed = plan.Corners;
  cut.Region = region;
  cut.Bytes = static_cast<double>(nrows + 1) * static_cast<double>(ncols + 1) * 4 + CustomTrailerSize;
  cut.WideAcross180 = WideAcross180(region);
  result.Outcome = TEngineOutcome::RangeError;
  cut.Fault = nrows < 0 ? TRangeFault::Rows : ncols < 0 ? TRangeFault::Columns : TRangeFault::None;
  if (cut.Fault != TRangeFault::None) return result;
  if (cut.Bytes >= MaxFileBytes) {
    cut.Fault = TRangeFault::Size;
    return result;
  }

  // The custom file may be the one about to be replaced. The source grid in use
  // stays open: the Convert command closes it when the engine returns.
  session.CustomGrid.reset();

  result.Outcome = TEngineOutcome::Failed;
  TAtomicFile file(FileName);
  const auto failed = [&] {
    result.Reason = file.Failure();
    return result;
  };
  if (!file.Create()) return failed();
  // NearestNode node by node, its row taken once per row and its columns once
  // for all rows: they depend on j alone.
  const TGeoidGrid& source = *session.SourceGrid;
  const auto nodes = static_cast<std::size_t>(ncols + 1);
  std::vector<std::int32_t> columns(nodes);
  for (std::size_t j = 0; j < nodes; ++j)
    columns[j] = source.WrappedColumn(NearestColumn(source, static_cast<double>(j) * res + W));
  // Blocks of rows are sampled a few blocks ahead of their writing, each
  // written with one write. Handlers run inside a pump only read the grids
  // while Busy, so the sampling goes on.
  TRowWork work;
  work.LastRow = nrows;
  work.BlockRows =
      std::clamp<std::int64_t>(static_cast<std::int64_t>(BlockBytes / (nodes * sizeof(float))), 1, nrows + 1);
  work.Ahead = AheadBlocks;
  std::vector<std::vector<float>> blocks(RowSlots(work),
                                         std::vector<float>(static_cast<std::size_t>(work.BlockRows) * nodes));
  // At the source's own spacing the columns are runs of neighbouring nodes
  // (two where the region crosses the grid's edge): those are read as runs.
  std::vector<std::pair<std::size_t, std::size_t>> runs;  // first node, count
  for (std::size_t j = 0; j < nodes; ++j)
    if (j > 0 && columns[j] >= 0 && columns[j - 1] >= 0 && columns[j] == columns[j - 1] + 1)
      ++runs.back().second;
    else
      runs.emplace_back(j, 1);
  const bool inRuns = runs.size() * 8 <= nodes;
  const auto rowsOf = [&](std::int64_t first, std::int64_t last) {
    return static_cast<std::size_t>(last - first + 1) * nodes;
  };
  std::atomic<std::int64_t> noValues{0};  // a file of no-value nodes only is no custom geoid
  work.Compute = [&](std::int64_t first, std::int64_t last, std::size_t slot, const std::atomic<bool>&) {
    float* out = blocks[slot].data();
    for (std::int64_t i = first; i <= last; ++i, out += nodes) {
      const std::int32_t row = NearestRow(source, N - static_cast<double>(i) * res);
      if (!inRuns)
        source.ReadRow(row, columns.data(), nodes, out);
      else
        for (const auto& [from, count] : runs) source.ReadRun(row, columns[from], count, out + from);
    }
    noValues += NoValues(blocks[slot].data(), rowsOf(first, last));
    FloatsToLittle(blocks[slot].data(), rowsOf(first, last));
  };
  work.TakeBlock = [&](std::int64_t first, std::int64_t last, std::size_t slot) {
    return file.Write(blocks[slot].data(), rowsOf(first, last) * sizeof(float));
  };
  // The source rows are read once, north to south: through the mapping, unless
  // they are read as runs.
  const std::int32_t northRow = NearestRow(source, N),
                     southRow = NearestRow(source, N - static_cast<double>(nrows) * res);
  if (!inRuns)
    source.AdviseRows(std::max(0, std::min(northRow, southRow)),
                      std::min(source.nlat - 1, std::max(northRow, southRow)));
  switch (WalkRows(session, work)) {
    case TRowsEnd::Done: break;
    case TRowsEnd::Aborted:
      result.Outcome = TEngineOutcome::Aborted;
      return result;                          // the temporary file goes with `file`
    case TRowsEnd::Stopped: return failed();  // a write failed
  }
  if (noValues == static_cast<std::int64_t>(rowsOf(0, nrows))) {  // the temporary file goes with `file`
    result.Reason = "Nothing written to " + FileName + ": no node of the region has a value in the source grid";
    return result;
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
  if (!file.Write(bytes, sizeof bytes)) return failed();
  const std::int64_t size = file.Size();
  if (!file.Commit()) return failed();
  result.Outcome = TEngineOutcome::Written;
  result.Size = size;
  result.Trailer = trailer;
  cut.North = N;
  cut.East = static_cast<double>(ncols) * res + W;  // as the last column was sampled
  cut.NoValueNodes = noValues;
  return result;
}

}  // namespace tessmar
