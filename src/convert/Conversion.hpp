// The conversion engine: a region and a resolution become a custom geoid file
// of nearest source nodes, written north to south.
#pragma once

#include <cstdint>
#include <string>

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
};
TCutRegion CutRegion(const TCorners& corners, double res);

// What the engine did. Size is the file's size in bytes when Written, else 0.
enum class TEngineOutcome : std::uint8_t { Written, Aborted, RangeError, Failed };
struct TEngineResult {
  TEngineOutcome Outcome = TEngineOutcome::Failed;
  std::int64_t Size = 0;
  TCustomTrailer Trailer{};  // the geometry written, when Written
  std::string Reason;        // Failed: why, with the path, in the system's words where it has some
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
