"""The Python module against tessmar-cli: the same bytes, numbers and messages
on small synthetic grids, Ctrl-C, the GIL, and the worked example of
docs/python.md. Run by ctest (python.Module), which sets TESSMAR_CLI, PYTHONPATH,
TESSMAR_DOCS and TESSMAR_TEST_OUT."""

import json
import os
import re
import signal
import struct
import subprocess
import threading
import time

import numpy as np
import pytest

import tessmar

CLI = os.environ["TESSMAR_CLI"]


def write_gtx(path, south, west, step, rows, cols, value):
    """A GTX grid, big-endian, rows from the south: value(lat, lon) at each node."""
    lat = south + step * np.arange(rows)[:, None]
    lon = west + step * np.arange(cols)[None, :]
    nodes = np.asarray(value(lat, lon) + 0 * lat * lon, dtype=">f4")
    with open(path, "wb") as f:
        f.write(struct.pack(">4d2i", south, west, step, step, rows, cols))
        f.write(nodes.tobytes())


def waves(lat, lon):
    """Undulation-like: long waves and short ones, so a cut departs from its source."""
    r, c = np.radians(lat), np.radians(lon)
    return 40 * np.sin(2 * r) * np.cos(c) + 10 * np.cos(3 * c) - 5 + 2 * np.sin(9 * lat) * np.cos(7 * lon)


def relief(lat, lon):
    """Undulation-like for a picture: waves of many lengths (0.2 to 8 degrees) and directions, the longer higher,
    the short ones over a rough land in the middle."""
    rng = np.random.default_rng(3)
    land = np.exp(-((lat - 37) ** 2 / 18 + (lon - 138) ** 2 / 6 - (lat - 37) * (lon - 138) / 6))
    height = 35 + 0 * lat
    for length in np.geomspace(8, 0.2, 60):
        angle, phase = rng.uniform(0, np.pi), rng.uniform(0, 2 * np.pi)
        wave = 0.4 * length ** 1.5 * np.cos(2 * np.pi * (np.cos(angle) * lat + np.sin(angle) * lon) / length + phase)
        height = height + (wave if length > 2 else wave * land)
    return height


class World:
    """Entry 0: a 1-degree world; entry 1: a 0.5-degree grid over 30..42 N, 130..150 E.
    Both in a settings file and a data folder of their own."""

    def __init__(self, folder):
        self.folder = folder
        self.settings = str(folder / "t.ini")
        self.data = str(folder / "data")
        os.mkdir(self.data)
        write_gtx(folder / "world.gtx", -90, -180, 1, 181, 360, waves)
        write_gtx(folder / "small.gtx", 30, 130, 0.5, 25, 41, waves)
        self.cli("import-gtx", str(folder / "world.gtx"), "--title", "World 1d")
        self.cli("import-gtx", str(folder / "small.gtx"), "--title", "Small 30'", "--entry", "1")

    def run(self, *args):
        """tessmar-cli with this world's settings and data folder."""
        return subprocess.run([CLI, "--settings", self.settings, "--data-dir", self.data, *map(str, args)],
                              capture_output=True, text=True)

    def cli(self, *args):
        run = self.run(*args)
        assert run.returncode == 0, run.stderr
        return run.stdout

    def where(self):
        return {"settings": self.settings, "data_dir": self.data}


@pytest.fixture(scope="module")
def world(tmp_path_factory):
    return World(tmp_path_factory.mktemp("world"))


def same_bits(a, b):
    """Equal bit for bit where there are values, NaN at the same places."""
    a, b = np.asarray(a, dtype=np.float64), np.asarray(b, dtype=np.float64)
    return np.array_equal(np.isnan(a), np.isnan(b)) and np.array_equal(
        np.nan_to_num(a).view(np.int64), np.nan_to_num(b).view(np.int64))


# model, south, west, north, east, resolution: each cut made by both, the rows
# below comparing every result of theirs.
CUTS = [
    (0, 35, 139, 37, 141, 5),  # a region at 5'
    (0, "35 30 N", "139 44 52.3", 36.2, 140.1, 10),  # typed corners that the snap moves
    (0, -10, 170, 10, -170, 20),  # across 180 degrees
    (0, -90, 0, 90, 360, 20),  # the whole circle
    (1, 31, 131, 41, 149, 0),  # entry 1 at its own spacing
    ("Small 30'", 30, 130, 32, 132, 30),  # its own spacing in minutes, the model by its title
]


