"""TarnUtil from Python: the library's exact results on NumPy arrays.

Every function gives exactly what the C++ library gives for the same input
(the same bits on every platform). Positions are degrees unless
``degrees=False``, which takes the library's own unit, 1/86400 of a degree.
Points of the integer geometry are (n, 2) arrays of 32-bit integers.

Input outside the published ranges raises ``ValueError``: integer coordinates
outside the 32-bit range or not whole numbers, latitudes beyond 90 degrees,
longitudes beyond 360 degrees either way, values that are not finite, and
positions whose result is not finite (a pole on a rhumb line). A bitmap the
library refuses raises ``BitmapError`` with the library's reason.

The computations run with the GIL released and share no state, so threads
and worker processes may call them at once.
"""

from __future__ import annotations

from typing import List, NamedTuple, Optional, Sequence, Tuple, Union
import os

import numpy as np

from . import _tarnutil

__all__ = [
    "BitmapError",
    "BitmapFormat",
    "chain",
    "clip_lines",
    "clip_polygon",
    "cos_table",
    "lcc_forward",
    "lcc_inverse",
    "load_bitmap",
    "rhumb",
    "simplify",
    "sin_table",
    "library_version",
]

_INT32_MIN = -(2**31)
_INT32_MAX = 2**31 - 1
_UINT32_MAX = 2**32 - 1


def library_version() -> str:
    """The version of the loaded libtarnutil, "MAJOR.MINOR.PATCH"."""
    return _tarnutil.version()


def _integers(values, low: int, high: int, what: str) -> np.ndarray:
    """values as int64, refusing fractions, non-finite values and anything
    outside low..high, so nothing is silently cut or wrapped."""
    arr = np.asarray(values)
    if arr.dtype.kind in "iu":
        if arr.size and (arr.min() < low or arr.max() > high):
            raise ValueError(f"{what} outside {low}..{high}")
        return arr.astype(np.int64, copy=False)
    if arr.dtype.kind == "b":
        raise ValueError(f"{what} must be integers, not booleans")
    try:
        as_float = arr.astype(np.float64)
    except (TypeError, ValueError):
        raise ValueError(f"{what} must be integers") from None
    if as_float.size:
        if not np.all(np.isfinite(as_float)):
            raise ValueError(f"{what} must be finite")
        if np.any(as_float != np.trunc(as_float)):
            raise ValueError(f"{what} must be whole numbers")
        if as_float.min() < low or as_float.max() > high:
            raise ValueError(f"{what} outside {low}..{high}")
    return as_float.astype(np.int64)


def _points(points) -> np.ndarray:
    arr = _integers(points, _INT32_MIN, _INT32_MAX, "coordinates")
    if arr.size == 0:
        arr = arr.reshape(0, 2)
    if arr.ndim != 2 or arr.shape[1] != 2:
        raise ValueError(f"points must have shape (n, 2), not {arr.shape}")
    return np.ascontiguousarray(arr, dtype=np.int32)


def _rect(rect) -> Tuple[int, int, int, int]:
    values = _integers(rect, _INT32_MIN, _INT32_MAX, "rectangle bounds").ravel()
    if values.shape != (4,):
        raise ValueError("rect is (xmin, ymin, xmax, ymax)")
    return tuple(int(v) for v in values)


def _doubles(*arrays) -> Tuple[Tuple[int, ...], List[np.ndarray]]:
    try:
        broadcast = np.broadcast_arrays(*[np.asarray(a, dtype=np.float64) for a in arrays])
    except ValueError as e:
        raise ValueError(f"coordinate arrays do not match: {e}") from None
    shape = broadcast[0].shape
    return shape, [np.ascontiguousarray(a).ravel() for a in broadcast]


def lcc_forward(lon, lat, *, degrees: bool = True) -> Tuple[np.ndarray, np.ndarray]:
    """Lambert conformal conic projection (standard parallels 25N and 47N,
    origin 18N 104E, no false easting or northing) of longitudes and
    latitudes to x (east) and y (north) in metres.

    lon and lat broadcast against each other; the results have their shape.
    Raises ValueError for a latitude beyond 90 degrees, a longitude beyond
    360 degrees either way, or a value that is not finite.
    """
    shape, (a, b) = _doubles(lon, lat)
    x, y = _tarnutil.lcc_forward(a, b, degrees)
    return x.reshape(shape), y.reshape(shape)


def lcc_inverse(x, y, *, degrees: bool = True) -> Tuple[np.ndarray, np.ndarray]:
    """Inverse of lcc_forward: metres to longitude and latitude.

    Raises ValueError for coordinates that are not finite, or whose result is
    not (the apex of the cone, x = 0 and y = 10563744.853716312).
    """
    shape, (a, b) = _doubles(x, y)
    lon, lat = _tarnutil.lcc_inverse(a, b, degrees)
    return lon.reshape(shape), lat.reshape(shape)


def rhumb(lon1, lat1, lon2, lat2, *, degrees: bool = True) -> Tuple[np.ndarray, np.ndarray]:
    """Rhumb line on the Krasovsky 1940 ellipsoid from (lon1, lat1) to
    (lon2, lat2): the bearing in degrees clockwise from north, after the
    library's tenths rule (a tenths digit of 6 or more adds 1), and the
    length in metres. Longitudes are not wrapped across 180 degrees.

    The four arguments broadcast. Raises ValueError for positions outside the
    ranges, and for a pole, where the length is not finite.
    """
    shape, arrays = _doubles(lon1, lat1, lon2, lat2)
    bearing, length = _tarnutil.rhumb(*arrays, degrees)
    return bearing.reshape(shape), length.reshape(shape)


