// tessmar._tessmar: the operations of tessmar-cli for Python, values in and
// results out, numpy arrays for points. Each call starts a session as one run
// of tessmar-cli does (the same data folders, settings file and model), runs
// the same operation and takes its outcome and its messages through a view of
// its own: a dialog's text becomes the exception's, a pump looks at Python's
// signals (Ctrl-C) and the progress goes to a Python callable. The long work
// runs without the GIL. The package tessmar (src/python/tessmar/) gives these
// their documentation and Python's shapes.
// Thread-safe as Python calls it: every call has its own session and view.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "accuracy/PointCheck.hpp"
#include "accuracy/Scan.hpp"
#include "base/ByteOrder.hpp"
#include "base/Error.hpp"
#include "base/Numeric.hpp"
#include "base/Path.hpp"
#include "base/Platform.hpp"
#include "base/Text.hpp"
#include "base/WorkPool.hpp"
#include "convert/ConvertCommand.hpp"
#include "grid/Interpolation.hpp"
#include "option/Start.hpp"
#include "session/FieldView.hpp"
#include "session/Grids.hpp"

namespace py = pybind11;

namespace tessmar::python {

namespace {

using TPoints = py::array_t<double, py::array::c_style | py::array::forcecast>;

// The error classes of the package: Error, and under it InputError (a
// ValueError: what was asked cannot be) and FileError (an OSError).
void SetError(const char* kind, const std::string& text) {
  const py::object type = py::module_::import("tessmar._tessmar").attr(kind);
  PyErr_SetString(type.ptr(), text.c_str());
}
[[noreturn]] void Raise(const char* kind, const std::string& text) {
  SetError(kind, text);
  throw py::error_already_set();
}

// The program whose data folders and settings file the module shares: the
// tessmar-cli installed (or built) with it, found by the relative path between
// their folders.
std::string ProgramPath() {
  static const int anchor = 0;
  return NormalPath(FolderOf(ModulePathOf(&anchor)) + TESSMAR_PYTHON_PROGRAM);
}

// A value as the text a front reads: a str as it is, a number as the shortest
// text that reads back the same (2.5 is "2.5", 35.0 is "35").
std::string Text(const py::handle& value, const char* name) {
  if (py::isinstance<py::str>(value)) return value.cast<std::string>();
  if (!py::isinstance<py::bool_>(value) && py::hasattr(value, "__float__"))  // numpy's numbers too
    return ShortestText(py::float_(py::reinterpret_borrow<py::object>(value)).cast<double>());
  throw TUsageError(std::string(name) + ": " + py::str(py::repr(value)).cast<std::string>() +
                    " is neither a number nor a text");
}

std::optional<std::string> OptionalText(const py::object& value, const char* name) {
  if (value.is_none()) return std::nullopt;
  return Text(value, name);
}

// The view of one call: dialogs kept as lines, Yes answered by `Overwrite`,
// the pump and the progress handed to Python (with the GIL, at most every
// PumpEvery), a Python error raised there kept until the operation returns.
class TPythonView : public TFieldView {
 public:
  TModalResult CenteredMessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons, int) override {
    Messages.push_back(OneLine(text));
    Kinds.push_back(kind);
    if (buttons & mbYes) return Overwrite ? TModalResult::mrYes : TModalResult::mrNo;
    return TModalResult::mrOK;
  }
  void ShowGeneralError(const std::string& text) override { Messages.push_back(GeneralErrorText(text)); }

  void ProcessMessages() override {
    const auto now = std::chrono::steady_clock::now();
    if (now < FNextPump) return;
    FNextPump = now + PumpEvery;
    py::gil_scoped_acquire gil;
    if (!Pending && PyErr_CheckSignals() != 0) Pending.emplace();
    if (Pending && Session) Session->AbortRequested = true;
  }

  void SetProgressPosition(int position) override {
    TFieldView::SetProgressPosition(position);
    if (FReported >= position || Progress.is_none()) return;
    FReported = position;
    py::gil_scoped_acquire gil;
    if (Pending) return;
    try {
      Progress(static_cast<double>(position) / ProgressBarMax);
    } catch (py::error_already_set& e) {
      Pending.emplace(std::move(e));
      if (Session) Session->AbortRequested = true;
    }
  }

