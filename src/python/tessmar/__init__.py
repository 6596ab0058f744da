"""Tessmar from Python: cut a regional custom geoid out of a global geoid grid
(EGM2008, 2.5' or 1'), check it at points against its source and scan it for
its largest error.

The engine is tessmar-cli's, called directly: the same source models, data
folders and settings file, the same bytes written and the same numbers, bit
for bit. Points go in and heights come out as numpy arrays, without text on
the way. Angles are degrees (latitude north, longitude east, any turn of
longitude), heights and differences metres, resolutions minutes of arc as
tessmar-cli's --res.

Where a value has none (a point outside a grid, a node without a value) it is
NaN. Failures raise tessmar.Error in the program's words: tessmar.InputError
(also a ValueError) for what cannot be asked, tessmar.FileError (also an
OSError) for a file that is missing, not usable or cannot be written.
Ctrl-C stops a cut or a scan after its row with KeyboardInterrupt, leaving no
file behind; the long work runs without the GIL, on the program's own threads.

Each function takes data_dir (the folder of the source grids and of custom
files named without a folder) and settings (a settings file to read; None: the
program's own, as tessmar-cli reads it; False: none, the built-in catalogue).
"""

import dataclasses
import os
import typing

import numpy as np

from . import _tessmar
from ._tessmar import Error, FileError, InputError

__all__ = [
    "Error", "InputError", "FileError", "Extent", "Model", "models", "Source", "Custom", "CutResult", "cut",
    "ScanResult", "scan", "PointCheck", "check_points",
]


@dataclasses.dataclass(frozen=True)
class Extent:
    """A grid's or a region's corner nodes, degrees: the southernmost and the
    northernmost row, the westernmost and the easternmost column."""
    south: float
    west: float
    north: float
    east: float


def _extent(d):
    return Extent(d["south"], d["west"], d["north"], d["east"])


@dataclasses.dataclass(frozen=True)
class Model:
    """A source model of the catalogue.

    entry: 0 (the 2.5' place) or 1; name: its title; file: its grid file's
    name; path: where it is looked for (the first data folder that holds it);
    extent: its corner nodes; spacing: (latitude, longitude) degrees; shape:
    (rows, columns) of nodes; usable: the grid file is there and opens (the
    same check as `tessmar-cli models`); reason: why not, else None;
    selected: the model the settings select."""
    entry: int
    name: str
    file: str
    path: str
    extent: Extent
    spacing: typing.Tuple[float, float]
    shape: typing.Tuple[int, int]
    usable: bool
    reason: typing.Optional[str]
    selected: bool


def models(data_dir=None, settings=None):
    """The source models of the catalogue, as `tessmar-cli models` lists them.

    Returns a list of Model, entry 0 first. Raises InputError for a settings
    file that is not there."""
    found = _tessmar.models(None, _settings(settings), _folder(data_dir))
    out = []
    for m in found["models"]:
        rows, cols = m["rows"], m["cols"]
        extent = Extent(m["south"], m["west"], m["south"] + (rows - 1) * m["dlat"],
                        m["west"] + (cols - 1) * m["dlon"])
        out.append(Model(m["entry"], m["title"], m["file"], m["path"], extent, (m["dlat"], m["dlon"]), (rows, cols),
                         m["usable"], m["reason"], m["selected"]))
    return out


class Source:
    """A source model, open for its heights at points.

    Source(model=None, data_dir=None, settings=None): model is 0 or 2.5
    (catalogue entry 0), 1 (entry 1) or a model's title; None takes the
    settings' model, as tessmar-cli does.

    Raises InputError for a model the catalogue lacks, FileError when its grid
    file is not found or not usable (the folders looked in are named)."""

    def __init__(self, model=None, data_dir=None, settings=None):
        self._source = _tessmar.Source(model, _settings(settings), _folder(data_dir))
        info = self._source.info()
        self.name = info["title"]  #: the model's title
        self.path = info["path"]  #: its grid file
        self.entry = info["entry"]  #: its catalogue entry, 0 or 1
        self.extent = _extent(info)  #: its corner nodes, degrees
        self.spacing = (info["dlat"], info["dlon"])  #: (latitude, longitude) spacing, degrees
        self.shape = (info["rows"], info["cols"])  #: node rows and columns

    def height(self, lat, lon):
        """The geoid height (metres, float64) at each point: a natural cubic
        spline over the 6 x 6 nodes around it, bilinear in the point's cell
        near the poles and where a node of that window is missing, NaN outside
        the grid. These are the source values `tessmar-cli check` gives, bit
        for bit.

        lat, lon: degrees, numbers or arrays of any shapes that broadcast; the
        result has their broadcast shape (a float for two numbers)."""
        return _at_points(self._source.height, lat, lon)

    def __repr__(self):
        return f"tessmar.Source({self.name!r}, path={self.path!r})"