def simplify(points, tolerance: Optional[float] = None, *,
             distance: Optional[int] = None) -> np.ndarray:
    """Thins a polyline of integer points; the first and last points stay.

    With tolerance: recursive farthest-point splitting, where a point
    survives when its squared deviation from the chord exceeds
    sqrt(tolerance), so tolerance d**4 keeps points more than d units off
    (the deviation is measured to the chord's foot cut to whole units).
    A chord of zero length is not measured: a closed ring (first point
    equal to the last) keeps only those two, so thin rings open.
    With distance: one forward pass keeping a point whose |dx| + |dy| from
    the last kept point exceeds distance (the point before the last one is
    always dropped). Give exactly one. Returns the kept points, (k, 2) int32.
    """
    if (tolerance is None) == (distance is None):
        raise ValueError("give exactly one of tolerance and distance")
    pts = _points(points)
    if pts.shape[0] > _INT32_MAX:
        raise ValueError("more points than a 32-bit count holds")
    if tolerance is not None:
        t = float(tolerance)
        if not np.isfinite(t) or t < 0:
            raise ValueError("tolerance must be finite and not negative")
        return _tarnutil.simplify_tolerance(pts, t)
    d = int(_integers(distance, _INT32_MIN, _INT32_MAX, "distance"))
    return _tarnutil.simplify_manhattan(pts, d)


def clip_lines(points, rect) -> List[np.ndarray]:
    """Clips a polyline to rect = (xmin, ymin, xmax, ymax), bounds included.
    Returns the visible pieces in order, each a (k, 2) int32 array; a
    polyline of fewer than two points has none."""
    return _tarnutil.clip_lines(_points(points), *_rect(rect))


def clip_polygon(points, rect, *, open: bool = False) -> np.ndarray:
    """Clips a polygon to rect = (xmin, ymin, xmax, ymax) (y grows upward).
    open=True leaves out the closing edge. Returns the clipped outline,
    (k, 2) int32, empty when nothing is inside."""
    return _tarnutil.clip_polygon(_points(points), *_rect(rect), bool(open))


def chain(links) -> List[List[Tuple[int, bool]]]:
    """Chains road links into continuous lines.

    links: n rows of (id, startA, startB, endA, endB), id an unsigned 32-bit
    integer and each node key a pair of 32-bit integers; links whose keys are
    equal meet. Returns the lines in the order they were started, each a list
    of (id, forward) from its start to its end, forward False when the link
    was turned round.
    """
    arr = np.asarray(links)
    if arr.size == 0:
        return []
    if arr.ndim != 2 or arr.shape[1] != 5:
        raise ValueError(f"links must have shape (n, 5), not {arr.shape}")
    ids = _integers(arr[:, 0], 0, _UINT32_MAX, "link ids")
    keys = _integers(arr[:, 1:], _INT32_MIN, _INT32_MAX, "node keys")
    rows = np.ascontiguousarray(np.column_stack([ids, keys]), dtype=np.int64)
    return _tarnutil.chain(rows)


class BitmapError(OSError):
    """A bitmap the library refuses. code is the library's refusal code
    (1 unreadable, 2 not a bitmap, ... 10 no rows; -1 a format whose pixels
    the library does not read), reason its text."""

    def __init__(self, path, code: int, reason: str):
        super().__init__(f"{os.fspath(path)}: {reason}")
        self.path = path
        self.code = code
        self.reason = reason


class BitmapFormat(NamedTuple):
    """Bits per pixel and the header's compression field (0 none, 3 bit
    fields)."""

    depth: int
    compression: int


def load_bitmap(path: Union[str, "os.PathLike[str]"]) -> Tuple[np.ndarray, BitmapFormat]:
    """Reads a Windows bitmap file through the library's loader.

    Returns an H x W x 3 uint8 array of red, green and blue, row 0 the top
    row, and the format. 8-bit pixels come through the colour table, 16-bit
    ones as the library reads them (5-6-5, widened to 8 bits), 24- and
    32-bit ones as stored. Raises BitmapError with the library's reason when
    it refuses the file, and for pixels it does not read (1, 2 and 4 bits,
    run-length data, bit fields other than 5-5-5, 5-6-5 and 8-8-8).
    """
    text = os.fspath(path)
    if isinstance(text, bytes):
        text = os.fsdecode(text)
    code, reason, pixels, depth, compression = _tarnutil.load_bitmap(text)
    if code != 0:
        raise BitmapError(path, code, reason)
    return pixels, BitmapFormat(depth, compression)


def _table(lookup, degrees) -> np.ndarray:
    if degrees is None:
        return lookup(np.arange(360, dtype=np.int32))
    arr = _integers(degrees, _INT32_MIN, _INT32_MAX, "degrees")
    return lookup(np.ascontiguousarray(arr, dtype=np.int32).ravel()).reshape(arr.shape)


def sin_table(degrees=None) -> np.ndarray:
    """The library's table sine (float32, six decimals) of whole degrees, any
    32-bit integer; without an argument, the 360 entries for 0..359."""
    return _table(_tarnutil.sin_table, degrees)


def cos_table(degrees=None) -> np.ndarray:
    """The library's table cosine, as sin_table."""
    return _table(_tarnutil.cos_table, degrees)