  // The last dialog's text, else the general error's; `fallback` when none.
  std::string LastMessage(const std::string& fallback) const { return Messages.empty() ? fallback : Messages.back(); }

  static constexpr std::chrono::milliseconds PumpEvery{20};
  TSession* Session = nullptr;
  py::object Progress = py::none();
  bool Overwrite = false;
  std::vector<std::string> Messages;
  std::vector<TMsgDlgType> Kinds;
  std::optional<py::error_already_set> Pending;  // raised in a pump or by the progress callable

 private:
  std::chrono::steady_clock::time_point FNextPump{};
  int FReported = 0;
};

// What every call names: the settings file (None: the program's, False: none)
// and the data folder.
struct TPlace {
  py::object Settings = py::none();
  py::object DataDir = py::none();
};

// One call's view, session and inputs, started as tessmar-cli starts a run.
struct TRun {
  TPythonView View;
  TSession Session{View};
  TStarted Started;

  TRun(const TPlace& place, const py::object& model, const std::optional<std::string>& output = std::nullopt) {
    View.Session = &Session;
    TStartRequest request;
    request.ModelName = "model";
    request.OutputName = "output";
    if (py::isinstance<py::bool_>(place.Settings)) {
      if (place.Settings.cast<bool>()) throw TUsageError("settings: True names no file: give a path, None or False");
      request.NoSettings = true;
    } else if (!place.Settings.is_none()) {
      request.Settings = py::str(place.Settings).cast<std::string>();  // a str or a path-like object
      RequireSettingsFile(*request.Settings, "settings");
    }
    if (!place.DataDir.is_none()) request.DataDir = py::str(place.DataDir).cast<std::string>();
    request.Model = OptionalText(model, "model");
    request.Output = output;
    std::vector<std::string> warnings;
    Started = StartSession(Session, request, ProgramPath(), [&](const std::string& w) { warnings.push_back(w); });
    for (const std::string& w : warnings)
      if (PyErr_WarnEx(PyExc_UserWarning, w.c_str(), 1) != 0) throw py::error_already_set();
  }

  // Runs an operation without the GIL; then raises what Python raised inside
  // it (Ctrl-C, the progress callable's error), or the error that left it.
  template <class Operation>
  void Run(Operation&& operation) {
    const char* kind = nullptr;  // of the error that left it
    std::string text;
    {
      py::gil_scoped_release release;
      try {
        operation();
      } catch (const TUsageError& e) {
        kind = "InputError", text = e.what();
      } catch (const std::exception& e) {
        kind = "Error", text = ErrorText(e);
      }
    }
    if (View.Pending) {
      py::error_already_set pending = std::move(*View.Pending);
      View.Pending.reset();
      throw pending;
    }
    if (kind) Raise(kind, text);
  }

  // The progress callable told that the work is done.
  void Finished() {
    if (!View.Progress.is_none() && View.ProgressPosition < ProgressBarMax) View.Progress(1.0);
  }

