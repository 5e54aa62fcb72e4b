"""The Python package against the C++ results (through the tarnutil tool,
which TARNUTIL_TOOL names), against pyproj and shapely, and at its edges."""

import os
import subprocess

import numpy as np
import pytest

import tarnutil
from tarnutil import _tarnutil

LCC = "+proj=lcc +lat_1=25 +lat_2=47 +lat_0=18 +lon_0=104 +a=6378137 +e=0.081819191"
RNG = np.random.default_rng(19)


def run_tool(args, text):
    tool = os.environ.get("TARNUTIL_TOOL")
    assert tool, "TARNUTIL_TOOL must name the built tarnutil tool"
    done = subprocess.run([tool, *args], input=text, capture_output=True, text=True, check=True)
    return done.stdout


def figures_text(figures):
    """Figures as the tool prints them: "x y" lines, a blank line between."""
    return "\n".join("".join(f"{x} {y}\n" for x, y in f) for f in figures if len(f))


def rows_text(*columns):
    return "".join(" ".join(repr(float(v)) for v in row) + "\n" for row in zip(*columns))


def walk(n, step):
    return np.cumsum(RNG.integers(-step, step + 1, size=(n, 2)), axis=0)


# A grid over the map area, with the origin and the documented points.
LON = np.concatenate([RNG.uniform(70, 140, 300), [104, 110, 120, 80, 0, -179.5]])
LAT = np.concatenate([RNG.uniform(15, 55, 300), [18, 30, 40, 20, -60, 89.9]])
X, Y = tarnutil.lcc_forward(LON, LAT)
TRACK = walk(400, 40)
GEO_UNITS = [v * 86400 for v in (LON[:-2], LAT[:-2], LAT[:-2] + 100, LON[:-2] / 3)]
RING = np.array([[50, 50], [150, 50], [150, 150], [50, 150], [-20, 90]])


def bitmap(tmp_path_factory, mode):
    from PIL import Image

    img = Image.fromarray(RNG.integers(0, 256, size=(7, 5, 3), dtype=np.uint8))
    img = img.quantize(16) if mode == "P" else img.convert(mode)
    path = tmp_path_factory.mktemp("bmp") / f"{mode}.bmp"
    img.save(path)
    return path


# Each row: the tool's arguments and input, and what the package gives for the
# same input, printed the tool's way.
CASES = {
    "lcc": (["lcc"], rows_text(LON, LAT), lambda: rows_text(X, Y)),
    "lcc units": (["lcc", "-u"], rows_text(*GEO_UNITS[:2]),
                  lambda: rows_text(*tarnutil.lcc_forward(*GEO_UNITS[:2], degrees=False))),
    "lcc inverse": (["lcc", "-i"], rows_text(X, Y), lambda: rows_text(*tarnutil.lcc_inverse(X, Y))),
    "lcc inverse units": (["lcc", "-i", "-u"], rows_text(X, Y),
                          lambda: rows_text(*tarnutil.lcc_inverse(X, Y, degrees=False))),
    "rhumb": (["rhumb"], rows_text(LON[:-2], LAT[:-2], LAT[:-2] + 100, LON[:-2] / 3),
              lambda: rows_text(*tarnutil.rhumb(LON[:-2], LAT[:-2], LAT[:-2] + 100, LON[:-2] / 3))),
    "rhumb units": (["rhumb", "-u"], rows_text(*GEO_UNITS),
                    lambda: rows_text(*tarnutil.rhumb(*GEO_UNITS, degrees=False))),
    "rhumb east south": (["rhumb"], "116 39 117 39\n116 40 116 39\n116 39 116 39\n",
                         lambda: rows_text(*tarnutil.rhumb(116, [39, 40, 39], [117, 116, 116],
                                                           39))),
    "simplify": (["simplify", "--tolerance", "300"], figures_text([TRACK]),
                 lambda: figures_text([tarnutil.simplify(TRACK, 300)])),
    "simplify float tolerance": (["simplify", "--tolerance", "16.7"], figures_text([TRACK]),
                                 lambda: figures_text([tarnutil.simplify(TRACK, 16.7)])),
    "simplify distance": (["simplify", "--manhattan", "55"], figures_text([TRACK]),
                          lambda: figures_text([tarnutil.simplify(TRACK, distance=55)])),
    "clip lines": (["clip", "--rect", "-100", "-50", "300", "250"], figures_text([TRACK]),
                   lambda: figures_text(tarnutil.clip_lines(TRACK, (-100, -50, 300, 250)))),
    "clip polygon": (["clip", "--polygon", "--rect", "10", "0", "120", "90"], figures_text([RING]),
                     lambda: figures_text([tarnutil.clip_polygon(RING, (10, 0, 120, 90))])),
    "clip polygon open": (["clip", "--polygon", "--open", "--rect", "10", "0", "120", "90"],
                          figures_text([RING]),
                          lambda: figures_text([tarnutil.clip_polygon(RING, (10, 0, 120, 90),
                                                                      open=True)])),
}
LINKS = np.array([[1, 0, 0, 0, 1], [2, 0, 2, 0, 1], [3, 0, 0, 5, 5], [4, 9, 9, 8, 8],
                  [5, 8, 8, 5, 5], [2**32 - 1, 0, 2, -2**31, 7]])
