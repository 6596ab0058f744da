// Source geoid models and the grid shared by the source model and the custom
// geoid file.
//
// Row 0 is the northernmost node row, rows go south; column 0 lies at `west`,
// columns go east. Angles are degrees, node values metres (float32). A node that
// does not exist or does not read is NoValue() (NaN); no read ever fails
// otherwise. Reads of an open grid are safe from several threads at once.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "base/ByteOrder.hpp"
#include "base/MappedFile.hpp"
#include "base/Numeric.hpp"
#include "grid/Circle.hpp"

namespace tessmar {

// One source model of the catalogue: a grid file in DataDir and its layout.
struct TGeoidModel {
  std::string title;    // shown in ComboBoxGeoid
  std::string fname;    // file name, without folder
  std::int32_t nrows;   // records in the file
  std::int32_t ncols;   // record length in 4-byte words (the row stride)
  double glamn;         // latitude of the southernmost node row
  double glomn;         // longitude of node column 0
  double dgla;          // latitude spacing
  double dglo;          // longitude spacing
  std::int32_t nlat;    // node rows
  std::int32_t nlon;    // nodes per row
  std::int32_t PrePad;  // words before the first node of each record
  // Where the entry was read, as a message names it ("settings file PATH,
  // [EGM2008_25]"); empty for one the program made.
  std::string ReadFrom = {};
};

// Entry 0 is the 2.5' model (settings section EGM2008_25), entry 1 the 1' model
// (EGM2008_10).
using TGeoidModels = std::array<TGeoidModel, 2>;
TGeoidModels DefaultGeoidModels();

// What makes a catalogue entry describe no grid on the earth: the first key,
// in field order, whose value is wrong, and why. Counts of at least 1, a
// record that holds PrePad words and the nodes, nlat no more than nrows,
// spacings above 0 and below 360 that give nodes per degree, rows within
// -90..90 and columns spanning no more than the circle. Nothing when sound.
struct TModelFault {
  std::string Key, Reason;
};
std::optional<TModelFault> CheckModel(const TGeoidModel& model);
// The fault as the user is told it: "settings file PATH, [EGM2008_25] key
// dgla: " and why (ReadFrom; "catalogue entry TITLE," without it).
std::string ModelFaultText(const TGeoidModel& model, const TModelFault& fault);

// The grid file of a model in a data folder (blanks trimmed at both ends).
std::string ModelFilePath(const std::string& dataDir, const TGeoidModel& model);

// n(s): 100 / spacing rounded to the nearest integer, halves to even; the grid
// geometry uses it instead of the raw spacing. Throws TError when it cannot be
// formed (a spacing of 0, NaN or infinity).
std::int64_t NodeFactor(double spacing);
// NodesPerDegree(s) = n(s) / 100.
double NodesPerDegree(double spacing);

// What an operation reports when a grid's file was truncated under it
// (TGeoidGrid::FileChanged).
inline constexpr const char* SourceChangedText = "The source grid file changed while in use";
inline constexpr const char* CustomChangedText = "The custom geoid file changed while in use";

// The layout of a grid file: what a catalogue entry or a custom file's trailer
// says about it.
struct TGridLayout {
  std::int32_t nrows = 0;   // records in the file
  std::int32_t ncols = 0;   // row stride in 4-byte words
  std::int32_t nlat = 0;    // node rows 0 .. nlat - 1
  std::int32_t nlon = 0;    // columns 0 .. nlon - 1
  std::int32_t PrePad = 0;  // words before the first node of a row
  double south = 0;         // latitude of the last row
  double west = 0;          // longitude of column 0
  double dlat = 0;
  double dlon = 0;
  // Longitudes west of a grid that runs past 360 may lie 360 further east: a
  // custom grid across 0 degrees, or an imported regional one.
  bool ShiftsEast = false;
};

// The layout a catalogue entry describes.
TGridLayout ModelLayout(const TGeoidModel& model);

// An open grid file with its geometry, complete from the moment it exists:
// made only by Make, immutable after. Owns its mapping.
class TGeoidGrid {
 public:
  // The grid over a mapped file, its north, east and node factors derived from
  // the layout; null when a spacing gives no node factor (0, NaN, infinite, or
  // a factor of 0). The file's size is not checked here: every read is.
  static std::unique_ptr<TGeoidGrid> Make(TMappedFile file, const TGridLayout& layout);

  TGeoidGrid(const TGeoidGrid&) = delete;
  TGeoidGrid& operator=(const TGeoidGrid&) = delete;

  const std::int32_t nrows, ncols, nlat, nlon, PrePad;
  const double south, west, dlat, dlon;
  const double north;  // latitude of row 0
  const double east;   // one spacing east of the last column
  const bool ShiftsEast;