  void OpenModel() {
    OpenSelectedModel(Session, Started.Model);
    if (!Session.SourceOpen()) Raise("FileError", View.LastMessage("Geoid file is not found"));
  }
};

// Selects the custom geoid file at path as the session's custom file: its
// folder as CustomDir, its extension as OutputExt; the name to select it by.
std::string SelectCustomPath(TSession& session, const std::string& path) {
  const std::string file = HasFolder(path) ? path : "./" + path;
  session.CustomDir = FolderOf(file);
  const std::string name = FileNameOf(file);
  session.OutputExt = ExtensionOf(name);
  if (name.empty() || CustomGeoidFileName(session, name) != file)
    throw TUsageError("custom: " + path + " cannot be named as a custom geoid file");
  return name;
}

// Runs fn(first, count) over 0 .. count in pieces on threads of their own,
// one more than the cores as check --points has them (beside other busy
// programs, which the system shares the cores with thread by thread, the
// points keep a fair part of them); a few points at once on the calling thread.
template <class Fn>
void InPieces(std::size_t count, const Fn& fn) {
  constexpr std::size_t Piece = 1 << 14;
  if (count <= Piece) {
    fn(std::size_t{0}, count);
    return;
  }
  TWorkPool pool(HardwareThreads() + 1);
  pool.Start((count + Piece - 1) / Piece, [&](std::size_t j) { fn(j * Piece, std::min(Piece, count - j * Piece)); });
  pool.Wait();
}

std::size_t PointCount(const TPoints& lat, const TPoints& lon) {
  if (lat.size() != lon.size()) throw TUsageError("latitudes and longitudes: arrays of different sizes");
  return static_cast<std::size_t>(lat.size());
}

// A grid's geometry as Python sees it.
py::dict Geometry(const TGeoidGrid& g) {
  py::dict d;
  d["rows"] = g.nlat;
  d["cols"] = g.nlon;
  d["south"] = g.north - (g.nlat - 1) * g.dlat;
  d["north"] = g.north;
  d["west"] = g.west;
  d["east"] = g.west + (g.nlon - 1) * g.dlon;
  d["dlat"] = g.dlat;
  d["dlon"] = g.dlon;
  return d;
}

// --- The operations ------------------------------------------------------------

py::dict Models(const TPlace& place, const py::object& model) {
  TRun run(place, model);
  TSession& session = run.Session;
  py::list models;
  for (int i = 0; i < 2; ++i) {
    const TGeoidModel& m = session.GeoidModels[i];
    const TModelStatus status = ModelStatus(session, m);
    py::dict d;
    d["entry"] = i;
    d["title"] = m.title;
    d["file"] = m.fname;
    d["path"] = status.Path;
    d["found"] = status.Found;
    d["usable"] = status.Usable;
    d["reason"] = status.Usable ? py::object(py::none()) : py::object(py::str(status.Reason));
    d["selected"] = i == run.Started.Model;
    d["south"] = m.glamn;
    d["west"] = m.glomn;
    d["dlat"] = m.dgla;
    d["dlon"] = m.dglo;
    d["rows"] = m.nlat;
    d["cols"] = m.nlon;
    models.append(d);
  }
  py::dict out;
  out["data_dir"] = session.DataDir;
  out["searched"] = SourceFolders(session);
  out["models"] = models;
  return out;
}

// A source model, open for its values at points.
class TSource {
 public:
  TSource(const py::object& model, const TPlace& place) : FRun(place, model) { FRun.OpenModel(); }

  py::array_t<double> Height(const TPoints& lat, const TPoints& lon) {
    const std::size_t count = PointCount(lat, lon);
    py::array_t<double> out(static_cast<py::ssize_t>(count));
    const double *la = lat.data(), *lo = lon.data();
    double* o = out.mutable_data();
    const TGeoidGrid* grid = FRun.Session.SourceGrid.get();
    {
      py::gil_scoped_release release;
      InPieces(count,
               [&](std::size_t first, std::size_t n) { SourceValues(grid, la + first, lo + first, n, o + first); });
    }
    return out;
  }

  py::dict Info() const {
    const TGeoidModel& m = FRun.Session.GeoidModels[FRun.Started.Model];
    py::dict d = Geometry(*FRun.Session.SourceGrid);
    d["entry"] = FRun.Started.Model;
    d["title"] = m.title;
    d["path"] = ModelFilePath(SourceFolder(FRun.Session, m), m);
    return d;
  }

 private:
  TRun FRun;
};

// A custom geoid file, open for its nodes and its values at points.
class TCustom {
 public:
  explicit TCustom(const std::string& path) : FPath(path) {
    if (!OpenCustomFile(FSession, path)) Raise("FileError", FView.LastMessage("Geoid file is not found: " + path));
  }

  py::array_t<float> Height(const TPoints& lat, const TPoints& lon) {
    const std::size_t count = PointCount(lat, lon);
    std::vector<double> values(count);
    py::array_t<float> out(static_cast<py::ssize_t>(count));
    const double *la = lat.data(), *lo = lon.data();
    float* o = out.mutable_data();
    const TGeoidGrid* grid = FSession.CustomGrid.get();
    {
      py::gil_scoped_release release;
      InPieces(count, [&](std::size_t first, std::size_t n) {
        CustomValues(grid, la + first, lo + first, n, values.data() + first);
        for (std::size_t k = first; k < first + n; ++k) o[k] = static_cast<float>(values[k]);  // float32 widened: exact
      });
    }
    return out;
  }