CASES["chain"] = (["chain"], "".join(" ".join(map(str, r)) + "\n" for r in LINKS),
                  lambda: "".join(" ".join(("+" if fwd else "-") + str(i) for i, fwd in line) + "\n"
                                  for line in tarnutil.chain(LINKS)))


def numbers(text):
    return [[float(v) for v in line.split()] for line in text.splitlines()]


@pytest.mark.parametrize("name", CASES)
def test_same_results_as_the_library(name):
    args, text, ours = CASES[name]
    assert numbers(ours()) == numbers(run_tool(args, text))


@pytest.mark.parametrize("mode", ["RGB", "P", "RGBA"])
def test_bitmap_pixels_as_the_library_reads_them(tmp_path_factory, mode):
    from PIL import Image

    path = bitmap(tmp_path_factory, mode)
    pixels, fmt = tarnutil.load_bitmap(path)
    assert fmt.depth == {"RGB": 24, "P": 8, "RGBA": 32}[mode]
    assert pixels.dtype == np.uint8
    np.testing.assert_array_equal(pixels, np.asarray(Image.open(path).convert("RGB")))
    # The tool's --raw line gives the library's colour value; it cuts 32-bit
    # pixels to 5-6-5, so it checks the others.
    for x, y in [(0, 0), (4, 6), (2, 3)] if mode != "RGBA" else []:
        value = int(run_tool(["bmp", "pixel", "--raw", str(path), str(x), str(y)], "").split()[3], 16)
        # 24-bit values read 0xRRGGBB; colour-table entries are Windows
        # colours, red in the low byte.
        rgb = [value >> 16, (value >> 8) & 255, value & 255]
        assert list(pixels[y, x]) == (rgb if mode == "RGB" else rgb[::-1])


def bmp_565(rows_bottom_up):
    """A 2 x 2 5-6-5 bit-field bitmap, rows given bottom row first."""
    header = (40).to_bytes(4, "little") + (2).to_bytes(4, "little") + (2).to_bytes(4, "little")
    header += (1).to_bytes(2, "little") + (16).to_bytes(2, "little") + (3).to_bytes(4, "little")
    header += (8).to_bytes(4, "little") + bytes(16)
    masks = b"".join(m.to_bytes(4, "little") for m in (0xF800, 0x07E0, 0x001F))
    data = b"".join(v.to_bytes(2, "little") for row in rows_bottom_up for v in row)
    offset = 14 + len(header) + len(masks)
    return (b"BM" + (offset + len(data)).to_bytes(4, "little") + bytes(4)
            + offset.to_bytes(4, "little") + header + masks + data)


