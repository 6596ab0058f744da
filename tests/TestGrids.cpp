#include "TestGrids.hpp"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "base/Path.hpp"

namespace tessmar::test {

namespace fs = std::filesystem;

TTempDir::TTempDir() {
  const fs::path root = fs::temp_directory_path();
  std::random_device entropy;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "tessmar-test-%08x", static_cast<unsigned>(entropy()));
    std::error_code error;
    if (fs::create_directory(root / name, error)) {  // false when it was there already
      // "/"-separated on Windows too, as paths typed there may be.
      const std::u8string path = (root / name).generic_u8string();
      FPath = AsFolder(std::string(path.begin(), path.end()));
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TTempDir::~TTempDir() {
  std::error_code ignored;
  fs::permissions(NativePath(FPath), fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(NativePath(FPath), ignored);
}

namespace {
void AppendFloat(std::vector<unsigned char>& out, float value) {
  unsigned char bytes[4];
  std::memcpy(bytes, &value, 4);  // the test machines are little-endian
  out.insert(out.end(), bytes, bytes + 4);
}
}  // namespace

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(NativePath(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::vector<unsigned char> ReadBytes(const std::string& path) {
  std::ifstream in(NativePath(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::map<int, TTiffTag> ReadTiffTags(const std::string& path) {
  const std::vector<unsigned char> bytes = ReadBytes(path);
  const auto checked = [&](std::uint64_t offset, std::uint64_t size) {
    if (offset > bytes.size() || size > bytes.size() - offset)
      throw std::runtime_error(path + ": a TIFF field lies past the file's end");
    return static_cast<std::size_t>(offset);
  };
  const auto number = [&](std::uint64_t offset, int size) {
    const std::size_t at = checked(offset, size);
    std::uint64_t value = 0;
    for (int k = size; k-- > 0;) value = value << 8 | bytes[at + k];
    return value;
  };
  if (bytes.size() < 8 || bytes[0] != 'I' || bytes[1] != 'I' || number(2, 2) != 42)
    throw std::runtime_error(path + ": not a little-endian TIFF file");
  // The sizes of the types BYTE (1) to DOUBLE (12).
  constexpr std::uint64_t TypeSize[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
  const std::uint64_t directory = number(4, 4);
  std::map<int, TTiffTag> tags;
  for (std::uint64_t k = 0, n = number(directory, 2); k < n; ++k) {
    const std::uint64_t entry = directory + 2 + 12 * k;
    TTiffTag tag;
    tag.Type = static_cast<int>(number(entry + 2, 2));
    tag.Count = static_cast<std::uint32_t>(number(entry + 4, 4));
    if (tag.Type < 1 || tag.Type > 12) throw std::runtime_error(path + ": a TIFF tag of an unknown type");
    const std::uint64_t size = TypeSize[tag.Type] * tag.Count;
    const std::size_t from = checked(size <= 4 ? entry + 8 : number(entry + 8, 4), size);
    tag.Value.assign(bytes.begin() + from, bytes.begin() + from + size);
    tags[static_cast<int>(number(entry, 2))] = tag;
  }
  return tags;
}

void WriteSourceGrid(const std::string& path, const TGeoidModel& m, const TNodeFunction& value) {
  std::vector<unsigned char> bytes;
  bytes.reserve(static_cast<std::size_t>(m.nrows) * m.ncols * 4);
  const float marker = std::bit_cast<float>(static_cast<std::uint32_t>(m.nlon * 4));
  for (int r = 0; r < m.nrows; ++r)
    for (int k = 0; k < m.ncols; ++k) {
      const int c = k - m.PrePad;
      AppendFloat(bytes, r < m.nlat && c >= 0 && c < m.nlon ? value(r, c) : marker);
    }
  WriteBytes(path, bytes);
}

void WriteCustomFile(const std::string& path, const TCustomTrailer& t, const TNodeFunction& value) {
  std::vector<unsigned char> bytes;
  for (int r = 0; r < t.rows; ++r)
    for (int c = 0; c < t.cols; ++c) AppendFloat(bytes, value(r, c));
  unsigned char trailer[CustomTrailerSize];
  EncodeTrailer(t, trailer);
  bytes.insert(bytes.end(), trailer, trailer + CustomTrailerSize);
  WriteBytes(path, bytes);
}

namespace {
template <class T>
void AppendBigEndian(std::vector<unsigned char>& out, T value) {
  unsigned char bytes[sizeof(T)];
  std::memcpy(bytes, &value, sizeof(T));
  out.insert(out.end(), std::rbegin(bytes), std::rend(bytes));
}
template <class T>
T LoadBigEndian(const unsigned char* p) {
  unsigned char bytes[sizeof(T)];
  std::reverse_copy(p, p + sizeof(T), bytes);
  T value;
  std::memcpy(&value, bytes, sizeof(T));
  return value;
}
}  // namespace

void WriteGtx(const std::string& path, const TGtxLayout& g, const TNodeFunction& value) {
  std::vector<unsigned char> bytes;
  for (double d : {g.south, g.west, g.dlat, g.dlon}) AppendBigEndian(bytes, d);
  AppendBigEndian(bytes, g.rows);
  AppendBigEndian(bytes, g.cols);
  for (int r = 0; r < g.rows; ++r)
    for (int c = 0; c < g.cols; ++c) AppendBigEndian(bytes, value(r, c));
  WriteBytes(path, bytes);
}

TGtxLayout GtxLayoutOf(const std::vector<unsigned char>& b) {
  if (b.size() < 40) throw std::runtime_error("no GTX header");
  return {LoadBigEndian<double>(&b[0]),  LoadBigEndian<double>(&b[8]),        LoadBigEndian<double>(&b[16]),
          LoadBigEndian<double>(&b[24]), LoadBigEndian<std::int32_t>(&b[32]), LoadBigEndian<std::int32_t>(&b[36])};
}

float GtxValue(const std::vector<unsigned char>& bytes, const TGtxLayout& g, int row, int column) {
  return LoadBigEndian<float>(&bytes.at(40 + (static_cast<std::size_t>(row) * g.cols + column) * 4));
}

void WriteSparseFile(const std::string& path, std::int64_t size) {
  WriteBytes(path, {});
  fs::resize_file(NativePath(path), static_cast<std::uintmax_t>(size));
}

void PokeWord(const std::string& path, std::int64_t word, float value) {
  std::fstream file(NativePath(path), std::ios::in | std::ios::out | std::ios::binary);
  file.seekp(word * 4);
  file.write(reinterpret_cast<const char*>(&value), 4);
  file.close();
  if (!file) throw std::runtime_error("cannot poke " + path);
}

TPng ReadPng(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) throw std::runtime_error("cannot open " + path);
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  TPng out;
  std::vector<png_bytep> rows;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    throw std::runtime_error("not a PNG file: " + path);
  }
  png_init_io(png, file);
  png_read_info(png, info);
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_read_update_info(png, info);
  out.Width = static_cast<int>(png_get_image_width(png, info));
  out.Height = static_cast<int>(png_get_image_height(png, info));
  out.Pixels.resize(static_cast<std::size_t>(out.Width) * out.Height);
  for (int y = 0; y < out.Height; ++y)
    rows.push_back(reinterpret_cast<png_bytep>(out.Pixels[static_cast<std::size_t>(y) * out.Width].data()));
  png_read_image(png, rows.data());
  png_read_end(png, info);
  png_textp text = nullptr;
  const int count = png_get_text(png, info, &text, nullptr);
  for (int k = 0; k < count; ++k) out.Text[text[k].key] = text[k].text;
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(file);
  return out;
}

TGeoidModel SmallModel(const std::string& fname, double spacing, double south, double west, int nlat, int nlon) {
  return {"Small", fname, nlat, nlon + 2, south, west, spacing, spacing, nlat, nlon, 1};
}

TGeoidModel WriteGlobe10(const TTempDir& dir, const TNodeFunction& value) {
  const TGeoidModel m = SmallModel("globe10", 10, -90, 0, 19, 36);
  WriteSourceGrid(dir.File(m.fname), m, value);
  return m;
}

void UseRegionSource(TSession& session, const TTempDir& dir, const TNodeFunction& value) {
  session.DataDir = dir.Path();
  TGeoidModel& m = session.GeoidModels[0];
  m = SmallModel("source25", 1.0 / 24, 19, 119, 769, 769);
  m.title = "EGM2008 2.5'x2.5'";
  WriteSourceGrid(dir.File(m.fname), m, value);
}

TModalResult TRecorderView::CenteredMessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons, int) {
  Dialogs.push_back({text, kind, buttons});
  if (!Answers.empty()) {
    const TModalResult answer = Answers.front();
    Answers.pop_front();
    return answer;
  }
  return (buttons & mbOK) ? TModalResult::mrOK : TModalResult::mrYes;
}

void TRecorderView::ProcessMessages() {
  ++Pumps;
  if (OnPump) OnPump();
}

TInputs InputsOf(const TFieldView& view) {
  return InputsFrom([&](TControl c) { return view.Text(c); }, [&](TControl c) { return view.Checked(c); });
}

}  // namespace tessmar::test