class Custom:
    """A custom geoid file (.qdat), open for its nodes and its heights.

    Custom(path): the file at path (relative to the current folder), as written
    by cut() or tessmar-cli convert. Raises FileError when it is not found, or
    is no custom geoid file ("Illegal Custom geoid file")."""

    def __init__(self, path):
        self._custom = _tessmar.Custom(os.fspath(path))
        info = self._custom.info()
        self.path = info["path"]  #: the file
        self.size = info["size"]  #: its size, bytes
        self.extent = _extent(info)  #: its corner nodes, degrees
        self.spacing = (info["dlat"], info["dlon"])  #: (latitude, longitude) spacing, degrees
        self.shape = (info["rows"], info["cols"])  #: node rows and columns

    def height(self, lat, lon):
        """The custom geoid's height (metres) at each point, float32 as the
        file holds its nodes: the same 6 x 6 spline as the source's, rounded to
        float32; NaN outside the grid.

        lat, lon: degrees, numbers or arrays of any shapes that broadcast."""
        return _at_points(self._custom.height, lat, lon)

    def nodes(self):
        """The nodes as the file stores them: a float32 array of shape
        (rows, columns), row 0 the northernmost, each row west to east; NaN
        where a node has no value."""
        return self._custom.nodes()

    def latitudes(self):
        """The rows' latitudes, degrees, north first."""
        return self.extent.north - self.spacing[0] * np.arange(self.shape[0])

    def longitudes(self):
        """The columns' longitudes, degrees, west first (beyond 180 for a grid across it)."""
        return self.extent.west + self.spacing[1] * np.arange(self.shape[1])

    def to_xarray(self):
        """The nodes as an xarray.DataArray with lat and lon coordinates
        (needs xarray, which tessmar does not depend on)."""
        try:
            import xarray
        except ImportError as e:
            raise ImportError("Custom.to_xarray needs xarray (Debian: python3-xarray)") from e
        return xarray.DataArray(self.nodes(), coords={"lat": self.latitudes(), "lon": self.longitudes()},
                                dims=("lat", "lon"), name="geoid_height",
                                attrs={"units": "m", "source": self.path})

    def __repr__(self):
        return f"tessmar.Custom({self.path!r}, shape={self.shape})"


@dataclasses.dataclass(frozen=True)
class CutResult:
    """What cut() wrote.

    path: the custom geoid file; extent: its corner nodes (the region snapped to
    whole cells and widened by three cells, or the whole circle); shape: (rows,
    columns); size: bytes; spacing: (latitude, longitude) degrees; moved: the
    corners the snap moved, (corner, typed, snapped) degrees; no_value: nodes
    without a value (outside the source grid); wide_across_180: the region
    runs more than 180 degrees east across 180 (west and east swapped?);
    report: the report's lines, as tessmar-cli convert prints them."""
    path: str
    extent: Extent
    shape: typing.Tuple[int, int]
    size: int
    spacing: typing.Tuple[float, float]
    moved: typing.List[typing.Tuple[str, float, float]]
    no_value: int
    wide_across_180: bool
    report: typing.List[str]


def cut(model, south, west, north, east, resolution, output, overwrite=False, progress=None, data_dir=None,
        settings=None):
    """Cut a custom geoid out of a source model: the same bytes as
    `tessmar-cli convert`.

    model: 0 or 2.5, 1, a title, or None for the settings' model.
    south, west, north, east: the region's corners, degrees, as numbers or as
    text in any form tessmar-cli takes ("35 30 N", "139:44:52.3").
    resolution: minutes, 5, 10, 15 or 20, or 0 (or the model's own spacing in
    minutes, 2.5 or 1) for the model's own spacing.
    output: the custom geoid file: a name in the data folder ("tokyo"), or a
    path with a folder ("./tokyo", "/data/tokyo"); its extension becomes .qdat.
    overwrite: replace an existing file. progress: None, or a callable given
    the part done (0 .. 1) as rows are written.

    Every node is the nearest source node, over the region snapped to whole
    cells of the resolution and widened by three cells (or the whole circle of
    longitude). Returns a CutResult.

    Raises InputError for a corner or resolution that does not read, a model
    the catalogue lacks, or a region without rows or columns or of 2 GiB or
    more; FileError when the source grid is missing, the file exists and
    overwrite is False, or it cannot be written (nothing is left behind);
    KeyboardInterrupt after the row in hand on Ctrl-C (no file is left, an
    existing one is kept); whatever progress raises, the same way."""
    d = _tessmar.cut(model, south, west, north, east, resolution, os.fspath(output), overwrite, progress,
                     _settings(settings), _folder(data_dir))
    return CutResult(d["path"], _extent(d), (d["rows"], d["cols"]), d["size"], (d["dlat"], d["dlon"]),
                     [tuple(m) for m in d["moved"]], d["no_value"], d["wide_across_180"], list(d["report"]))