def test_bitmap_16_bit_widened_and_unread_formats_refused(tmp_path):
    from PIL import Image

    path = tmp_path / "565.bmp"
    path.write_bytes(bmp_565([[0xF800, 0x07E0], [0x001F, 0xFFFF]]))
    pixels, fmt = tarnutil.load_bitmap(path)
    assert fmt == (16, 3)
    assert pixels.tolist() == [[[0, 0, 255], [255, 255, 255]], [[255, 0, 0], [0, 255, 0]]]
    mono = tmp_path / "mono.bmp"
    Image.new("1", (9, 3)).save(mono)
    with pytest.raises(tarnutil.BitmapError) as caught:
        tarnutil.load_bitmap(mono)
    assert caught.value.code == -1


def test_table_trigonometry():
    # 180 degrees holds -0.000001 in the device's table, not 0.
    assert tarnutil.sin_table([30, 180, 270])[1] == np.float32(-0.000001)
    assert tarnutil.sin_table(30) == np.float32(0.5)
    # The table's entries stray up to 3e-6 from the true values; a swapped
    # table or a shifted index strays 0.017 or more.
    degrees = np.arange(360)
    assert np.all(np.abs(tarnutil.sin_table() - np.sin(np.radians(degrees))) < 5e-6)
    assert np.all(np.abs(tarnutil.cos_table() - np.cos(np.radians(degrees))) < 5e-6)
    # Every 32-bit angle reads the entry of its angle modulo 360.
    wide = np.array([-2**31, 2**31 - 1, -1, 359, 360, -721, 123456789])
    np.testing.assert_array_equal(tarnutil.sin_table(wide), tarnutil.sin_table()[wide % 360])
    np.testing.assert_array_equal(tarnutil.cos_table(wide.reshape(7, 1)).ravel(),
                                  tarnutil.cos_table()[wide % 360])


def test_projection_agrees_with_pyproj():
    import pyproj

    t = pyproj.Transformer.from_crs("+proj=longlat +a=6378137 +e=0.081819191", LCC,
                                    always_xy=True)
    inside = slice(0, 300)
    px, py = t.transform(LON[inside], LAT[inside])
    # The library's shortened constants put it about 2e-5 m from PROJ over
    # the map area; 1 mm catches a wrong unit, axis or constant.
    assert np.max(np.abs(px - X[inside])) < 1e-3
    assert np.max(np.abs(py - Y[inside])) < 1e-3
    lon, lat = t.transform(px, py, direction="INVERSE")
    ours_lon, ours_lat = tarnutil.lcc_inverse(px, py)
    assert np.max(np.abs(lon - ours_lon)) < 1e-8
    assert np.max(np.abs(lat - ours_lat)) < 1e-8


@pytest.mark.parametrize("rect", [(0, 0, 100, 100), (-300, -300, 40, 500), (10, 10, 11, 11)])
def test_clipping_agrees_with_shapely(rect):
    from shapely.geometry import LineString, Polygon, box

    window = box(*rect)
    pieces = tarnutil.clip_lines(TRACK, rect)
    # Crossings are cut to whole units, so each piece lies within a unit of
    # shapely's exact clip, and the clipped lengths agree to a unit a piece.
    exact = LineString(TRACK).intersection(window)
    ours_length = sum(LineString(p).length for p in pieces if len(p) > 1)
    assert abs(ours_length - exact.length) <= 2.0 * max(1, len(pieces))
    for p in pieces:
        assert window.contains(LineString(p) if len(p) > 1 else box(*p[0], *p[0]))
    poly = tarnutil.clip_polygon(RING, rect)
    exact_poly = Polygon(RING).intersection(window)
    area = Polygon(poly).area if len(poly) >= 3 else 0.0
    assert abs(area - exact_poly.area) <= exact_poly.length + 1.0


def test_simplify_closed_ring_keeps_its_ends_open_ring_its_corners():
    # A square ring 1000 units a side: the closing chord has no length.
    ring = [[0, 0], [1000, 0], [1000, 1000], [0, 1000], [0, 0]]
    assert tarnutil.simplify(ring, 16.0).tolist() == [[0, 0], [0, 0]]
    assert tarnutil.simplify(ring[:-1], 16.0).tolist() == ring[:-1]


