// Small generated grids and a recording view for the core tests.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "grid/Check.hpp"
#include "grid/GeoidGrid.hpp"
#include "option/Settings.hpp"
#include "session/FieldView.hpp"
#include "session/Session.hpp"

namespace tessmar::test {

// A fresh folder under the system's temporary folder, removed with its contents.
class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  const std::string& Path() const { return FPath; }  // ends in "/"
  std::string File(const std::string& name) const { return FPath + name; }

 private:
  std::string FPath;
};

using TNodeFunction = std::function<float(int row, int column)>;

// A source grid file in the model's layout; record words outside the nodes hold
// a record-length marker, as in the published grids.
void WriteSourceGrid(const std::string& path, const TGeoidModel& model, const TNodeFunction& value);

// A custom geoid file: rows x cols nodes from value, then the trailer.
void WriteCustomFile(const std::string& path, const TCustomTrailer& trailer, const TNodeFunction& value);

// A GTX grid, encoded here independently of the program: the big-endian header,
// then value(row from the south, column) big-endian, rows x cols of them.
struct TGtxLayout {
  double south, west, dlat, dlon;
  std::int32_t rows, cols;
};
void WriteGtx(const std::string& path, const TGtxLayout& layout, const TNodeFunction& value);
// The header and the value at (row from the south, column) of a GTX file's bytes.
TGtxLayout GtxLayoutOf(const std::vector<unsigned char>& bytes);
float GtxValue(const std::vector<unsigned char>& bytes, const TGtxLayout& layout, int row, int column);

// What differs between the systems, in TestPlatform_posix.cpp and
// TestPlatform_windows.cpp.
// Truncates the file to nothing from a child process, as another program
// would while this one has it mapped: true when done, false when the system
// refuses (Windows, while the file is open here). Throws for other failures.
bool TruncateFromAnotherProcess(const std::string& path);
// The tests run on Windows (where "\\" and a drive's ":" separate paths too).
extern const bool OnWindows;
// The system refuses another program's truncation, write or replacement of a
// grid file while this one has it open (Windows), or allows all three (Linux).
extern const bool OpenFilesAreLocked;
// Makes a FIFO, a socket or (as root) a character device (the kernel's
// /dev/full) at path; false where the system has none or refuses (Windows, a
// device when not root).
enum class TSpecialFile { Fifo, Socket, Device };
bool MakeSpecialFile(const std::string& path, TSpecialFile kind);
// Sets an environment variable of this process; null removes it.
void SetEnvironment(const char* name, const char* value);
// Why a folder without write permission still takes new files from this
// process (root on Linux; Windows, where a folder's read-only attribute does
// not stop that); null when it does not.
const char* FolderPermissionsDoNotBind();
// Files this process writes may grow to `bytes` at most, a write beyond failing
// as on a full disk (Linux: RLIMIT_FSIZE, SIGXFSZ ignored); false where the
// system has no such limit (Windows).
bool LimitFileSize(std::int64_t bytes);

// A sparse file of the given size (reads as zeros) and single words poked into it.
void WriteSparseFile(const std::string& path, std::int64_t size);
void PokeWord(const std::string& path, std::int64_t word, float value);
void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes);
std::vector<unsigned char> ReadBytes(const std::string& path);

// A PNG file read back by libpng, independently of the program's writer:
// 8-bit RGBA pixels row by row from the top, and its text chunks.
struct TPng {
  int Width = 0, Height = 0;
  std::vector<std::array<std::uint8_t, 4>> Pixels;
  std::map<std::string, std::string> Text;
  std::array<std::uint8_t, 4> At(int x, int y) const { return Pixels.at(static_cast<std::size_t>(y) * Width + x); }
};
TPng ReadPng(const std::string& path);  // throws when it is no PNG file

// The tags of a little-endian TIFF file's first image by number, each its
// type, count and value bytes, wherever the file keeps them (so two files whose
// tags differ only in where they lie compare equal). Throws when it is no such
// file or a tag lies past its end.
struct TTiffTag {
  int Type = 0;
  std::uint32_t Count = 0;
  std::vector<unsigned char> Value;
  bool operator==(const TTiffTag&) const = default;
};
std::map<int, TTiffTag> ReadTiffTags(const std::string& path);
// The tags that say where the pixels' strips or tiles lie and how long they are.
inline constexpr int TiffPlacementTags[] = {273, 279, 324, 325};

// A model of the given spacing and extent; `west` column 0, rows from `south`.
TGeoidModel SmallModel(const std::string& fname, double spacing, double south, double west, int nlat, int nlon);

// A whole-globe model at 10 degrees, 19 rows of 36 nodes, written into dir
// (file "globe10") from value.
TGeoidModel WriteGlobe10(const TTempDir& dir, const TNodeFunction& value);

// Entry 0 of the session's catalogue becomes a 2.5' source over 19..51 N,
// 119..151 E (769 x 769 nodes, file "source25" in dir, with the real title), and
// DataDir becomes dir.
void UseRegionSource(TSession& session, const TTempDir& dir, const TNodeFunction& value);

struct TDialog {
  std::string Text;
  TMsgDlgType Kind;
  TMsgDlgButtons Buttons;
};

// A TFieldView that records every dialog and answers from a script (default: the
// dialog's default button, OK if present, else Yes).
class TRecorderView : public TFieldView {
 public:
  TModalResult CenteredMessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons,
                                  int helpContext) override;
  void ShowGeneralError(const std::string& text) override { GeneralErrors.push_back(text); }
  void ProcessMessages() override;

  std::vector<TDialog> Dialogs;
  std::vector<std::string> GeneralErrors;
  std::deque<TModalResult> Answers;
  int Pumps = 0;
  std::function<void()> OnPump;  // runs inside each pump, like a user's action
};

// The inputs a recorder's fields hold, read as the window reads its controls.
TInputs InputsOf(const TFieldView& view);

}  // namespace tessmar::test
