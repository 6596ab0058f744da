// The window spline's bodies (the contract is grid/WindowSpline.hpp): the
// single point with its kept windows (TPointSpline), the lattice row
// (TLatticeRows) and the bilinear cell, over TGeoidGrid's mapped nodes.
#include "grid/WindowSpline.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "base/Numeric.hpp"
#include "grid/Circle.hpp"
#include "grid/Spline.hpp"

namespace tessmar {

namespace {

// An index beyond 32 bits is outside every grid.
bool FitsInt32(std::int64_t i) {
  return i >= std::numeric_limits<std::int32_t>::min() && i <= std::numeric_limits<std::int32_t>::max();
}
// A node by 64-bit indexes.
float Node(const TGeoidGrid& grid, std::int64_t row, std::int64_t column) {
  if (!FitsInt32(row) || !FitsInt32(column)) return NoValue();
  return grid.ReadNode(static_cast<std::int32_t>(row), static_cast<std::int32_t>(column));
}
// A column as TGeoidGrid::ReadRow takes it (WrappedColumn) by a 64-bit index.
std::int32_t WrappedColumn(const TGeoidGrid& grid, std::int64_t column) {
  return FitsInt32(column) ? grid.WrappedColumn(static_cast<std::int32_t>(column)) : -1;
}
double Wide(float value) { return static_cast<double>(value); }

// Bilinear value at grid coordinates (y rows south of row 0, x columns east of
// column 0); a fraction within 1e-5 of a node row or column snaps onto it.
double Bilinear(const TGeoidGrid& grid, double y, double x) {
  if (!FitsInt64(x) || !FitsInt64(y)) return NoValue();
  const std::int64_t c0 = Trunc(x), r0 = Trunc(y);
  const double fx = x - static_cast<double>(c0), fy = y - static_cast<double>(r0);
  if (c0 < 0 || c0 > grid.nlon || r0 < 0 || r0 > grid.nlat) return NoValue();

  // -1: not snapped; 0 or 1: on the node row or column at that offset.
  const auto snap = [](double f) { return std::fabs(f) < 1e-5 ? 0 : std::fabs(1 - f) < 1e-5 ? 1 : -1; };
  const int h = snap(fx), m = snap(fy);
  // Trunc takes a point up to a cell north of row 0 or west of column 0 into
  // the first cell, with a fraction below 0: outside, as a point beyond the
  // last row or column is, unless it snaps onto the first one. West of column
  // 0 on a whole-circle grid (a west edge a hair east of 0) is inside: kept.
  if ((fy < 0 && m < 0) || (fx < 0 && h < 0 && WrappedColumn(grid, -1) < 0)) return NoValue();

  if (h >= 0 && m >= 0) return Wide(Node(grid, r0 + m, c0 + h));
  if (m >= 0) {
    const float a = Node(grid, r0 + m, c0), b = Node(grid, r0 + m, c0 + 1);
    if (std::isnan(a) || std::isnan(b)) return NoValue();
    return Wide(a) * (1 - fx) + Wide(b) * fx;
  }
  if (h >= 0) {
    const float a = Node(grid, r0, c0 + h), b = Node(grid, r0 + 1, c0 + h);
    if (std::isnan(a) || std::isnan(b)) return NoValue();
    return Wide(a) * (1 - fy) + Wide(b) * fy;
  }
  const float nw = Node(grid, r0, c0), ne = Node(grid, r0, c0 + 1);
  const float sw = Node(grid, r0 + 1, c0), se = Node(grid, r0 + 1, c0 + 1);
  if (std::isnan(nw) || std::isnan(ne) || std::isnan(sw) || std::isnan(se)) return NoValue();
  return Wide(nw) * (1 - fx) * (1 - fy) + Wide(sw) * fy * (1 - fx) + Wide(ne) * fx * (1 - fy) + Wide(se) * fx * fy;
}

// The pieces of the n x n window spline, n <= 6, shared by the single point
// (TPointSpline) and the lattice row (TLatticeRows): a point's grid
// coordinates, whether its latitude takes the window, the value of a node row's
// spline at its column, and the column spline through those values. The row
// splines themselves are set up by lanes::SplineInit, several side by side.
struct TWindowPieces {
  // Grid column coordinate of a longitude, as the grid reads it (GridLongitude).
  static double Column(const TGeoidGrid& grid, double lon) {
    return grid.ColPosition(GridLongitude(lon, grid.west, grid.east, grid.ShiftsEast));
  }
  // Whether a latitude is far enough from the poles for the window.
  static bool WindowLatitude(const TGeoidGrid& grid, int n, double clampedLat) {
    return n > 2 && 90 - std::fabs(clampedLat) > grid.dlat * (n / 2.0 + 1);
  }
  // A row spline's value at the point's column offset tx = x - col0, stored.
  static float RowValue(int n, double tx, const TSplineArray& Y, const TSplineArray& R) {
    return static_cast<float>(SplineValue(n, tx, Y, R));
  }
  // The column spline through the row values C[1..n] at ty = y - row0, for
  // one point or for one point per lane.
  template <class Store>
  static auto ColumnValue(int n, double ty, const lanes::TArray<Store>& C) {
    lanes::TArray<Store> R{};
    lanes::SplineInit(n, C, R);
    return ColumnSplineValue(n, ty, C, R);
  }
  // The column spline's value once it is set up (R from lanes::SplineInit).
  template <class Store>
  static auto ColumnSplineValue(int n, double ty, const lanes::TArray<Store>& C, const lanes::TArray<Store>& R) {
    if (std::isnan(ty)) return decltype(lanes::Wide(C[1])){} + NoValue();
    return lanes::SplineValue(n, ty, C, R);
  }
};

// The n x n window spline of one grid, n <= 6. It keeps the row splines of the
// last window it used (a batch: of the last windows it used): they depend on
// the window's nodes alone, so a point that falls in a kept window costs no
// node read and no row spline set-up, and gives exactly what a fresh
// evaluation gives. Points come one at a time or in a batch; a batch sets up
// the column splines of its points lanes::Count at a time, in the same
// operations, so each point gets the bits it gets alone. Valid while the grid
// is unchanged; one per thread.
class TPointSpline {
  using P = TWindowPieces;