  // The nodes as the file stores them, row 0 the northernmost.
  py::array_t<float> Nodes() const {
    const TGeoidGrid& g = *FSession.CustomGrid;
    py::array_t<float> out({static_cast<py::ssize_t>(g.nlat), static_cast<py::ssize_t>(g.nlon)});
    float* o = out.mutable_data();
    const unsigned char* data = g.Data();
    const std::size_t count = static_cast<std::size_t>(g.nlat) * static_cast<std::size_t>(g.nlon);
    for (std::size_t k = 0; k < count; ++k) o[k] = LoadLittle<float>(data + 4 * k);
    return out;
  }

  py::dict Info() const {
    py::dict d = Geometry(*FSession.CustomGrid);
    d["path"] = FPath;
    d["size"] = FSession.CustomGrid->FileSize();
    return d;
  }
  const std::string& Path() const { return FPath; }

 private:
  std::string FPath;
  TPythonView FView;
  TSession FSession{FView};
};

py::dict Cut(const py::object& model, const py::object& south, const py::object& west, const py::object& north,
             const py::object& east, const py::object& resolution, const std::string& output, bool overwrite,
             const py::object& progress, const TPlace& place) {
  TRun run(place, model, output);
  if (TrimBlanks(output).empty()) throw TUsageError("output names no file.");
  TConversionPlan plan;
  plan.Corners.South = ReadCoordinateText(Text(south, "south"), TAxis::Latitude, "south");
  plan.Corners.West = ReadCoordinateText(Text(west, "west"), TAxis::Longitude, "west");
  plan.Corners.North = ReadCoordinateText(Text(north, "north"), TAxis::Latitude, "north");
  plan.Corners.East = ReadCoordinateText(Text(east, "east"), TAxis::Longitude, "east");
  plan.Resolution =
      ResolutionMinutes(Text(resolution, "resolution"), run.Session.GeoidModels[run.Started.Model], "resolution");
  run.View.Overwrite = overwrite;
  run.View.Progress = progress;

  TConvertResult result;
  run.Run([&] { result = ConvertCustomGeoid(run.Session, {run.Started.Model, output}, plan); });
  switch (result.Outcome) {
    case TConvertOutcome::Written: break;
    case TConvertOutcome::Declined:
      Raise("FileError", run.View.LastMessage(result.Path) + " Answered No: pass overwrite=True to replace it.");
    case TConvertOutcome::SourceMissing: Raise("FileError", run.View.LastMessage("Cannot open the source model"));
    case TConvertOutcome::RangeError: Raise("InputError", run.View.LastMessage("") + " " + result.Reason);
    case TConvertOutcome::Aborted:
      throw py::error_already_set();  // Ctrl-C seen by a pump: Python's own KeyboardInterrupt
    case TConvertOutcome::Failed: Raise("FileError", result.Reason.empty() ? run.View.LastMessage("") : result.Reason);
    case TConvertOutcome::NotRun: Raise("Error", "the conversion did not run");
  }
  run.Finished();
  const TCustomTrailer& t = result.Trailer;
  const TCutFacts& cut = result.Cut;
  py::dict d;
  d["path"] = result.Path;
  d["size"] = result.Size;
  d["rows"] = t.rows;
  d["cols"] = t.cols;
  d["south"] = t.south;
  d["west"] = t.west;
  d["north"] = cut.North;
  d["east"] = cut.East;
  d["dlat"] = t.dlat;
  d["dlon"] = t.dlon;
  py::list moved;
  for (const TMovedCorner& c : MovedCorners(cut)) moved.append(py::make_tuple(c.Name, c.Typed, c.Snapped));
  d["moved"] = moved;
  d["no_value"] = cut.NoValueNodes;
  d["wide_across_180"] = cut.WideAcross180;
  d["report"] = run.View.Lines;
  return d;
}

// The scan's differences as they come, row by row, into one array.
class TFieldSink : public TScanRowSink {
 public:
  void Begin(const TScanLattice& lattice) override {
    Columns = static_cast<std::size_t>(std::max<std::int64_t>(lattice.LastColumn + 1, 0));
    Rows = static_cast<std::size_t>(std::max<std::int64_t>(lattice.LastRow + 1, 0));
    Values.assign(Rows * Columns, NoValue());
  }
  void Row(std::int64_t i, const double* diffs, std::size_t count) override {
    std::copy(diffs, diffs + std::min(count, Columns), Values.begin() + static_cast<std::ptrdiff_t>(i) * Columns);
  }
  std::size_t Rows = 0, Columns = 0;
  std::vector<double> Values;
};

py::dict Scan(const std::string& path, const py::object& model, const py::object& precision, bool field,
              const py::object& progress, const TPlace& place) {
  TRun run(place, model);
  const std::string name = SelectCustomPath(run.Session, path);
  const double p = ReadPrecision(Text(precision, "precision"), "precision");
  run.View.Progress = progress;
  TFieldSink sink;
  TScanResult result;
  result.Outcome = TScanOutcome::Failed;
  run.Run([&] { result = MaximumErrorScan(run.Session, {run.Started.Model, name}, p, field ? &sink : nullptr); });
  switch (result.Outcome) {
    case TScanOutcome::Done:
    case TScanOutcome::Unnecessary: break;
    case TScanOutcome::SourceMissing:
    case TScanOutcome::CustomMissing: Raise("FileError", run.View.LastMessage("Can not found: " + path));
    case TScanOutcome::Aborted: throw py::error_already_set();
    case TScanOutcome::NotRun:
    case TScanOutcome::Failed: Raise("Error", run.View.LastMessage("the scan did not run"));
  }
  run.Finished();
  const auto extreme = [](const std::optional<TScanExtreme>& e) {
    return e ? py::object(py::make_tuple(e->Diff, e->Lat, e->Lon)) : py::object(py::none());
  };
  py::dict d;
  d["path"] = result.Path;
  d["unnecessary"] = result.Outcome == TScanOutcome::Unnecessary;
  d["note"] = result.Outcome == TScanOutcome::Unnecessary ? py::object(py::str(run.View.LastMessage("")))
                                                          : py::object(py::none());
  d["precision"] = result.Precision;
  d["points"] = result.Points;
  d["max"] = extreme(result.Max);
  d["min"] = extreme(result.Min);
  d["complete"] = result.Outcome == TScanOutcome::Done;
  d["report"] = run.View.Lines;
  if (result.Scanned) {
    const TScanPlan plan = PlanScan(*run.Session.SourceGrid, *run.Session.CustomGrid, p);
    // The lattice's places as the scan computes them, each from its index afresh.
    py::array_t<double> lats(plan.LastRow + 1), lons(plan.LastColumn + 1);
    for (std::int64_t i = 0; i <= plan.LastRow; ++i) lats.mutable_at(i) = plan.Lat(i);
    for (std::int64_t j = 0; j <= plan.LastColumn; ++j) lons.mutable_at(j) = plan.Lon(j);
    d["lats"] = lats;
    d["lons"] = lons;
  } else {
    d["lats"] = py::none();
    d["lons"] = py::none();
  }
  if (field && result.Scanned) {
    auto* values = new std::vector<double>(std::move(sink.Values));
    const py::capsule owner(values, [](void* v) { delete static_cast<std::vector<double>*>(v); });
    d["field"] = py::array_t<double>({static_cast<py::ssize_t>(sink.Rows), static_cast<py::ssize_t>(sink.Columns)},
                                     values->data(), owner);
  } else {
    d["field"] = py::none();
  }
  return d;
}

// check --points on arrays: (count, 3) values, source, custom and error.
py::array_t<double> CheckPointsOf(const std::string& path, const TPoints& lat, const TPoints& lon,
                                  const py::object& model, const TPlace& place) {
  TRun run(place, model);
  const std::size_t count = PointCount(lat, lon);
  run.OpenModel();
  if (!OpenCustomFile(run.Session, path)) Raise("FileError", run.View.LastMessage("Geoid file is not found: " + path));
  static_assert(sizeof(TPointNumbers) == 3 * sizeof(double));
  py::array_t<double> out({static_cast<py::ssize_t>(count), py::ssize_t{3}});
  auto* o = reinterpret_cast<TPointNumbers*>(out.mutable_data());
  const double *la = lat.data(), *lo = lon.data();
  const TSession& session = run.Session;
  {
    py::gil_scoped_release release;
    InPieces(count,
             [&](std::size_t first, std::size_t n) { CheckPoints(session, la + first, lo + first, n, o + first); });
  }
  return out;
}

}  // namespace

}  // namespace tessmar::python

