// The conversion engine: a region and a resolution become a custom geoid file
// of nearest source nodes, written north to south.
// Runs on the session's thread; blocks of rows are computed ahead on a thread
// of its own (session/Rows.hpp), which it joins before it returns.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "convert/Resolution.hpp"
#include "grid/Check.hpp"
#include "session/Session.hpp"

namespace tessmar {

// The corners of a region as read from the window's EditLat1, EditLon1
// (southwest) and EditLat2, EditLon2 (northeast), or from the command line:
// degrees, NaN for a corner that does not read.
struct TCorners {
  double South, West, North, East;
};

// What a conversion makes: the region and the output resolution in minutes
// (0: the source's own spacing; see ResolutionChoices).
struct TConversionPlan {
  TCorners Corners;
  int Resolution = 0;
};

// The region a conversion cuts, degrees: the corners snapped to whole cells of res,
// longitudes below 0 taken 360 further east, widened by three cells (or the
// whole circle of longitude: W = 0, E = 360 - res), latitudes held to -90..90.
// W may lie below 0 and E beyond 360 after the widening; W > E for a region
// across 0. nrows and ncols are the last row's and column's index, negative
// for crossed corners. Throws TError "Invalid floating point operation" for a
// corner that does not read as a coordinate.
struct TCutRegion {
  double S, W, N, E;
  std::int64_t nrows, ncols;
  bool WholeCircle;
  TCorners Snapped;  // the corners on whole cells, as typed otherwise: before the turn added and the margins
};
TCutRegion CutRegion(const TCorners& corners, double res);

// Why a region cannot be cut.
enum class TRangeFault : std::uint8_t {
  None,
  Rows,     // the south corner lies more than six cells and a half north of the north corner
  Columns,  // the corners give a negative count of columns (longitudes more than a turn apart)
  Size,     // the file would be 2 GiB or more
};

// What a cut did with the region typed: values for the report, which the
// Convert command words. Known once the corners have been read and snapped.
struct TCutFacts {
  bool Known = false;
  double Res = 0;       // the output spacing, degrees
  TCorners Typed{};     // as the plan gives them
  TCutRegion Region{};  // snapped, widened; its counts
  TRangeFault Fault = TRangeFault::None;
  double Bytes = 0;               // the file's size as the counts give it
  double North = 0, East = 0;     // Written: the first row's latitude and the last column's longitude
  std::int64_t NoValueNodes = 0;  // Written: nodes that hold no value (outside the source grid, or none there)
  bool WideAcross180 = false;     // not the whole circle, across 180 degrees and more than 180 degrees wide
};

// A corner that the snap moved, by as much as a report shows (0.001" of arc;
// less is the arithmetic's hair on a corner already whole): "south", "west",
// "north" or "east", in that order, as typed and as snapped.
struct TMovedCorner {
  const char* Name;
  double Typed, Snapped;
  bool Latitude;
};
std::vector<TMovedCorner> MovedCorners(const TCutFacts& cut);

// What the engine did. Size is the file's size in bytes when Written, else 0.
enum class TEngineOutcome : std::uint8_t { Written, Aborted, RangeError, Failed };
struct TEngineResult {
  TEngineOutcome Outcome = TEngineOutcome::Failed;
  std::int64_t Size = 0;
  TCustomTrailer Trailer{};  // the geometry written, when Written
  std::string Reason;        // Failed: why, with the path, in the system's words where it has some
  TCutFacts Cut;             // the region, once the corners were read
};

// Writes FileName from the plan's region, widened by three cells (or the whole
// circle of longitude), sampling the open SourceGrid. Shows progress and pumps messages
// once per row; stops between rows when AbortRequested is set.
// Aborted or Failed (a write failure) leave an existing file of that name
// untouched; RangeError (a negative count, or a file of 2 GiB or more) touches
// nothing. Throws TError "Invalid floating point operation" for a corner that
// does not read as a coordinate, before any file is touched.
TEngineResult MakeCustomGeoid(TSession& session, const TConversionPlan& plan, const std::string& FileName);

}  // namespace tessmar