 public:
  TPointSpline(const TGeoidGrid& grid, int n) : FGrid(grid), FN(n) {}

  double operator()(double lat, double lon) { return FN == MaxWindow ? One<MaxWindow>(lat, lon) : One<0>(lat, lon); }

  // out[k] = (*this)(lats[k], lons[k]) for k < count.
  void operator()(const double* lats, const double* lons, std::size_t count, double* out) {
    if (FKept.empty()) FKept.resize(Kept);
    FN == MaxWindow ? Batch<MaxWindow>(lats, lons, count, out) : Batch<0>(lats, lons, count, out);
  }

 private:
  // The window side: Fixed when it is known where the code is written (the
  // loops over the window then unfold), else FN.
  template <int Fixed>
  int Side() const {
    return Fixed ? Fixed : FN;
  }

  template <int Fixed>
  double One(double lat, double lon) {
    TColumnInput in;
    if (!RowValues<Fixed>(Place(lat, lon), in)) return in.Value;
    return P::ColumnValue(Side<Fixed>(), in.Ty, in.C);
  }

  template <int Fixed>
  void Batch(const double* lats, const double* lons, std::size_t count, double* out) {
    const int n = Side<Fixed>();
    constexpr int Lanes = lanes::Count;
    std::size_t batch[Lanes];
    double ty[Lanes];
    lanes::TArray<lanes::TStoreN> C{};
    int m = 0;
    const auto flush = [&] {
      lanes::TArray<lanes::TStoreN> R{};
      lanes::SplineInit(n, C, R);
      // Where every point lies between the same two node rows (n even: always),
      // the lanes take their values side by side.
      const double j = std::floor(ty[0]);
      bool between = j >= 1 && j < n;
      lanes::TWideN u{};
      for (int l = 0; l < m; ++l) {
        between = between && ty[l] >= j && ty[l] < j + 1;
        u[l] = ty[l] - j;
      }
      if (between) {
        const lanes::TWideN v = lanes::SplineValueBetween(static_cast<int>(j), u, C, R);
        for (int l = 0; l < m; ++l) out[batch[l]] = v[l];
        m = 0;
        return;
      }
      for (int l = 0; l < m; ++l) {
        TSplineArray c{}, r{};
        for (int i = 1; i <= n; ++i) {
          c[i] = C[i][l];
          r[i] = R[i][l];
        }
        out[batch[l]] = P::ColumnSplineValue(n, ty[l], c, r);
      }
      m = 0;
    };
    // Each point is placed some points ahead of its evaluation, and the nodes
    // of its window asked for: they come from memory meanwhile.
    constexpr std::size_t Ahead = 16;
    TPlace places[Ahead];
    const auto place = [&](std::size_t k) {
      TPlace& p = places[k % Ahead];
      p = Place(lats[k], lons[k]);
      if (p.Window) FGrid.Prefetch(p.Row0 + 1, p.Col0 + 1, n, n);
    };
    for (std::size_t k = 0; k < std::min(Ahead, count); ++k) place(k);
    for (std::size_t k = 0; k < count; ++k) {
      const TPlace p = places[k % Ahead];
      if (k + Ahead < count) place(k + Ahead);
      // Where this point's window and the next one's are both new, they are
      // set up side by side.
      if constexpr (Fixed == MaxWindow)
        if (const TPlace& next = places[(k + 1) % Ahead]; p.Window && k + 1 < count && next.Window) {
          TWindow& a = KeptWindow(p.Row0, p.Col0);
          TWindow& b = KeptWindow(next.Row0, next.Col0);
          if (&a != &b && !a.Holds(p.Row0, p.Col0) && !b.Holds(next.Row0, next.Col0)) SetUpTwo(a, p, b, next);
        }
      TColumnInput in;
      if (!RowValues<Fixed>(p, in)) {
        out[k] = in.Value;
        continue;
      }
      for (int i = 1; i <= n; ++i) C[i][m] = in.C[i];
      ty[m] = in.Ty;
      batch[m++] = k;
      if (m == Lanes) flush();
    }
    if (m > 0) flush();
  }