@pytest.fixture(scope="module")
def cuts(world):
    """Each case cut by the CLI and by Python: (case, the CLI's --json, the CLI's report, Python's result)."""
    made = []
    for k, (model, s, w, n, e, res) in enumerate(CUTS):
        args = ["--model", model, "--output", world.folder / f"cli{k}", "convert", "--south", s, "--west", w,
                "--north", n, "--east", e, "--res", res]
        report = world.cli(*args).splitlines()
        facts = json.loads(world.cli("--json", *args, "--overwrite"))
        result = tessmar.cut(model, s, w, n, e, res, world.folder / f"py{k}", **world.where())
        made.append((CUTS[k], facts, report, result))
    return made


@pytest.mark.parametrize("k", range(len(CUTS)))
def test_cut_writes_the_cli_bytes_and_report(cuts, k):
    case, facts, report, result = cuts[k]
    with open(facts["path"], "rb") as a, open(result.path, "rb") as b:
        assert a.read() == b.read(), case
    assert result.path == facts["path"].replace(f"/cli{k}.qdat", f"/py{k}.qdat")
    assert (result.shape, result.size, result.spacing) == ((facts["rows"], facts["cols"]), facts["size"],
                                                           (facts["dlat"], facts["dlon"]))
    assert result.extent == tessmar.Extent(**facts["region"])
    assert result.no_value == facts["noValue"] and result.wide_across_180 == facts["wideAcross180"]
    assert result.moved == [(m["corner"], m["typed"], m["snapped"]) for m in facts["moved"]]
    assert [line.replace(result.path, facts["path"]) for line in result.report] == report


@pytest.mark.parametrize("k", range(len(CUTS)))
def test_check_points_gives_the_cli_numbers(world, cuts, k):
    case, facts, _, result = cuts[k]
    rng = np.random.default_rng(k)
    ext = result.extent
    # Inside the region and a little beyond it (no values there), and the corner nodes themselves.
    lat = np.concatenate([rng.uniform(ext.south - 1, ext.north + 1, 400), [ext.south, ext.north]])
    lon = np.concatenate([rng.uniform(ext.west - 1, ext.east + 1, 400), [ext.west, ext.east]])
    lat, lon = np.clip(lat, -90, 90), np.clip(lon, -360, 360)  # as a points file may have them
    points = world.folder / f"points{k}"
    points.write_text("".join(f"{a!r};{o!r}\n" for a, o in zip(lat, lon)))
    lines = world.cli("--model", case[0], "--output", facts["path"], "--json", "check", "--points", points)
    answers = [json.loads(line) for line in lines.splitlines()]
    assert [a["lat"] for a in answers] == list(lat)  # the CLI read the points as written

    def column(key):
        return np.array([np.nan if a[key] is None else a[key] for a in answers])

    checked = tessmar.check_points(result.path, lat, lon, model=case[0], **world.where())
    for key in ("source", "custom", "error"):
        assert same_bits(getattr(checked, key), column(key)), key
    assert same_bits(tessmar.Source(case[0], **world.where()).height(lat, lon), column("source"))
    custom = tessmar.Custom(result.path)
    assert custom.height(lat, lon).dtype == np.float32
    assert same_bits(custom.height(lat, lon), column("custom"))
    # Any shapes that broadcast; a float for one point.
    grid = checked.source.reshape(2, -1)
    assert same_bits(tessmar.Source(case[0], **world.where()).height(lat.reshape(2, -1), lon.reshape(2, -1)), grid)
    one = tessmar.check_points(result.path, lat[0], lon[0], model=case[0], **world.where())
    assert same_bits(one.error, checked.error[0]) and np.ndim(one.error) == 0


# A cut above at a precision (raised where coarser would miss custom nodes); entry 1's own spacing needs no scan.
SCANS = [(0, 1.0), (1, 0.5), (1, 2.0), (2, 2.0), (3, 1), (4, 1.0)]


@pytest.mark.parametrize("k,precision", SCANS)
def test_scan_gives_the_cli_numbers(world, cuts, k, precision):
    case, facts, _, result = cuts[k]
    cli = json.loads(world.cli("--model", case[0], "--output", facts["path"], "--json", "scan", "--precision",
                               precision))
    scanned = tessmar.scan(result.path, case[0], precision, field=True, **world.where())
    assert scanned.unnecessary == (cli["nr"] is None)
    if scanned.unnecessary:  # a cut at the source's own spacing and nodes: nothing to scan, and it says so
        assert scanned.note.startswith("Check is unnecessary.") and scanned.max is None
        return
    assert (scanned.precision, scanned.points, scanned.complete) == (cli["precision"], cli["points"], True)
    for name in ("max", "min"):
        e = getattr(scanned, name)
        assert (e.diff, e.lat, e.lon) == (cli[name]["diff"], cli[name]["lat"], cli[name]["lon"]), name
    assert [line.replace(result.path, facts["path"]) for line in scanned.report] == cli["report"]
    # The field holds the extremes where the scan found them: the first of equals, row by row.
    field = scanned.field
    assert field.shape == (cli["nr"] + 1, cli["nc"] + 1) == (len(scanned.lats), len(scanned.lons))
    assert np.count_nonzero(~np.isnan(field)) == scanned.points
    i, j = np.unravel_index(np.nanargmax(field), field.shape)
    assert (field[i, j], scanned.lats[i], scanned.lons[j]) == (scanned.max.diff, scanned.max.lat, scanned.max.lon)
    i, j = np.unravel_index(np.nanargmin(field), field.shape)
    assert (field[i, j], scanned.lats[i], scanned.lons[j]) == (scanned.min.diff, scanned.min.lat, scanned.min.lon)


