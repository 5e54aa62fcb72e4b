"""The Dask example on two worker processes gives exactly the single-process
results, on the committed real-data coastlines when the tree has them
(data/extract/*coast*.geojson), else on a stand-in GeoJSON file made here."""

import importlib
import json
import os
import sys
from pathlib import Path

import numpy as np
import pytest

ROOT = Path(__file__).resolve().parents[2]
EXAMPLE = ROOT / "examples" / "dask_tiles.py"
EXTRACT = sorted(ROOT.glob("data/extract/*coast*.geojson"))


def load_example():
    # Imported by name from its folder, so that it is the module dask_tiles
    # that Dask pickles its functions against.
    if str(EXAMPLE.parent) not in sys.path:
        sys.path.insert(0, str(EXAMPLE.parent))
    return importlib.import_module("dask_tiles")


def stand_in_coastlines(path):
    """Random-walk shores and one island over the map area, as GeoJSON."""
    rng = np.random.default_rng(7)
    features = []
    for i in range(12):
        start = [rng.uniform(105, 122), rng.uniform(18, 40)]
        walk = np.asarray(start) + np.cumsum(rng.normal(0, 0.05, size=(300, 2)), axis=0)
        features.append({"type": "Feature", "properties": {"id": i},
                         "geometry": {"type": "LineString", "coordinates": walk.tolist()}})
    angles = np.linspace(0, 2 * np.pi, 60)
    island = np.column_stack([110 + 0.8 * np.cos(angles), 20 + 0.5 * np.sin(angles)])
    features.append({"type": "Feature", "properties": {},
                     "geometry": {"type": "Polygon", "coordinates": [island.tolist()]}})
    islets = [[(island * 0.1 + [99 + i, 16]).tolist()] for i in range(3)]
    features.append({"type": "Feature", "properties": {},
                     "geometry": {"type": "MultiPolygon", "coordinates": islets}})
    features.append({"type": "Feature", "properties": {}, "geometry": None})
    path.write_text(json.dumps({"type": "FeatureCollection", "features": features}))


def test_two_worker_processes_match_one_process(tmp_path):
    distributed = pytest.importorskip("distributed")
    import cloudpickle

    example = load_example()
    # Workers import tarnutil as this process does; the example's own
    # functions travel by value, as a script's would.
    cloudpickle.register_pickle_by_value(example)
    os.environ["PYTHONPATH"] = os.pathsep.join(p for p in sys.path if p)
    if EXTRACT:
        coastlines = EXTRACT[0]
    else:
        coastlines = tmp_path / "coastlines.geojson"
        stand_in_coastlines(coastlines)
    tracks = example.make_tracks(24, 500)

    if not EXTRACT:
        assert len(example.read_lines(coastlines)) == 12 + 1 + 3
    tiles, projected = example.run(coastlines, 7, tracks, 4, scheduler="sync")
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        tiles2, projected2 = example.run(coastlines, 7, tracks, 4, scheduler=client)
        assert len(client.scheduler_info()["workers"]) == 2

    assert len(tiles) > 4 and sum(len(p) for p in tiles.values()) > len(tiles)
    assert sorted(tiles) == sorted(tiles2)
    for tile in tiles:
        assert len(tiles[tile]) == len(tiles2[tile])
        for a, b in zip(tiles[tile], tiles2[tile]):
            np.testing.assert_array_equal(a, b)
    assert len(projected) == len(projected2) == 24
    for a, b in zip(projected, projected2):
        np.testing.assert_array_equal(a, b)
    # Every piece lies in its tile, bounds included.
    for tile, pieces in tiles.items():
        x0, y0, x1, y1 = example.tile_rect(tile, 7)
        for p in pieces:
            assert p[:, 0].min() >= x0 and p[:, 0].max() <= x1
            assert p[:, 1].min() >= y0 and p[:, 1].max() <= y1