  // What the column spline of one point takes: its row values and its row offset.
  struct TColumnInput {
    TSplineArray C{};
    double Ty = 0;
    double Value = 0;  // the point's value when it needs no column spline
  };

  // A point's grid coordinates and, where the window applies, the window's
  // origin: its nodes are rows row0 + 1 .. row0 + n, columns col0 + 1 .. col0 + n.
  struct TPlace {
    double X, Y;
    bool Window;
    std::int64_t Row0 = 0, Col0 = 0;
  };
  TPlace Place(double lat, double lon) const {
    lat = ClampLatitude(lat);
    TPlace p{P::Column(FGrid, lon), FGrid.RowPosition(lat), false};
    const double half = FN / 2.0;
    p.Window = P::WindowLatitude(FGrid, FN, lat) && FitsInt64(p.X - half) && FitsInt64(p.Y - half);
    if (p.Window) {
      p.Col0 = Trunc(p.X - half);
      p.Row0 = Trunc(p.Y - half);
    }
    return p;
  }

  // The n row splines at the point's column, or (false) the point's value
  // where the window does not apply.
  template <int Fixed>
  bool RowValues(const TPlace& p, TColumnInput& in) {
    const int n = Side<Fixed>();
    if (n > MaxWindow) {
      in.Value = NoValue();
      return false;
    }
    if (!p.Window) {
      in.Value = Bilinear(FGrid, p.Y, p.X);
      return false;
    }
    const TWindow& w = Window<Fixed>(p.Row0, p.Col0);
    if (w.Missing) {
      in.Value = Bilinear(FGrid, p.Y, p.X);
      return false;
    }
    const lanes::TWide8 rows = lanes::SplineValue(n, p.X - static_cast<double>(p.Col0), w.Y, w.R);
    for (int i = 1; i <= n; ++i) in.C[i] = static_cast<float>(rows[i - 1]);
    in.Ty = p.Y - static_cast<double>(p.Row0);
    return true;
  }

  // A window's row splines: node i, j of the window is Y[j], lane i - 1, so
  // the row splines are set up side by side. Missing: a node of the window is.
  struct TWindow {
    TWindow() {}  // Y and R are written when the window is set up, not before
    std::int64_t Row0 = 0, Col0 = 0;
    bool Have = false, Missing = false;
    lanes::TArray<lanes::TStore8> Y, R;
    bool Holds(std::int64_t row0, std::int64_t col0) const { return Have && Row0 == row0 && Col0 == col0; }
  };
  // A batch keeps this many windows, by the place of their origin (any 8 x 8
  // block of windows at once): the points of a survey come back to the same
  // few windows in any order, and each is set up once. 30 KB a batch.
  static constexpr std::size_t Kept = 64;

