"""Scaling tarnutil out with Dask: coastlines clipped to the tiles of a zoom
level, and a fleet's tracks projected, partition by partition, on whatever
workers a Dask scheduler has.

    python3 examples/dask_tiles.py COASTLINES.geojson --zoom 6 --workers 2

Every tarnutil function is pure and keeps no state, so the workers share
nothing: each needs only the tarnutil package importable (installed in its
environment) and receives its partition of the data from the scheduler. The
results are the same, bit for bit, on one process or many.

Tiles: the projected plane (Lambert conformal conic, origin 18N 104E, metres)
is cut into a square of 2**24 m centred on the origin; zoom z splits it into
2**z by 2**z tiles. Coordinates are rounded to whole metres before clipping,
as the integer geometry takes them.
"""

import argparse
import json
import time

import numpy as np

import dask
import tarnutil

FRAME_BITS = 24
FRAME_MIN = -(2 ** (FRAME_BITS - 1))


def read_lines(path):
    """Every line and ring of a GeoJSON file as (n, 2) arrays of lon, lat."""
    with open(path, encoding="utf-8") as f:
        data = json.load(f)
    features = data["features"] if data.get("type") == "FeatureCollection" else [data]
    lines = []
    for feature in features:
        geometry = feature.get("geometry", feature)
        if geometry is None:
            continue
        kind, coords = geometry["type"], geometry.get("coordinates")
        if kind == "MultiPolygon":
            parts = [ring for polygon in coords for ring in polygon]
        else:
            parts = {"LineString": [coords], "MultiLineString": coords,
                     "Polygon": coords}.get(kind, [])
        lines.extend(np.asarray(p, dtype=np.float64)[:, :2] for p in parts if len(p) >= 2)
    return lines


def project_line(lonlat):
    """A line of lon, lat to whole metres on the map."""
    x, y = tarnutil.lcc_forward(lonlat[:, 0], lonlat[:, 1])
    return np.rint(np.column_stack([x, y])).astype(np.int32)


def tile_rect(tile, zoom):
    size = 2 ** (FRAME_BITS - zoom)
    x0, y0 = FRAME_MIN + tile[0] * size, FRAME_MIN + tile[1] * size
    # Bounds are inclusive: a line along a shared edge belongs to both tiles.
    return (x0, y0, x0 + size, y0 + size)


def tiles_touched(lines, zoom):
    """The tiles that the bounding box of some line meets, in order."""
    size = 2 ** (FRAME_BITS - zoom)
    last = 2 ** zoom - 1
    tiles = set()
    for line in lines:
        lo = np.clip((line.min(axis=0).astype(np.int64) - FRAME_MIN) // size, 0, last)
        hi = np.clip((line.max(axis=0).astype(np.int64) - FRAME_MIN) // size, 0, last)
        tiles.update((int(tx), int(ty)) for tx in range(lo[0], hi[0] + 1)
                     for ty in range(lo[1], hi[1] + 1))
    return sorted(tiles)


def clip_tiles(lines, tiles, zoom):
    """{tile: [pieces]} for the given tiles; pieces in line order."""
    boxes = [(line.min(axis=0), line.max(axis=0)) for line in lines]
    out = {}
    for tile in tiles:
        rect = tile_rect(tile, zoom)
        pieces = []
        for line, (lo, hi) in zip(lines, boxes):
            if lo[0] <= rect[2] and hi[0] >= rect[0] and lo[1] <= rect[3] and hi[1] >= rect[1]:
                pieces.extend(tarnutil.clip_lines(line, rect))
        if pieces:
            out[tile] = pieces
    return out


def project_tracks(tracks):
    """A partition of tracks (lon, lat arrays) to metres, thinned to 1 m."""
    out = []
    for lonlat in tracks:
        xy = project_line(lonlat)
        out.append(tarnutil.simplify(xy, 1.0))
    return out


def make_tracks(count, points, seed=1):
    """Stand-in fleet: random walks over the map area, about 50 m a step."""
    rng = np.random.default_rng(seed)
    starts = np.column_stack([rng.uniform(100, 120, count), rng.uniform(20, 40, count)])
    steps = rng.normal(0, 0.0005, size=(count, points, 2))
    return [start + np.cumsum(step, axis=0) for start, step in zip(starts, steps)]


def run(coastlines, zoom, tracks, partitions, scheduler="sync"):
    """Clips the coastlines to the tiles of zoom and projects the tracks, in
    partitions tasks each, on scheduler ("sync" for one process, or a
    distributed Client). Returns ({tile: pieces}, [projected tracks])."""
    lines = [project_line(line) for line in read_lines(coastlines)]
    tiles = tiles_touched(lines, zoom)
    shared = dask.delayed(lines, traverse=False)
    groups = [[tiles[i] for i in part]
              for part in np.array_split(np.arange(len(tiles)), partitions)]
    clip_tasks = [dask.delayed(clip_tiles, pure=True)(shared, group, zoom)
                  for group in groups if group]
    track_tasks = [dask.delayed(project_tracks, pure=True)([tracks[i] for i in part])
                   for part in np.array_split(np.arange(len(tracks)), partitions) if len(part)]
    clipped, projected = dask.compute(clip_tasks, track_tasks, scheduler=scheduler)
    merged = {}
    for part in clipped:
        merged.update(part)
    return merged, [t for part in projected for t in part]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("coastlines", help="GeoJSON lines or polygons in lon, lat degrees")
    parser.add_argument("--zoom", type=int, default=6)
    parser.add_argument("--tracks", type=int, default=200, help="stand-in tracks to project")
    parser.add_argument("--points", type=int, default=2000, help="points per track")
    parser.add_argument("--partitions", type=int, default=8)
    parser.add_argument("--workers", type=int, default=0,
                        help="local worker processes (0: this process only)")
    parser.add_argument("--scheduler", help="address of a running Dask scheduler")
    args = parser.parse_args()

    tracks = make_tracks(args.tracks, args.points)
    client = cluster = None
    scheduler = "sync"
    if args.scheduler or args.workers:
        from dask.distributed import Client, LocalCluster

        if not args.scheduler:
            cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True,
                                   dashboard_address=None)
        client = Client(args.scheduler or cluster)
        scheduler = client
    start = time.perf_counter()
    tiles, projected = run(args.coastlines, args.zoom, tracks, args.partitions, scheduler)
    seconds = time.perf_counter() - start
    pieces = sum(len(p) for p in tiles.values())
    points = sum(len(p) for p in projected)
    print(f"{len(tiles)} tiles at zoom {args.zoom}, {pieces} pieces; "
          f"{len(projected)} tracks, {points} points kept; {seconds:.2f} s")
    if client is not None:
        client.close()
    if cluster is not None:
        cluster.close()


if __name__ == "__main__":
    main()
