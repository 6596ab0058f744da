// The maximum error scan: a lattice over the custom grid, three nodes in from
// each edge, at the source spacing over a precision factor; at every point the
// source and the custom value by the 6 x 6 window spline; the largest and the
// most negative difference (custom - source) with their places, in LabelMaxG,
// LabelMinG and the report. A long operation: Busy, AbortRequested, progress
// and a message pump per row.
// MaximumErrorScan runs on the session's thread and hands the lattice's rows
// to its own work pool; PlanScan is pure and thread-safe.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/CoordText.hpp"  // FormatLatLon
#include "grid/GeoidGrid.hpp"
#include "session/Grids.hpp"
#include "session/Session.hpp"

namespace tessmar {

struct TScanExtreme {
  double Diff, Lat, Lon;
};

// LabelMaxG's or LabelMinG's text: name, "%5.3f" of the difference and "m", the place.
std::string ExtremeText(const char* name, const TScanExtreme& extreme);

// How a scan ended.
enum class TScanOutcome : std::uint8_t {
  NotRun,         // busy
  SourceMissing,  // the selected model's grid file did not open
  CustomMissing,  // the custom geoid file did not open
  Unnecessary,    // the custom grid has the source's spacing and nodes
  Done,
  Aborted,
  Failed,  // an error left the scan
};

// What a scan did, for front ends that report more than the labels.
struct TScanResult {
  TScanOutcome Outcome = TScanOutcome::NotRun;
  std::string Path;                            // the custom geoid file, once the scan got that far
  bool Scanned = false;                        // the lattice was walked (completely or until an abort)
  double Precision = 0;                        // after the precision rules
  std::int64_t LastRow = -1, LastColumn = -1;  // of the lattice (none when negative)
  std::int64_t Points = 0;                     // lattice points where both values exist
  std::optional<TScanExtreme> Max, Min;
  std::int64_t RowsScanned = 0;  // lattice rows walked: LastRow + 1 when Done, fewer when Aborted

  // The part of the lattice walked, 0 .. 1: 1 once Done (a lattice of no rows
  // at once), RowsScanned of LastRow + 1 rows when Aborted.
  double ScannedFraction() const {
    if (Outcome == TScanOutcome::Done || LastRow < 0) return 1;
    return static_cast<double>(RowsScanned) / static_cast<double>(LastRow + 1);
  }
};

// The scan's lattice: point (i, j) lies at North - i * DLat, West + j * DLon,
// degrees, for i in 0 .. LastRow and j in 0 .. LastColumn.
struct TScanLattice {
  std::int64_t LastRow, LastColumn;
  double North, West, DLat, DLon;
};

// The finest precision: a lattice row of the whole circle at 1' then holds
// about 2 million points (17 MB). A finer one is scanned at this one.
inline constexpr double MaxPrecision = 100;

// What a scan of a custom grid against its source will walk, from the
// precision asked for (lattice points per source spacing; 0 for a text that
// does not read). Pure.
struct TScanPlan {
  bool Unnecessary = false;  // the custom grid has the source's spacing and nodes: nothing to scan
  double Precision = 0;      // after the rules: 0 becomes 1, too coarse a lattice is refined, too fine coarsened
  const char* PrecisionText = nullptr;         // ComboBoxPrecision's new text, when a rule changed it
  std::int64_t LastRow = -1, LastColumn = -1;  // the lattice's (none when negative)
  double North = 0, West = 0;  // the north-west point, three custom cells in (none in longitude for a whole circle)
  double SourceDLat = 0, SourceDLon = 0;  // the source's spacings, Precision lattice steps each

  // Point (i, j), each from i and j afresh, the product divided first.
  double Lat(std::int64_t i) const { return North - SourceDLat * static_cast<double>(i) / Precision; }
  double Lon(std::int64_t j) const { return West + SourceDLon * static_cast<double>(j) / Precision; }
  TScanLattice Lattice() const {
    return {LastRow, LastColumn, North, West, SourceDLat / Precision, SourceDLon / Precision};
  }
};
TScanPlan PlanScan(const TGeoidGrid& source, const TGeoidGrid& custom, double precision);

// Receives the differences (custom - source, NaN where either value is
// missing) row by row, north to south, each row west to east, on the thread
// that runs the scan, once the row is complete. For pictures of the scan.
class TScanRowSink {
 public:
  virtual ~TScanRowSink() = default;
  virtual void Begin(const TScanLattice& lattice) = 0;
  virtual void Row(std::int64_t i, const double* diffs, std::size_t count) = 0;
};

// The whole scan, as the Check button of the maximum error group runs it, of
// the selection's custom file against its model, at `precision` (as
// ParseNumber reads ComboBoxPrecision). An error that leaves it propagates with
// Busy cleared; the fronts show it as any handler's error (RunHandler).
TScanResult MaximumErrorScan(TSession& session, const TSelection& selection, double precision,
                             TScanRowSink* sink = nullptr);

}  // namespace tessmar