  // The window with origin row0, col0, set up unless kept.
  template <int Fixed>
  const TWindow& Window(std::int64_t row0, std::int64_t col0) {
    TWindow& w = FKept.empty() ? FLast : KeptWindow(row0, col0);
    if (!w.Holds(row0, col0)) {
      ReadWindow<Fixed>(w, row0, col0);
      if (!w.Missing) lanes::SplineInit(Side<Fixed>(), w.Y, w.R);
    }
    return w;
  }
  // A batch's place for the window with origin row0, col0.
  TWindow& KeptWindow(std::int64_t row0, std::int64_t col0) {
    const auto place = static_cast<std::uint64_t>(row0) * 8 + static_cast<std::uint64_t>(col0);
    return FKept[static_cast<std::size_t>(place % Kept)];
  }
  // The MaxWindow windows of the places p and q set up in a and b, side by side.
  [[gnu::noinline]] void SetUpTwo(TWindow& a, const TPlace& p, TWindow& b, const TPlace& q) {
    ReadWindow<MaxWindow>(a, p.Row0, p.Col0);
    ReadWindow<MaxWindow>(b, q.Row0, q.Col0);
    if (!a.Missing && !b.Missing) {
      lanes::SplineInitTwo(a.Y, a.R, b.Y, b.R);
      return;
    }
    if (!a.Missing) lanes::SplineInit(MaxWindow, a.Y, a.R);
    if (!b.Missing) lanes::SplineInit(MaxWindow, b.Y, b.R);
  }

  // The window's nodes into Y: each node row is read in one go, its columns
  // wrapped once for all rows; a missing node gives the window up (Missing).
  // Its row splines are the caller's to set up.
  template <int Fixed>
  [[gnu::noinline]] void ReadWindow(TWindow& w, std::int64_t row0, std::int64_t col0) {
    const int n = Side<Fixed>();
    w.Have = true;
    w.Row0 = row0;
    w.Col0 = col0;
    w.Missing = true;
    std::int32_t columns[MaxWindow];
    for (int j = 1; j <= n; ++j) columns[j - 1] = WrappedColumn(FGrid, col0 + j);
    float nodes[MaxWindow][MaxWindow];
    if (n < MaxWindow) std::memset(nodes, 0, sizeof nodes);  // the places no node fills
    if (!FitsInt32(row0 + 1) || !FitsInt32(row0 + n)) return;
    bool block = columns[0] >= 0;  // columns that need no wrap
    for (int j = 1; j < n; ++j) block = block && columns[j] == columns[0] + j;
    if constexpr (Fixed == 6 && std::endian::native == std::endian::little)
      if (block)
        if (const unsigned char* start = FGrid.BlockStart(static_cast<std::int32_t>(row0 + 1), columns[0], 6, 6)) {
          ReadBlock6(w, start, FGrid.RowBytes());
          return;
        }
    if (block)
      FGrid.ReadBlock(static_cast<std::int32_t>(row0 + 1), columns[0], static_cast<std::size_t>(n),
                      static_cast<std::size_t>(n), nodes[0], MaxWindow);
    if (!block)
      for (int i = 1; i <= n; ++i)
        FGrid.ReadRow(static_cast<std::int32_t>(row0 + i), columns, static_cast<std::size_t>(n), nodes[i - 1]);
    // Node rows to lanes (ReadBlock6 does this in registers for a 6 x 6
    // window inside the grid); NaN is the one value unequal to itself.
    using TFloat4 = float __attribute__((vector_size(16)));
    using TInt4 = std::int32_t __attribute__((vector_size(16)));
    TInt4 missing{};
    static_assert(sizeof nodes % sizeof(TFloat4) == 0);
    for (std::size_t k = 0; k < sizeof nodes / sizeof(TFloat4); ++k) {
      TFloat4 v;
      std::memcpy(&v, reinterpret_cast<const char*>(nodes) + k * sizeof v, sizeof v);
      missing |= v != v;
    }
    for (int j = 1; j <= n; ++j) {
      lanes::TStore8 y{};  // lanes past n stay 0
      for (int i = 1; i <= n; ++i) y[i - 1] = nodes[i - 1][j - 1];
      w.Y[j] = y;
    }
    w.Missing = missing[0] | missing[1] | missing[2] | missing[3];
  }