@pytest.mark.parametrize("call", [
    lambda: tarnutil.lcc_forward(104, 90.5),
    lambda: tarnutil.lcc_forward([104, 361], 30),
    lambda: tarnutil.lcc_forward(np.nan, 30),
    lambda: tarnutil.lcc_forward(104 * 86400, 91 * 86400, degrees=False),
    lambda: tarnutil.lcc_inverse(0.0, 10563744.853716312),
    lambda: tarnutil.lcc_inverse(np.inf, 0),
    lambda: tarnutil.rhumb(116, -90.5, 117, 40),
    lambda: tarnutil.rhumb([1, 2], [1, 2, 3], 0, 0),
    lambda: tarnutil.simplify(TRACK, 4, distance=3),
    lambda: tarnutil.simplify(TRACK),
    lambda: tarnutil.simplify(TRACK, -1.0),
    lambda: tarnutil.simplify([[0, 0], [2**31, 0]], 4),
    lambda: tarnutil.simplify([[0, 0.5], [2, 0]], 4),
    lambda: tarnutil.simplify([[0, 0, 0]], 4),
    lambda: tarnutil.clip_lines(TRACK, (0, 0, 100)),
    lambda: tarnutil.clip_polygon(RING, (0, 0, 100, 2**31)),
    lambda: tarnutil.chain([[-1, 0, 0, 0, 1]]),
    lambda: tarnutil.chain([[1, 0, 0, 0]]),
    lambda: tarnutil.sin_table(2**31),
])
def test_out_of_range_input_raises_value_error(call):
    with pytest.raises(ValueError):
        call()


def test_other_threads_run_during_a_computation():
    import sys
    import threading
    import time

    lon, lat = np.full(200_000, 110.0), np.full(200_000, 30.0)
    progress, done = [0], threading.Event()

    def spin():
        while not done.is_set():
            progress[0] += 1

    # A long switch interval: a thread waiting for a held GIL waits 0.5 s,
    # far longer than the call, so only a released GIL lets it run.
    interval = sys.getswitchinterval()
    sys.setswitchinterval(0.5)
    spinner = threading.Thread(target=spin)
    try:
        spinner.start()
        time.sleep(0.01)
        before = progress[0]
        _tarnutil.lcc_forward(lon, lat, True)
        during = progress[0] - before
    finally:
        done.set()
        spinner.join()
        sys.setswitchinterval(interval)
    assert during > 0


def test_value_error_names_the_element():
    with pytest.raises(ValueError, match="element 2: latitude"):
        tarnutil.lcc_forward([104, 104, 104], [30, 40, -95])


@pytest.mark.parametrize("content, code", [
    (None, 1),
    (b"PK\x03\x04 not a bitmap at all", 2),
    (b"BM" + bytes(12) + (64).to_bytes(4, "little") + bytes(60), 3),
])
def test_refused_bitmap_raises_with_the_reason(tmp_path, content, code):
    path = tmp_path / "x.bmp"
    if content is not None:
        path.write_bytes(content)
    with pytest.raises(tarnutil.BitmapError) as caught:
        tarnutil.load_bitmap(path)
    assert caught.value.code == code
    assert caught.value.reason and caught.value.reason in str(caught.value)


def test_shapes_broadcast_and_small_inputs_pass_through():
    x, y = tarnutil.lcc_forward(np.full((2, 3), 110.0), 30)
    assert x.shape == y.shape == (2, 3) and np.all(x == X[301]) and np.all(y == Y[301])
    assert tarnutil.simplify(np.empty((0, 2)), 4).shape == (0, 2)
    assert tarnutil.simplify([[1, 2]], distance=0).tolist() == [[1, 2]]
    assert tarnutil.clip_lines([[1, 2]], (0, 0, 9, 9)) == []
    assert tarnutil.clip_polygon(np.empty((0, 2)), (0, 0, 9, 9)).shape == (0, 2)
    assert tarnutil.chain(np.empty((0, 5))) == []
    # Whole floats are taken as integers; the input array is left alone.
    track = TRACK.astype(float)
    np.testing.assert_array_equal(tarnutil.simplify(track, 300), tarnutil.simplify(TRACK, 300))
    np.testing.assert_array_equal(track, TRACK)