@dataclasses.dataclass(frozen=True)
class Extreme:
    """A difference, custom - source (metres), and its place (degrees)."""
    diff: float
    lat: float
    lon: float


@dataclasses.dataclass(frozen=True)
class ScanResult:
    """What scan() found.

    max, min: the largest and the most negative difference, custom - source,
    with their places (Extreme; None when no point had both values);
    complete: the whole lattice was scanned; precision: lattice points per
    source spacing, after the rules (raised where a coarser lattice would miss
    custom nodes); points: lattice points where both values exist; lats,
    lons: the lattice's rows and columns, degrees (north first, west first);
    field: the differences, an array of shape (len(lats), len(lons)), NaN
    where a value is missing, when asked for (the heat map's data), else
    None; unnecessary: the custom grid is the source's own nodes (nothing to
    scan; note says so); report: the report's lines, as tessmar-cli scan
    prints them; path: the custom geoid file."""
    path: str
    max: typing.Optional[Extreme]
    min: typing.Optional[Extreme]
    complete: bool
    precision: float
    points: int
    lats: typing.Optional[np.ndarray]
    lons: typing.Optional[np.ndarray]
    field: typing.Optional[np.ndarray]
    unnecessary: bool
    note: typing.Optional[str]
    report: typing.List[str]


def scan(custom, model=None, precision=1.0, progress=None, data_dir=None, settings=None, *, field=False):
    """Scan a custom geoid for its largest error against its source model:
    the numbers of `tessmar-cli scan`.

    custom: a Custom, or the path of a custom geoid file. model: the source
    model it was cut from (as for cut; None: the settings'). precision:
    lattice points per source spacing, above 0 and at most 100 (4.0, 2.0, 1.0,
    0.5, ...). progress: None, or a callable given the part done (0 .. 1).
    field: also return the difference at every lattice point.

    The lattice runs over the custom grid three cells in from each edge; at
    every point both values come from the 6 x 6 spline (the custom one rounded
    to float32). Returns a ScanResult.

    Raises InputError for a precision out of range or a model the catalogue
    lacks; FileError when the source grid or the custom file is missing or not
    usable; KeyboardInterrupt after the row in hand on Ctrl-C."""
    d = _tessmar.scan(_custom_path(custom), model, precision, field, progress, _settings(settings),
                      _folder(data_dir))

    def extreme(e):
        return None if e is None else Extreme(*e)

    return ScanResult(d["path"], extreme(d["max"]), extreme(d["min"]), d["complete"], d["precision"], d["points"],
                      d["lats"], d["lons"], d["field"], d["unnecessary"], d["note"], list(d["report"]))


@dataclasses.dataclass(frozen=True)
class PointCheck:
    """The values at points: source (float64, the source model's), custom
    (the custom geoid's, float32 values widened) and error (custom - source),
    metres, arrays of the points' broadcast shape; NaN where a grid has no
    value."""
    source: np.ndarray
    custom: np.ndarray
    error: np.ndarray


def check_points(custom, lat, lon, model=None, data_dir=None, settings=None):
    """Check a custom geoid against its source at points: the numbers of
    `tessmar-cli check --points`, bit for bit.

    custom: a Custom, or the path of a custom geoid file. lat, lon: degrees,
    numbers or arrays of any shapes that broadcast. model: the source model
    (as for cut; None: the settings'). Returns a PointCheck.

    Raises InputError for a model the catalogue lacks; FileError when the
    source grid or the custom file is missing or not usable."""
    path = _custom_path(custom)
    values = _at_points(lambda la, lo: _tessmar.check_points(path, la, lo, model, _settings(settings),
                                                             _folder(data_dir)), lat, lon, columns=3)
    return PointCheck(values[..., 0][()], values[..., 1][()], values[..., 2][()])


# --- Conveniences ------------------------------------------------------------

def _settings(settings):
    return settings if settings is None or settings is False or settings is True else os.fspath(settings)


def _folder(folder):
    return None if folder is None else os.fspath(folder)


def _custom_path(custom):
    return custom.path if isinstance(custom, Custom) else os.fspath(custom)


def _at_points(function, lat, lon, columns=None):
    """function(lat, lon) over flat float64 arrays, its result in the points' broadcast shape."""
    lat, lon = np.broadcast_arrays(np.asarray(lat, dtype=np.float64), np.asarray(lon, dtype=np.float64))
    shape = lat.shape
    out = function(np.ascontiguousarray(lat).reshape(-1), np.ascontiguousarray(lon).reshape(-1))
    out = out.reshape(shape + ((columns,) if columns else ()))
    return out if shape or columns else out[()]