  std::int64_t FileSize() const noexcept { return FFile.Size(); }
  // Another program truncated the file while it was open: reads since have
  // found zeros where nodes were (TMappedFile::Changed). Checked once per row.
  bool FileChanged() const noexcept { return FFile.Changed(); }
  const unsigned char* Data() const noexcept { return FFile.Data(); }

  std::int64_t RowFactor() const noexcept { return FRowFactor; }  // n(dlat)
  std::int64_t ColFactor() const noexcept { return FColFactor; }  // n(dlon)
  bool Wraps() const noexcept { return FWraps; }

  // A longitude as this grid reads it (Circle.hpp).
  double GridLongitude(double lon) const noexcept { return tessmar::GridLongitude(lon, west, east, ShiftsEast); }

  // Fractional node positions, in float64 in this order: difference, times n, over 100.
  double RowPosition(double lat) const noexcept { return (north - lat) * static_cast<double>(FRowFactor) / 100; }
  double ColPosition(double lon) const noexcept { return (lon - west) * static_cast<double>(FColFactor) / 100; }

  // The node's value, or NaN: outside the grid (columns wrap once on a
  // whole-circle grid), past the end of the file, |value| >= 200, or stored NaN.
  float ReadNode(std::int32_t row, std::int32_t column) const noexcept {
    const std::int32_t c = WrappedColumn(column);
    if (row < 0 || row >= nlat || c < 0) return NoValue();
    const std::int64_t word = static_cast<std::int64_t>(row) * ncols + c + PrePad;
    // Checked against the real file: no geometry can make a read leave it.
    if (word < 0 || word >= FFile.Size() / 4) return NoValue();
    const float value = LoadFloat(FFile.Data() + 4 * word);
    return Plausible(value);
  }

  // A column as ReadNode takes it, wrapped once on a whole-circle grid; -1 when
  // no row has it. Lets a caller that reads many rows at the same columns wrap
  // each column once.
  std::int32_t WrappedColumn(std::int32_t column) const noexcept {
    std::int64_t c = column;
    if (FWraps) {
      if (c < 0)
        c += nlon;
      else if (c >= nlon)
        c -= nlon;
    }
    return c < 0 || c >= nlon ? -1 : static_cast<std::int32_t>(c);
  }

  // out[k] = ReadNode(row, column k) for columns given by WrappedColumn, exactly.
  void ReadRow(std::int32_t row, const std::int32_t* wrapped, std::size_t count, float* out) const noexcept {
    if (row < 0 || row >= nlat) {
      for (std::size_t k = 0; k < count; ++k) out[k] = NoValue();
      return;
    }
    const std::int64_t base = static_cast<std::int64_t>(row) * ncols + PrePad;
    const std::int64_t words = FFile.Size() / 4;
    const unsigned char* data = FFile.Data();
    if (base >= 0 && base < words) {
      // Without a branch: a column outside the file reads the row's first
      // word, and NoValue() in its place.
      const auto inFile = static_cast<std::uint64_t>(words - base);
      for (std::size_t k = 0; k < count; ++k) {
        const auto c = static_cast<std::uint64_t>(static_cast<std::int64_t>(wrapped[k]));
        const bool in = c < inFile;
        const auto bits =
            std::bit_cast<std::uint32_t>(LoadFloat(data + 4 * (base + static_cast<std::int64_t>(in ? c : 0))));
        out[k] = std::bit_cast<float>(in ? PlausibleBits(bits) : NoValueBits);
      }
      return;
    }
    for (std::size_t k = 0; k < count; ++k) {
      const std::int64_t word = base + wrapped[k];
      float value = NoValue();
      if (wrapped[k] >= 0 && word >= 0 && word < words) {
        value = Plausible(LoadFloat(data + 4 * word));
      }
      out[k] = value;
    }
  }

  // out[i * stride + k] = ReadNode(row + i, column + k) for i < rows and
  // k < count, exactly (NaN past 32-bit indexes): a block of nodes, such as a spline's window, read
  // without a branch a node where it lies in the grid and the file.
  void ReadBlock(std::int32_t row, std::int32_t column, std::size_t rows, std::size_t count, float* out,
                 std::size_t stride) const noexcept {
    const unsigned char* const start = BlockStart(row, column, rows, count);
    if (!start) {
      for (std::size_t i = 0; i < rows; ++i)
        for (std::size_t k = 0; k < count; ++k) {
          const std::int64_t r = row + static_cast<std::int64_t>(i), c = column + static_cast<std::int64_t>(k);
          // Past 32 bits is outside every grid (as for a run), not a column wrapped round to another.
          out[i * stride + k] = r > INT32_MAX || c > INT32_MAX
                                    ? NoValue()
                                    : ReadNode(static_cast<std::int32_t>(r), static_cast<std::int32_t>(c));
        }
      return;
    }
    for (std::size_t i = 0; i < rows; ++i) {
      // Each row's place from the first node's: no pointer runs past the last row.
      const unsigned char* data = start + i * RowBytes();
#pragma GCC unroll 8
      for (std::size_t k = 0; k < count; ++k)
        out[i * stride + k] =
            std::bit_cast<float>(PlausibleBits(std::bit_cast<std::uint32_t>(LoadFloat(data + 4 * k))));
    }
  }

