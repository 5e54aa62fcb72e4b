// The compiled half of the Python package: thin loops over the exported
// functions on NumPy buffers. Argument shapes, dtypes and integer ranges are
// settled in tarnutil/__init__.py before anything reaches here; this file
// checks only what needs the values themselves (geographic ranges, finite
// results) and releases the GIL around every loop.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <tarnutil/tarnutil.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <list>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace py = pybind11;

namespace {

using DoubleArray = py::array_t<double, py::array::c_style | py::array::forcecast>;
using PointArray = py::array_t<std::int32_t, py::array::c_style>;

// The library takes positions in 1/86400 degree.
constexpr double unitsPerDegree = 86400.0;
// Published input ranges, in degrees: a latitude beyond a pole has no
// meaning, and one turn either way covers both longitude conventions.
constexpr double latLimitDeg = 90.0;
constexpr double lonLimitDeg = 360.0;
constexpr std::size_t noBadIndex = static_cast<std::size_t>(-1);

// Where a loop found its first bad value, and why; reported once the GIL is
// back.
struct Refusal {
  std::size_t index = noBadIndex;
  const char* why = "";
  void Set(std::size_t i, const char* text) {
    if (index == noBadIndex) {
      index = i;
      why = text;
    }
  }
  void Raise() const {
    if (index != noBadIndex) {
      throw py::value_error("element " + std::to_string(index) + ": " + why);
    }
  }
};

bool InRange(double v, double limit) {
  return std::isfinite(v) && std::fabs(v) <= limit;
}

// Positions are checked in degrees whatever unit the caller passes.
const char* CheckPosition(double lon, double lat, double scale) {
  if (!InRange(lon / scale, lonLimitDeg)) return "longitude outside -360..360 degrees";
  if (!InRange(lat / scale, latLimitDeg)) return "latitude outside -90..90 degrees";
  return nullptr;
}

const char notFinite[] = "outside the domain: the result is not a finite number";

std::pair<py::array_t<double>, py::array_t<double>> LccForward(const DoubleArray& lon,
                                                               const DoubleArray& lat,
                                                               bool degrees) {
  const std::size_t n = static_cast<std::size_t>(lon.size());
  py::array_t<double> xs(lon.size());
  py::array_t<double> ys(lon.size());
  const double* lonP = lon.data();
  const double* latP = lat.data();
  double* xP = xs.mutable_data();
  double* yP = ys.mutable_data();
  const double scale = degrees ? unitsPerDegree : 1.0;
  Refusal refusal;
  {
    py::gil_scoped_release release;
    for (std::size_t i = 0; i < n; ++i) {
      const double lonU = lonP[i] * scale;
      const double latU = latP[i] * scale;
      if (const char* why = CheckPosition(lonU, latU, unitsPerDegree)) {
        refusal.Set(i, why);
        break;
      }
      Lambert_Projct_LL2XY(lonU, latU, xP[i], yP[i]);
      if (!std::isfinite(xP[i]) || !std::isfinite(yP[i])) {
        refusal.Set(i, notFinite);
        break;
      }
    }
  }
  refusal.Raise();
  return {xs, ys};
}

std::pair<py::array_t<double>, py::array_t<double>> LccInverse(const DoubleArray& x,
                                                               const DoubleArray& y, bool degrees) {
  const std::size_t n = static_cast<std::size_t>(x.size());
  py::array_t<double> lons(x.size());
  py::array_t<double> lats(x.size());
  const double* xP = x.data();
  const double* yP = y.data();
  double* lonP = lons.mutable_data();
  double* latP = lats.mutable_data();
  const double scale = degrees ? unitsPerDegree : 1.0;
  Refusal refusal;
  {
    py::gil_scoped_release release;
    for (std::size_t i = 0; i < n; ++i) {
      if (!std::isfinite(xP[i]) || !std::isfinite(yP[i])) {
        refusal.Set(i, "plane coordinates must be finite");
        break;
      }
      Lambert_Projct_XY2LL(xP[i], yP[i], lonP[i], latP[i]);
      // Divided, not multiplied by 1/86400, as the command-line tool does,
      // so both print the same digits.
      lonP[i] /= scale;
      latP[i] /= scale;
      if (!std::isfinite(lonP[i]) || !std::isfinite(latP[i])) {
        refusal.Set(i, notFinite);
        break;
      }
    }
  }
  refusal.Raise();
  return {lons, lats};
}

std::pair<py::array_t<double>, py::array_t<double>> Rhumb(const DoubleArray& lon1,
                                                          const DoubleArray& lat1,
                                                          const DoubleArray& lon2,
                                                          const DoubleArray& lat2, bool degrees) {
  const std::size_t n = static_cast<std::size_t>(lon1.size());
  py::array_t<double> bearings(lon1.size());
  py::array_t<double> lengths(lon1.size());
  const double* a = lon1.data();
  const double* b = lat1.data();
  const double* c = lon2.data();
  const double* d = lat2.data();
  double* bearingP = bearings.mutable_data();
  double* lengthP = lengths.mutable_data();
  const double scale = degrees ? unitsPerDegree : 1.0;
  Refusal refusal;
  {
    py::gil_scoped_release release;
    for (std::size_t i = 0; i < n; ++i) {
      const char* why = CheckPosition(a[i] * scale, b[i] * scale, unitsPerDegree);
      if (why == nullptr) why = CheckPosition(c[i] * scale, d[i] * scale, unitsPerDegree);
      if (why != nullptr) {
        refusal.Set(i, why);
        break;
      }
      LLDistance(a[i] * scale, b[i] * scale, c[i] * scale, d[i] * scale, &bearingP[i], &lengthP[i]);
      // A pole gives an unbounded isometric latitude.
      if (!std::isfinite(bearingP[i]) || !std::isfinite(lengthP[i])) {
        refusal.Set(i, notFinite);
        break;
      }
    }
  }
  refusal.Raise();
  return {bearings, lengths};
}

// Copies the caller's points: the library thins and clips in place.
std::vector<tagPOINT> ToPoints(const PointArray& points) {
  const std::size_t n = static_cast<std::size_t>(points.shape(0));
  const std::int32_t* p = points.data();
  std::vector<tagPOINT> out(n);
  for (std::size_t i = 0; i < n; ++i) {
    out[i].x = p[2 * i];
    out[i].y = p[2 * i + 1];
  }
  return out;
}

py::array_t<std::int32_t> FromPoints(const tagPOINT* points, std::size_t n) {
  py::array_t<std::int32_t> out({static_cast<py::ssize_t>(n), py::ssize_t{2}});
  std::int32_t* o = out.mutable_data();
  for (std::size_t i = 0; i < n; ++i) {
    o[2 * i] = points[i].x;
    o[2 * i + 1] = points[i].y;
  }
  return out;
}

py::array_t<std::int32_t> SimplifyTolerance(const PointArray& points, float tolerance) {
  std::vector<tagPOINT> pts = ToPoints(points);
  int kept = 0;
  {
    py::gil_scoped_release release;
    PolySimplifyInt2D(tolerance, pts.data(), static_cast<int>(pts.size()), &kept);
  }
  return FromPoints(pts.data(), static_cast<std::size_t>(kept));
}

py::array_t<std::int32_t> SimplifyManhattan(const PointArray& points, std::int32_t distance) {
  std::vector<tagPOINT> pts = ToPoints(points);
  int kept = 0;
  {
    py::gil_scoped_release release;
    PolySimplify(distance, pts.data(), static_cast<int>(pts.size()), &kept);
  }
  return FromPoints(pts.data(), static_cast<std::size_t>(kept));
}

py::list ClipLines(const PointArray& points, std::int32_t xmin, std::int32_t ymin,
                   std::int32_t xmax, std::int32_t ymax) {
  std::vector<tagPOINT> pts = ToPoints(points);
  py::list result;
  if (pts.size() < 2) return result;
  // Room the library asks for: 2 (n - 1) points and n - 1 piece totals.
  std::vector<tagPOINT> out(2 * (pts.size() - 1));
  std::vector<int> totals(pts.size() - 1);
  tagPOINT lo{xmin, ymin};
  tagPOINT hi{xmax, ymax};
  int pieces = 0;
  {
    py::gil_scoped_release release;
    pieces =
        RectClipLine(pts.data(), static_cast<int>(pts.size()), out.data(), totals.data(), &lo, &hi);
  }
  int begin = 0;
  for (int j = 0; j < pieces; ++j) {
    const int end = totals[static_cast<std::size_t>(j)];
    result.append(FromPoints(out.data() + begin, static_cast<std::size_t>(end - begin)));
    begin = end;
  }
  return result;
}

py::array_t<std::int32_t> ClipPolygon(const PointArray& points, std::int32_t xmin,
                                      std::int32_t ymin, std::int32_t xmax, std::int32_t ymax,
                                      bool open) {
  std::vector<tagPOINT> pts = ToPoints(points);
  if (pts.empty()) return FromPoints(nullptr, 0);
  tagRECT rect;
  rect.left = xmin;
  rect.bottom = ymin;
  rect.right = xmax;
  rect.top = ymax;
  // Each of the four edge stages passes on at most m + m / 2 of its m
  // points; 81 / 16 of the count, rounded up, bounds all four.
  std::vector<tagPOINT> out((81 * pts.size() + 15) / 16);
  std::int32_t n = 0;
  {
    py::gil_scoped_release release;
    n = clipGraph(&rect, pts.data(), static_cast<std::int32_t>(pts.size()), out.data(),
                  open ? 1 : 0);
  }
  return FromPoints(out.data(), static_cast<std::size_t>(n));
}

// The direction every link starts with; the line list negates it on each
// reversal, so its sign at the end tells the orientation.
constexpr std::int32_t givenDirection = 1;

// links: n rows of id, start key (two integers), end key (two integers).
std::vector<std::vector<std::pair<std::uint32_t, bool>>> Chain(
    const py::array_t<std::int64_t, py::array::c_style>& links) {
  const std::size_t n = static_cast<std::size_t>(links.shape(0));
  const std::int64_t* l = links.data();
  std::vector<std::vector<std::pair<std::uint32_t, bool>>> result;
  {
    py::gil_scoped_release release;
    std::vector<ST_NODE> nodes(2 * n);
    std::vector<ST_LINK*> records(n);
    for (std::size_t i = 0; i < n; ++i) {
      const std::int64_t* row = l + 5 * i;
      nodes[2 * i] = ST_NODE{static_cast<std::int32_t>(row[1]), static_cast<std::int32_t>(row[2])};
      nodes[2 * i + 1] =
          ST_NODE{static_cast<std::int32_t>(row[3]), static_cast<std::int32_t>(row[4])};
      // The list owns each link from here on; ClearLineList deletes it.
      records[i] = new ST_LINK{static_cast<std::uint32_t>(row[0]), givenDirection, &nodes[2 * i],
                               &nodes[2 * i + 1]};
    }
    std::list<std::deque<ST_LINK*>*> lines;
    AddLinksToLineList(records.data(), static_cast<int>(n), lines);
    for (const std::deque<ST_LINK*>* line : lines) {
      std::vector<std::pair<std::uint32_t, bool>> ids;
      ids.reserve(line->size());
      for (const ST_LINK* link : *line) {
        ids.emplace_back(link->appData, link->direction == givenDirection);
      }
      result.push_back(std::move(ids));
    }
    ClearLineList(&lines);
  }
  return result;
}

// Expands 5 or 6 bits to 8 by repeating the top bits, so full scale is 255.
std::uint8_t Expand(std::uint32_t v, int bits) {
  return static_cast<std::uint8_t>((v << (8 - bits)) | (v >> (2 * bits - 8)));
}

constexpr std::uint32_t infoHeaderBytes = 40;
constexpr std::uint32_t compressionBitFields = 3;
// Our own code beside the library's refusal codes, which are all >= 0.
constexpr int notServed = -1;

// Reads a bitmap file through CDIB::LoadFile. Returns (code, reason, pixels,
// depth, compression): code 0 with an H x W x 3 array of red, green, blue
// (row 0 the top row), or the library's refusal code and text and no pixels.
std::tuple<int, std::string, py::object, int, std::uint32_t> LoadBitmap(const std::wstring& path) {
  CDIB dib;
  int loaded = 0;
  {
    py::gil_scoped_release release;
    loaded = dib.LoadFile(path.c_str());
  }
  if (loaded != 1) {
    const char* why = "";
    const int code = DIBRefusalReason(path.c_str(), nullptr, 0, &why);
    return {code, why, py::none(), 0, 0};
  }
  const tagBITMAPINFOHEADER& header = dib.GetBMI()->bmiHeader;
  std::uint32_t compression = 0;
  bool topDown = false;
  // A 12-byte core header has neither field: uncompressed, bottom-up rows.
  if (static_cast<std::uint32_t>(header.biSize) == infoHeaderBytes) {
    compression = static_cast<std::uint32_t>(header.biCompression);
    topDown = static_cast<std::int32_t>(header.biHeight) < 0;
  }
  const int depth = dib.GetDepth();
  const int w = dib.GetWidth();
  const int h = dib.GetHeight();
  // The library's pixel readers serve 8-, 16-, 24- and 32-bit pixels without
  // run-length data, and bit fields only in the fixed 5-5-5, 5-6-5 and 8-8-8
  // layouts; the rest they report as 0, which must not pass as black.
  bool served = compression == 0 && (depth == 8 || depth == 16 || depth == 24 || depth == 32);
  if (compression == compressionBitFields &&
      static_cast<std::uint32_t>(header.biSize) == infoHeaderBytes) {
    std::uint32_t masks[3];
    std::memcpy(masks, reinterpret_cast<const unsigned char*>(dib.GetBMI()) + infoHeaderBytes,
                sizeof masks);
    const bool is555 = masks[0] == 0x7C00u && masks[1] == 0x3E0u && masks[2] == 0x1Fu;
    const bool is565 = masks[0] == 0xF800u && masks[1] == 0x7E0u && masks[2] == 0x1Fu;
    const bool isBgrx = masks[0] == 0xFF0000u && masks[1] == 0xFF00u && masks[2] == 0xFFu;
    served = (depth == 16 && (is555 || is565)) || (depth == 32 && isBgrx);
  }
  if (!served) {
    return {notServed, "pixels of this format are not read by the library", py::none(), depth,
            compression};
  }
  py::array_t<std::uint8_t> pixels(
      {static_cast<py::ssize_t>(h), static_cast<py::ssize_t>(w), py::ssize_t{3}});
  std::uint8_t* o = pixels.mutable_data();
  const unsigned char* bits = dib.GetBits();
  const std::size_t bps = static_cast<std::size_t>(dib.GetBPS());
  {
    py::gil_scoped_release release;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        std::uint8_t* px = o + 3 * (static_cast<std::size_t>(y) * static_cast<std::size_t>(w) +
                                    static_cast<std::size_t>(x));
        if (depth == 8) {
          // The colour-table entry as a Windows colour: red in the low byte.
          const std::uint32_t c = dib.GetRGBValue(x, y);
          px[0] = static_cast<std::uint8_t>(c);
          px[1] = static_cast<std::uint8_t>(c >> 8);
          px[2] = static_cast<std::uint8_t>(c >> 16);
        } else if (depth == 24) {
          const std::uint32_t c = dib.GetRGBValue(x, y);  // 0xRRGGBB
          px[0] = static_cast<std::uint8_t>(c >> 16);
          px[1] = static_cast<std::uint8_t>(c >> 8);
          px[2] = static_cast<std::uint8_t>(c);
        } else if (depth == 16) {
          // The readers give both 16-bit layouts as 5-6-5.
          const std::uint32_t c = dib.GetPixelIndex(x, y);
          px[0] = Expand(c >> 11, 5);
          px[1] = Expand((c >> 5) & 0x3Fu, 6);
          px[2] = Expand(c & 0x1Fu, 5);
        } else {
          // The readers cut 32-bit pixels to 5-6-5; take the row's bytes
          // (blue, green, red, unused) instead.
          const std::size_t row =
              topDown ? static_cast<std::size_t>(y) : static_cast<std::size_t>(h - 1 - y);
          const unsigned char* p = bits + row * bps + 4 * static_cast<std::size_t>(x);
          px[0] = p[2];
          px[1] = p[1];
          px[2] = p[0];
        }
      }
    }
  }
  return {0, "", pixels, depth, compression};
}