  // ReadWindow's quick way for a 6 x 6 window that lies wholly in the grid
  // and the file, from the stored bytes of its first node on, rows `stride`
  // bytes apart: each row read four and two nodes at a time, and turned into
  // lanes in registers. The same values as node by node.
  static void ReadBlock6(TWindow& w, const unsigned char* start, std::size_t stride) {
    using TBits4 = std::uint32_t __attribute__((vector_size(16)));
    using TBits2 = std::uint32_t __attribute__((vector_size(8)));
    TBits4 a[6];  // columns 1 .. 4 of each row
    TBits2 b[6];  // columns 5 and 6
    TBits4 bad{};
    for (int i = 0; i < 6; ++i) {
      std::memcpy(&a[i], start + i * stride, sizeof a[i]);
      std::memcpy(&b[i], start + i * stride + sizeof a[i], sizeof b[i]);
      a[i] = TGeoidGrid::PlausibleBits(a[i]);
      b[i] = TGeoidGrid::PlausibleBits(b[i]);
      const TBits2 none = b[i] == NoValueBits;
      bad |= (a[i] == NoValueBits) | TBits4{none[0], none[1], 0, 0};
    }
    // Rows 1 .. 4 by columns: a 4 x 4 turn of a[0..3], and the columns 5 and 6 of b[0..3].
    const TBits4 t0 = __builtin_shufflevector(a[0], a[1], 0, 4, 1, 5),
                 t1 = __builtin_shufflevector(a[0], a[1], 2, 6, 3, 7);
    const TBits4 t2 = __builtin_shufflevector(a[2], a[3], 0, 4, 1, 5),
                 t3 = __builtin_shufflevector(a[2], a[3], 2, 6, 3, 7);
    const TBits4 u01 = __builtin_shufflevector(b[0], b[1], 0, 2, 1, 3),
                 u23 = __builtin_shufflevector(b[2], b[3], 0, 2, 1, 3);
    const TBits4 low[6] = {
        __builtin_shufflevector(t0, t2, 0, 1, 4, 5),   __builtin_shufflevector(t0, t2, 2, 3, 6, 7),
        __builtin_shufflevector(t1, t3, 0, 1, 4, 5),   __builtin_shufflevector(t1, t3, 2, 3, 6, 7),
        __builtin_shufflevector(u01, u23, 0, 1, 4, 5), __builtin_shufflevector(u01, u23, 2, 3, 6, 7)};
    // Rows 5 and 6 by columns, the lanes past them 0.
    const TBits4 zero{};
    const TBits4 e0 = __builtin_shufflevector(a[4], a[5], 0, 4, 1, 5),
                 e1 = __builtin_shufflevector(a[4], a[5], 2, 6, 3, 7);
    const TBits4 f = __builtin_shufflevector(b[4], b[5], 0, 2, 1, 3);
    const TBits4 high[6] = {
        __builtin_shufflevector(e0, zero, 0, 1, 4, 4), __builtin_shufflevector(e0, zero, 2, 3, 4, 4),
        __builtin_shufflevector(e1, zero, 0, 1, 4, 4), __builtin_shufflevector(e1, zero, 2, 3, 4, 4),
        __builtin_shufflevector(f, zero, 0, 1, 4, 4),  __builtin_shufflevector(f, zero, 2, 3, 4, 4)};
    static_assert(sizeof(lanes::TStore8) == 2 * sizeof(TBits4));
    for (int j = 0; j < 6; ++j) {
      std::memcpy(&w.Y[j + 1], &low[j], sizeof low[j]);
      std::memcpy(reinterpret_cast<char*>(&w.Y[j + 1]) + sizeof low[j], &high[j], sizeof high[j]);
    }
    w.Missing = bad[0] | bad[1] | bad[2] | bad[3];
  }

  const TGeoidGrid& FGrid;
  int FN;
  TWindow FLast;               // the window of the last point, one at a time
  std::vector<TWindow> FKept;  // a batch's windows
};

// The window spline at every point of a lattice row: points at fixed
// longitudes, rows of latitudes one after the other (a scan's chunk of
// columns). Each point's column offset stays the same from row to row, so the
// value of a node row's spline at a point is formed once and kept while that
// node row stays in the point's window: a row costs each point one column
// spline, plus one row value per node row that enters the window. Every value
// is the one TPointSpline gives at the same point, bit for bit. One per thread.
class TLatticeRows {
  using P = TWindowPieces;