# What goes wrong, said in the CLI's words: (Python's call, its error, the CLI's
# arguments for the same request, the CLI's option names as Python's).
FAILURES = [
    (lambda w, f: tessmar.cut("nope", 35, 139, 36, 140, 5, f / "x", **w.where()), tessmar.InputError,
     ["--model", "nope", "convert"], {"--model": "model"}),
    (lambda w, f: tessmar.cut(0, "95 N", 139, 36, 140, 5, f / "x", **w.where()), tessmar.InputError,
     ["convert", "--south", "95 N"], {"--south": "south"}),
    (lambda w, f: tessmar.cut(0, 35, 139, 36, 140, 7, f / "x", **w.where()), tessmar.InputError,
     ["--model", "0", "convert", "--res", "7"], {"--res": "resolution"}),
    (lambda w, f: tessmar.cut(0, 40, 120, 35, 150, 20, f / "x", **w.where()), tessmar.InputError,
     ["--output", "{f}/x", "convert", "--south", "40", "--north", "35", "--res", "20"], {}),
    (lambda w, f: tessmar.cut(0, 35, 139, 36, 140, 5, f / "exists", **w.where()), tessmar.FileError,
     ["--output", "{f}/exists", "convert", "--south", "35", "--north", "36", "--west", "139", "--east", "140", "--res",
      "5"], {"--overwrite": "overwrite=True"}),
    (lambda w, f: tessmar.scan(f / "exists.qdat", 0, 0, **w.where()), tessmar.InputError,
     ["--output", "{f}/exists", "scan", "--precision", "0"], {"--precision": "precision"}),
    (lambda w, f: tessmar.Source(1, settings=False, data_dir=f), tessmar.FileError,
     ["--no-settings", "--data-dir", "{f}", "--model", "1", "check", "--lat", "1", "--lon", "1"], {}),
    (lambda w, f: tessmar.Custom(f / "missing.qdat"), tessmar.FileError,
     ["--output", "{f}/missing", "check", "--lat", "35", "--lon", "139"], {}),
    (lambda w, f: tessmar.scan(f / "bad.qdat", 0, **w.where()), tessmar.FileError,
     ["--output", "{f}/bad", "scan"], {}),
    (lambda w, f: tessmar.check_points(f / "bad.qdat", 35, 139, **w.where()), tessmar.FileError,
     ["--output", "{f}/bad", "check", "--lat", "35", "--lon", "139"], {}),
]


@pytest.mark.parametrize("call,error,args,names", FAILURES)
def test_failures_say_what_the_cli_says(world, tmp_path, call, error, args, names):
    (tmp_path / "exists.qdat").write_bytes(open(world.folder / "cli0.qdat", "rb").read())
    (tmp_path / "bad.qdat").write_bytes(b"no custom geoid file" * 3)
    with pytest.raises(error) as raised:
        call(world, tmp_path)
    assert isinstance(raised.value, tessmar.Error)
    args = [a.replace("{f}", str(tmp_path)) for a in args]
    run = world.run(*args) if args[0] != "--no-settings" else subprocess.run([CLI, *args], capture_output=True,
                                                                            text=True)
    assert run.returncode != 0
    said = [re.sub(r"^(Error|Warning): ", "", line) for line in run.stderr.splitlines()]
    expected = " ".join(said)
    for option, name in names.items():
        expected = expected.replace(option, name)
    assert str(raised.value) == expected


def interrupted(work, folder):
    """Runs work(progress) with Ctrl-C coming in from another thread at the first
    row; the callable sleeps a moment each row, so the work outlasts the signal."""
    pid = os.getpid()

    def progress(done):
        if not progress.sent:
            progress.sent = True
            threading.Timer(0.01, os.kill, (pid, signal.SIGINT)).start()
        time.sleep(0.002)

    progress.sent = False
    before = sorted(os.listdir(folder))
    with pytest.raises(KeyboardInterrupt):
        work(progress)
    time.sleep(0.05)  # nothing more may come
    return before, sorted(os.listdir(folder))