py::array_t<float> Table(const py::array_t<std::int32_t, py::array::c_style>& degrees,
                         float (*lookup)(int)) {
  const std::size_t n = static_cast<std::size_t>(degrees.size());
  py::array_t<float> out(degrees.size());
  const std::int32_t* d = degrees.data();
  float* o = out.mutable_data();
  {
    py::gil_scoped_release release;
    for (std::size_t i = 0; i < n; ++i) o[i] = lookup(d[i]);
  }
  return out;
}

}  // namespace

PYBIND11_MODULE(_tarnutil, m) {
  m.doc() = "Loops over libtarnutil on NumPy buffers; use the tarnutil package instead.";
  m.def("lcc_forward", &LccForward, py::arg("lon"), py::arg("lat"), py::arg("degrees"));
  m.def("lcc_inverse", &LccInverse, py::arg("x"), py::arg("y"), py::arg("degrees"));
  m.def("rhumb", &Rhumb, py::arg("lon1"), py::arg("lat1"), py::arg("lon2"), py::arg("lat2"),
        py::arg("degrees"));
  m.def("simplify_tolerance", &SimplifyTolerance, py::arg("points"), py::arg("tolerance"));
  m.def("simplify_manhattan", &SimplifyManhattan, py::arg("points"), py::arg("distance"));
  m.def("clip_lines", &ClipLines, py::arg("points"), py::arg("xmin"), py::arg("ymin"),
        py::arg("xmax"), py::arg("ymax"));
  m.def("clip_polygon", &ClipPolygon, py::arg("points"), py::arg("xmin"), py::arg("ymin"),
        py::arg("xmax"), py::arg("ymax"), py::arg("open"));
  m.def("chain", &Chain, py::arg("links"));
  m.def("load_bitmap", &LoadBitmap, py::arg("path"));
  m.def("sin_table",
        [](const py::array_t<std::int32_t, py::array::c_style>& d) { return Table(d, &SIN); });
  m.def("cos_table",
        [](const py::array_t<std::int32_t, py::array::c_style>& d) { return Table(d, &COS); });
  m.def("version", &TarnUtilVersion);
}