 public:
  TLatticeRows(const TGeoidGrid& grid, int n, const double* lons, std::size_t count)
      : FGrid(grid), FN(n), FX(count), FTx(count), FColumnOk(count), FSlot(count) {
    const double half = n / 2.0;
    for (std::size_t k = 0; k < count; ++k) {
      FX[k] = P::Column(grid, lons[k]);
      FColumnOk[k] = FitsInt64(FX[k] - half);
      const std::int64_t col0 = FColumnOk[k] ? Trunc(FX[k] - half) : 0;
      FTx[k] = FX[k] - static_cast<double>(col0);
      // Neighbours in the same window columns share its row splines.
      const bool same = k > 0 && FColumnOk[k] && FColumnOk[k - 1] && col0 == FSlotCol0.back();
      FSlot[k] = same ? FSlot[k - 1] : static_cast<std::int32_t>(FSlotCol0.size());
      if (!same) FSlotCol0.push_back(col0);
    }
    for (auto& row : FRows) {
      row.Values.resize(count);
      row.Complete.resize(FSlotCol0.size());
    }
    // Neighbouring windows overlap: where they span few columns, a node row's
    // nodes are read once into a segment and the windows take theirs from it.
    if (n > 2 && n <= MaxWindow && !FSlotCol0.empty()) {
      const auto [lo, hi] = std::minmax_element(FSlotCol0.begin(), FSlotCol0.end());
      if (*hi - *lo <= static_cast<std::int64_t>(4 * FSlotCol0.size() + 64)) {
        FSegmentFirst = *lo + 1;
        FSegment.resize(static_cast<std::size_t>(*hi - *lo + n));
      }
    }
  }

  // out[k] = TPointSpline(grid, n)(lat, lons[k]) for every point.
  void Row(double lat, double* out) {
    const TGeoidGrid& grid = FGrid;
    const int n = FN;
    const std::size_t count = FX.size();
    if (n > MaxWindow) {
      for (std::size_t k = 0; k < count; ++k) out[k] = NoValue();
      return;
    }
    lat = ClampLatitude(lat);
    const double y = grid.RowPosition(lat);
    const double half = n / 2.0;
    if (!P::WindowLatitude(grid, n, lat) || !FitsInt64(y - half)) {
      for (std::size_t k = 0; k < count; ++k) out[k] = Bilinear(grid, y, FX[k]);
      return;
    }
    const std::int64_t row0 = Trunc(y - half);
    const double ty = y - static_cast<double>(row0);
    std::array<const TNodeRow*, MaxWindow + 1> rows{};
    for (int i = 1; i <= n; ++i) rows[i] = &NodeRow(row0 + i, row0);
    // Points whose windows are complete go several at a time, one per lane.
    constexpr int Lanes = lanes::Count;
    std::size_t batch[Lanes];
    int m = 0;
    for (std::size_t k = 0; k < count; ++k) {
      bool complete = FColumnOk[k];
      for (int i = 1; i <= n && complete; ++i) complete = rows[i]->Complete[FSlot[k]];
      if (!complete) {
        out[k] = Bilinear(grid, y, FX[k]);
        continue;
      }
      batch[m++] = k;
      if (m < Lanes) continue;
      m = 0;
      lanes::TArray<lanes::TStoreN> C{};
      for (int i = 1; i <= n; ++i)
        for (int l = 0; l < Lanes; ++l) C[i][l] = rows[i]->Values[batch[l]];
      const lanes::TWideN v = P::ColumnValue(n, ty, C);
      for (int l = 0; l < Lanes; ++l) out[batch[l]] = v[l];
    }
    for (int l = 0; l < m; ++l) {
      TSplineArray C{};
      for (int i = 1; i <= n; ++i) C[i] = rows[i]->Values[batch[l]];
      out[batch[l]] = P::ColumnValue(n, ty, C);
    }
  }

 private:
  // One node row's spline values at every point, and whether each window's
  // nodes on that row all exist.
  struct TNodeRow {
    std::int64_t Row = 0;
    bool Have = false;
    std::vector<float> Values;
    std::vector<char> Complete;
  };