  // Where ReadBlock's block lies in the file, its rows RowBytes() apart, when
  // all of it lies in the grid and the file (each node then reads as
  // PlausibleBits of its stored bits, in the file's byte order); nullptr
  // otherwise.
  const unsigned char* BlockStart(std::int32_t row, std::int32_t column, std::size_t rows,
                                  std::size_t count) const noexcept {
    const std::int64_t first = static_cast<std::int64_t>(row) * ncols + column + PrePad;
    const std::int64_t end = first + (static_cast<std::int64_t>(rows) - 1) * ncols + static_cast<std::int64_t>(count);
    if (row < 0 || row + static_cast<std::int64_t>(rows) > nlat || column < 0 ||
        column + static_cast<std::int64_t>(count) > nlon || ncols < static_cast<std::int64_t>(count) || first < 0 ||
        end > FFile.Size() / 4)
      return nullptr;
    return FFile.Data() + 4 * first;
  }
  std::size_t RowBytes() const noexcept { return 4 * static_cast<std::size_t>(ncols); }

  // Plausible on the bits of a stored value, or of several side by side (a
  // vector of them): |v| < 200 compares the bits of |v| (NaN and infinity are
  // above those of 200); anything else gives NoValue's bits.
  template <class Bits>
  static Bits PlausibleBits(Bits bits) noexcept {
    return (bits & 0x7FFFFFFFu) < std::bit_cast<std::uint32_t>(200.0f) ? bits : Bits{} + NoValueBits;
  }

  // out[k] = ReadNode(row, column + k) for k < count, exactly (NaN past 32-bit
  // columns): for columns that need no wrap, a run of the file taken with one
  // read call. Where the file is shorter than it was, the nodes are read as
  // ReadNode reads them.
  void ReadRun(std::int32_t row, std::int32_t column, std::size_t count, float* out) const noexcept;

  // Asks the processor for the nodes of rows row .. row + rows - 1, columns
  // column .. column + columns - 1, ahead of their reads. A hint: it reads
  // nothing, and outside the file does nothing. Always inlined: GCC takes a
  // function that only prefetches for one without effect, and drops its calls.
  [[gnu::always_inline]] void Prefetch(std::int64_t row, std::int64_t column, int rows, int columns) const noexcept {
    // Rows and columns of the grid only: a point far outside asks for nothing (nor overflows).
    if (row < 0 || row >= nlat || column < 0 || column >= nlon) return;
    const std::int64_t words = FFile.Size() / 4;
    for (int i = 0; i < rows; ++i) {
      const std::int64_t first = (row + i) * ncols + column + PrePad, last = first + columns - 1;
      if (first < 0 || last >= words) continue;
      __builtin_prefetch(FFile.Data() + 4 * first);
      __builtin_prefetch(FFile.Data() + 4 * last);
    }
  }

  // Tells the kernel that the rows first .. last are about to be read once, in
  // order (TMappedFile::AdviseSequential).
  void AdviseRows(std::int32_t first, std::int32_t last) const noexcept {
    if (first > last) return;
    const std::int64_t begin = (static_cast<std::int64_t>(first) * ncols + PrePad) * 4;
    FFile.AdviseSequential(begin, (static_cast<std::int64_t>(last) - first + 1) * ncols * 4);
  }

  // A stored value as a node reads it: no undulation reaches 200 m, so
  // anything else (NaN included) is a node without a value.
  static float Plausible(float v) noexcept {
    return std::bit_cast<float>(PlausibleBits(std::bit_cast<std::uint32_t>(v)));
  }

  // A little-endian float32 at p.
  static float LoadFloat(const unsigned char* p) noexcept { return LoadLittle<float>(p); }

 private:
  TGeoidGrid(TMappedFile file, const TGridLayout& layout, std::int64_t rowFactor, std::int64_t colFactor);

  TMappedFile FFile;
  const std::int64_t FRowFactor, FColFactor;
  const bool FWraps;
};

}  // namespace tessmar