@pytest.mark.parametrize("existing", [False, True])
def test_ctrl_c_stops_a_cut_after_its_row_and_leaves_no_file(world, tmp_path, existing):
    out = tmp_path / "stopped.qdat"
    if existing:
        out.write_bytes(b"kept")
    before, after = interrupted(
        lambda progress: tessmar.cut(0, -90, 0, 90, 360, 5, out, overwrite=True, progress=progress, **world.where()),
        tmp_path)
    assert after == before  # no file made, no temporary one left
    assert not existing or out.read_bytes() == b"kept"


def test_ctrl_c_stops_a_scan(world, cuts):
    path = cuts[3][3].path  # the whole circle
    interrupted(lambda progress: tessmar.scan(path, 0, 4, progress, **world.where()), world.folder)
    done = []
    tessmar.scan(cuts[0][3].path, 0, 1, done.append, **world.where())  # a progress callable sees the work end
    assert done[-1] == 1.0 and done == sorted(done)


def test_long_work_lets_other_threads_run(world, cuts):
    """The GIL is released while the points are checked: a Python thread keeps counting meanwhile."""
    stamps, stop = [], threading.Event()

    def counter():
        n = 0
        while not stop.is_set():
            n += 1
            if n % 100 == 0:
                stamps.append(time.perf_counter())

    lat, lon = np.full(4_000_000, 35.5), np.full(4_000_000, 139.5)
    thread = threading.Thread(target=counter)
    thread.start()
    time.sleep(0.01)
    start = time.perf_counter()
    tessmar.check_points(cuts[0][3].path, lat, lon, **world.where())
    end = time.perf_counter()
    stop.set()
    thread.join()
    gaps = np.diff([start] + [t for t in stamps if start < t < end] + [end])
    assert gaps.max() < (end - start) / 3, (gaps.max(), end - start)


def test_models_and_custom_grids(world, cuts):
    listed = {m["entry"]: m for m in json.loads(world.cli("--json", "models"))["models"]}
    for m in tessmar.models(**world.where()):
        assert (m.name, m.path, m.usable, m.selected) == (listed[m.entry]["title"], listed[m.entry]["path"], True,
                                                          listed[m.entry]["selected"])
    assert tessmar.models(settings=False, data_dir=world.folder)[0].reason == "missing"
    _, facts, _, result = cuts[2]
    custom = tessmar.Custom(result.path)
    assert custom.shape == result.shape and custom.extent == result.extent and custom.size == facts["size"]
    stored = np.fromfile(result.path, dtype="<f4", count=result.shape[0] * result.shape[1]).reshape(result.shape)
    assert same_bits(custom.nodes(), stored)
    # Each node's height is its stored value: the custom grid reproduces its nodes.
    nodes = custom.height(custom.latitudes()[:, None], custom.longitudes()[None, :])
    assert same_bits(nodes, stored)
    xarray = pytest.importorskip("xarray")
    assert isinstance(custom.to_xarray(), xarray.DataArray)


def test_the_worked_example_of_the_docs_runs(tmp_path, monkeypatch):
    """docs/python.md's example, on a synthetic 2.5' grid over Japan, writes its figure."""
    write_gtx(tmp_path / "japan.gtx", 20, 120, 1 / 24, 721, 721, relief)
    settings, data = tmp_path / "japan.ini", tmp_path / "data"
    data.mkdir()
    subprocess.run([CLI, "--settings", settings, "--data-dir", data, "import-gtx", tmp_path / "japan.gtx", "--title",
                    "Japan 2.5'"], check=True, capture_output=True)
    page = open(os.path.join(os.environ["TESSMAR_DOCS"], "python.md"), encoding="utf-8").read()
    example = re.search(r"```python\n(.*?)```", page, re.S).group(1)
    example = re.sub(r"^data = .*$", f"data = {str(data)!r}", example, count=1, flags=re.M)
    example = re.sub(r"^settings = .*$", f"settings = {str(settings)!r}", example, count=1, flags=re.M)
    rng = np.random.default_rng(5)
    lines = ["lat,lon,name"] + [f"{a:.6f},{o:.6f},BM{k}" for k, (a, o) in
                                enumerate(zip(rng.uniform(31, 45, 50), rng.uniform(130, 145, 50)))]
    (tmp_path / "benchmarks.csv").write_text("\n".join(lines) + "\n")
    monkeypatch.chdir(tmp_path)
    monkeypatch.setenv("MPLBACKEND", "Agg")
    exec(compile(example, "docs/python.md", "exec"), {})
    figure = tmp_path / "japan_error.png"
    assert figure.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    out = os.environ.get("TESSMAR_TEST_OUT")
    if out:  # for a person to look at
        os.makedirs(out, exist_ok=True)
        os.replace(figure, os.path.join(out, "japan_error.png"))