PYBIND11_MODULE(_tessmar, m) {
  using namespace tessmar::python;
  using tessmar::TUsageError;
  m.doc() = "The engine of the tessmar package: use tessmar, which documents it.";

  // tessmar.Error and its two kinds, with their bases as the package promises.
  const py::object error = py::reinterpret_steal<py::object>(PyErr_NewExceptionWithDoc(
      "tessmar.Error", "A failure of a Tessmar operation, in the program's words.", PyExc_Exception, nullptr));
  const py::tuple inputBases = py::make_tuple(error, py::reinterpret_borrow<py::object>(PyExc_ValueError));
  const py::tuple fileBases = py::make_tuple(error, py::reinterpret_borrow<py::object>(PyExc_OSError));
  m.attr("Error") = error;
  m.attr("InputError") = py::reinterpret_steal<py::object>(PyErr_NewExceptionWithDoc(
      "tessmar.InputError", "What was asked cannot be: a value that does not read, a region without rows, ...",
      inputBases.ptr(), nullptr));
  m.attr("FileError") = py::reinterpret_steal<py::object>(PyErr_NewExceptionWithDoc(
      "tessmar.FileError", "A file that is missing, not usable, or cannot be written.", fileBases.ptr(), nullptr));
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const TUsageError& e) {
      SetError("InputError", e.what());
    } catch (const tessmar::TError& e) {
      SetError("Error", e.what());
    }
  });

  m.def("program_path", &ProgramPath);
  m.def(
      "models",
      [](py::object model, py::object settings, py::object dataDir) {
        return Models({settings, dataDir}, model);
      },
      py::arg("model"), py::arg("settings"), py::arg("data_dir"));
  py::class_<TSource>(m, "Source")
      .def(py::init([](py::object model, py::object settings, py::object dataDir) {
             return new TSource(model, {settings, dataDir});
           }),
           py::arg("model"), py::arg("settings"), py::arg("data_dir"))
      .def("height", &TSource::Height)
      .def("info", &TSource::Info);
  py::class_<TCustom>(m, "Custom")
      .def(py::init<std::string>())
      .def("height", &TCustom::Height)
      .def("nodes", &TCustom::Nodes)
      .def("info", &TCustom::Info)
      .def_property_readonly("path", &TCustom::Path);
  m.def(
      "cut",
      [](py::object model, py::object south, py::object west, py::object north, py::object east, py::object resolution,
         std::string output, bool overwrite, py::object progress, py::object settings, py::object dataDir) {
        return Cut(model, south, west, north, east, resolution, output, overwrite, progress, {settings, dataDir});
      },
      py::arg("model"), py::arg("south"), py::arg("west"), py::arg("north"), py::arg("east"), py::arg("resolution"),
      py::arg("output"), py::arg("overwrite"), py::arg("progress"), py::arg("settings"), py::arg("data_dir"));
  m.def(
      "scan",
      [](std::string path, py::object model, py::object precision, bool field, py::object progress, py::object settings,
         py::object dataDir) {
        return Scan(path, model, precision, field, progress, {settings, dataDir});
      },
      py::arg("path"), py::arg("model"), py::arg("precision"), py::arg("field"), py::arg("progress"),
      py::arg("settings"), py::arg("data_dir"));
  m.def(
      "check_points",
      [](std::string path, const TPoints& lat, const TPoints& lon, py::object model, py::object settings,
         py::object dataDir) {
        return CheckPointsOf(path, lat, lon, model, {settings, dataDir});
      },
      py::arg("path"), py::arg("latitudes"), py::arg("longitudes"), py::arg("model"), py::arg("settings"),
      py::arg("data_dir"));
}