  // The node row's values, formed unless kept; a kept row outside the window
  // starting below row0 gives its place.
  const TNodeRow& NodeRow(std::int64_t row, std::int64_t row0) {
    TNodeRow* spare = nullptr;
    for (auto& r : FRows) {
      if (r.Have && r.Row == row) return r;
      if (!spare && (!r.Have || r.Row <= row0 || r.Row > row0 + FN)) spare = &r;
    }
    TNodeRow& r = *spare;
    r.Have = true;
    r.Row = row;
    // The windows' row splines set up several at a time, one per lane; then
    // each point takes its window's spline at its own column.
    constexpr int Lanes = lanes::Count;
    const std::size_t slots = FSlotCol0.size();
    for (std::size_t c = 0; c < FSegment.size(); ++c)
      FSegment[c] = Node(FGrid, row, FSegmentFirst + static_cast<std::int64_t>(c));
    const auto node = [&](std::int64_t column) {
      return FSegment.empty() ? Node(FGrid, row, column) : FSegment[static_cast<std::size_t>(column - FSegmentFirst)];
    };
    std::size_t k = 0;
    for (std::size_t first = 0; first < slots; first += Lanes) {
      const int m = static_cast<int>(std::min<std::size_t>(Lanes, slots - first));
      lanes::TArray<lanes::TStoreN> Y{}, R{};
      for (int l = 0; l < m; ++l) {
        bool complete = true;
        for (int j = 1; j <= FN && complete; ++j) {
          const float value = node(FSlotCol0[first + l] + j);
          complete = !std::isnan(value);
          if (complete) Y[j][l] = value;
        }
        r.Complete[first + l] = complete;
      }
      lanes::SplineInit(FN, Y, R);
      for (int l = 0; l < m; ++l) {
        const auto s = static_cast<std::int32_t>(first + l);
        TSplineArray y{}, q{};
        for (int j = 1; j <= FN; ++j) {
          y[j] = Y[j][l];
          q[j] = R[j][l];
        }
        for (; k < FX.size() && FSlot[k] == s; ++k)
          r.Values[k] = r.Complete[first + l] && FColumnOk[k] ? P::RowValue(FN, FTx[k], y, q) : 0.0f;
      }
    }
    return r;
  }

  const TGeoidGrid& FGrid;
  int FN;
  std::vector<double> FX, FTx;
  std::vector<char> FColumnOk;
  std::vector<std::int32_t> FSlot;
  std::vector<std::int64_t> FSlotCol0;
  std::int64_t FSegmentFirst = 0;
  std::vector<float> FSegment;  // nodes FSegmentFirst .. of the node row being read
  std::array<TNodeRow, MaxWindow> FRows;
};

}  // namespace

double BilinearValue(const TGeoidGrid& grid, double y, double x) { return Bilinear(grid, y, x); }

double WindowSpline(const TGeoidGrid& grid, int n, double lat, double lon) { return TPointSpline(grid, n)(lat, lon); }

struct TWindowSpline::TImpl {
  TPointSpline Spline;
};

TWindowSpline::TWindowSpline(const TGeoidGrid& grid, int n)
    : FImpl(std::make_unique<TImpl>(TImpl{TPointSpline(grid, n)})) {}
TWindowSpline::~TWindowSpline() = default;
TWindowSpline::TWindowSpline(TWindowSpline&&) noexcept = default;
TWindowSpline& TWindowSpline::operator=(TWindowSpline&&) noexcept = default;

double TWindowSpline::operator()(double lat, double lon) { return FImpl->Spline(lat, lon); }
void TWindowSpline::operator()(const double* lats, const double* lons, std::size_t count, double* out) {
  FImpl->Spline(lats, lons, count, out);
}

struct TLatticeSpline::TImpl {
  TLatticeRows Spline;
};

TLatticeSpline::TLatticeSpline(const TGeoidGrid& grid, int n, const double* lons, std::size_t count)
    : FImpl(std::make_unique<TImpl>(TImpl{TLatticeRows(grid, n, lons, count)})) {}
TLatticeSpline::~TLatticeSpline() = default;
TLatticeSpline::TLatticeSpline(TLatticeSpline&&) noexcept = default;
TLatticeSpline& TLatticeSpline::operator=(TLatticeSpline&&) noexcept = default;

void TLatticeSpline::Row(double lat, double* out) { FImpl->Spline.Row(lat, out); }

}  // namespace tessmar
