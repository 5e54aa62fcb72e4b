"""The Python package against its peers, on one thread, in one run:

- tarnutil.lcc_forward against pyproj's Transformer.transform on the same
  NumPy arrays (1,000,000 points over the map area by default);
- tarnutil.simplify against shapely's simplify on coastlines from a GeoJSON
  file, projected to whole metres first (both get the same points).

    PYTHONPATH=build/python/python /usr/bin/python3 bench/python_bench.py \
        --coastlines COASTLINES.geojson

Without --coastlines the real-data coastlines are taken when present
(build/data/*coast*.geojson from scripts/realdata.sh, else the committed
data/extract/*coast*.geojson), and stand-in shores otherwise, saying so.
Each timing is the median of --repeats runs, alternating the two libraries so
that the machine's load falls on both alike.
"""

import argparse
import glob
import os
import statistics
import sys
import time

import numpy as np

import tarnutil

LCC = "+proj=lcc +lat_1=25 +lat_2=47 +lat_0=18 +lon_0=104 +a=6378137 +e=0.081819191"


def timed(fn):
    start = time.perf_counter()
    result = fn()
    return time.perf_counter() - start, result


def alternate(repeats, a, b):
    ta, tb = [], []
    for _ in range(repeats):
        t, ra = timed(a)
        ta.append(t)
        t, rb = timed(b)
        tb.append(t)
    return statistics.median(ta), statistics.median(tb), ra, rb


def bench_projection(points, repeats):
    import pyproj

    rng = np.random.default_rng(1)
    lon = rng.uniform(70, 140, points)
    lat = rng.uniform(15, 55, points)
    transformer = pyproj.Transformer.from_crs("+proj=longlat +a=6378137 +e=0.081819191", LCC,
                                              always_xy=True)
    ours, theirs, (x, y), (px, py) = alternate(
        repeats, lambda: tarnutil.lcc_forward(lon, lat), lambda: transformer.transform(lon, lat))
    diff = max(np.max(np.abs(x - px)), np.max(np.abs(y - py)))
    print(f"lcc_forward, {points} points: tarnutil {ours * 1e3:.1f} ms "
          f"({ours / points * 1e9:.1f} ns a point), pyproj {theirs * 1e3:.1f} ms "
          f"({theirs / points * 1e9:.1f} ns); pyproj / tarnutil = {theirs / ours:.2f}; "
          f"largest difference {diff:.2e} m")


def read_lines(path):
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples"))
    import dask_tiles

    return dask_tiles.read_lines(path)


def stand_in(count=200, points=5000):
    """Shore-like lines: 30 m steps whose heading wanders, so that they curve
    as coasts do instead of zigzagging from point to point."""
    rng = np.random.default_rng(3)
    starts = np.column_stack([rng.uniform(100, 120, count), rng.uniform(18, 40, count)])
    headings = np.cumsum(rng.normal(0, 0.15, size=(count, points)), axis=1)
    step = 30.0 / 111_000.0  # degrees of latitude; longitude steps a little longer
    steps = np.stack([np.cos(headings), np.sin(headings)], axis=2) * step
    return [s + np.cumsum(d, axis=0) for s, d in zip(starts, steps)]


def bench_simplify(path, tolerances, repeats):
    from shapely.geometry import LineString
    import shapely

    if path is None:
        root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
        found = (sorted(glob.glob(os.path.join(root, "build", "data", "*coast*.geojson")))
                 or sorted(glob.glob(os.path.join(root, "data", "extract", "*coast*.geojson"))))
        path = found[0] if found else None
    lines = read_lines(path) if path else stand_in()
    source = path or "stand-in shores (no coastlines file found)"
    projected = []
    for line in lines:
        x, y = tarnutil.lcc_forward(line[:, 0], line[:, 1])
        p = np.rint(np.column_stack([x, y])).astype(np.int32)
        # A closed ring's chord has no length and tarnutil keeps only its
        # ends: both libraries get the ring opened.
        if len(p) > 2 and (p[0] == p[-1]).all():
            p = p[:-1]
        projected.append(p)
    total = sum(len(p) for p in projected)
    build, geometries = timed(lambda: [LineString(p.astype(np.float64)) for p in projected])
    print(f"simplify on {source}: {len(projected)} lines, {total} points; "
          f"shapely {shapely.__version__}; building its LineStrings took {build * 1e3:.1f} ms")
    for d in tolerances:
        # A point survives tarnutil's split when its squared deviation
        # exceeds sqrt(tolerance): d**4 keeps points more than d metres off.
        ours, theirs, kept, theirs_kept = alternate(
            repeats,
            lambda: [tarnutil.simplify(p, float(d) ** 4) for p in projected],
            lambda: [g.simplify(d, preserve_topology=False) for g in geometries])
        n_ours = sum(len(k) for k in kept)
        n_theirs = sum(len(g.coords) for g in theirs_kept)
        print(f"  {d} m: tarnutil {ours * 1e3:.1f} ms, {n_ours} points kept; shapely "
              f"{theirs * 1e3:.1f} ms, {n_theirs} kept; shapely / tarnutil = {theirs / ours:.2f}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--points", type=int, default=1_000_000)
    parser.add_argument("--repeats", type=int, default=5)
    parser.add_argument("--coastlines", help="GeoJSON lines or polygons in lon, lat degrees")
    parser.add_argument("--tolerance", type=float, nargs="+", default=[10.0, 100.0],
                        help="simplify tolerances in metres")
    args = parser.parse_args()
    print(f"tarnutil {tarnutil.library_version()}, NumPy {np.__version__}, "
          f"Python {sys.version.split()[0]}; one thread")
    bench_projection(args.points, args.repeats)
    bench_simplify(args.coastlines, args.tolerance, args.repeats)


if __name__ == "__main__":
    main()
