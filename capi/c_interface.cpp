// The C interface: each call converts plain C values to the C++ types, calls
// the C++ export and converts back. Every body that can allocate or call into
// the standard containers runs inside Guard, so no exception crosses into a
// caller that cannot catch it.
#include <tarnutil/tarnutil.h>
#include <tarnutil/tarnutil_c.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <limits>
#include <list>
#include <memory>
#include <new>
#include <string>
#include <vector>

struct tarnutil_line_list {
  std::list<std::deque<ST_LINK*>*> lines;
  // Nodes live here, two per link, so the links can point at them; a deque
  // keeps their addresses as it grows.
  std::deque<ST_NODE> nodes;
  // Every link made for the list: one the lines do not hold (memory ran out
  // while chaining it) is still freed by Clear.
  std::vector<ST_LINK*> made;
};

struct tarnutil_dib {
  CDIB dib;
};

namespace {

// Converts whatever escapes body into a status.
template <typename Body>
tarnutil_status Guard(Body body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return TARNUTIL_ERROR_NO_MEMORY;
  } catch (...) {
    return TARNUTIL_ERROR_INTERNAL;
  }
}

tagPOINT ToPoint(tarnutil_point p) {
  tagPOINT q;
  q.x = p.x;
  q.y = p.y;
  return q;
}

tarnutil_point FromPoint(const tagPOINT& p) {
  return tarnutil_point{static_cast<std::int32_t>(p.x), static_cast<std::int32_t>(p.y)};
}

std::vector<tagPOINT> ToPoints(const tarnutil_point* points, std::size_t n) {
  std::vector<tagPOINT> out(n);
  for (std::size_t i = 0; i < n; ++i) out[i] = ToPoint(points[i]);
  return out;
}

bool FitsInt(std::size_t n) {
  return n <= static_cast<std::size_t>(std::numeric_limits<int>::max());
}

// The array forms' domain, in 1/86400 degree.
constexpr double lonLimit = 180.0 * 86400.0;
constexpr double latLimit = 90.0 * 86400.0;

bool LonInRange(double lon) { return std::isfinite(lon) && std::fabs(lon) <= lonLimit; }
bool LatInRange(double lat) { return std::isfinite(lat) && std::fabs(lat) <= latLimit; }

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

// Frees the links the lines do not hold, then the lines with theirs. Marks
// the held ones by clearing their start node (nothing reads it again), so no
// memory is needed on the way.
void ClearList(tarnutil_line_list& list) {
  for (std::deque<ST_LINK*>* line : list.lines) {
    if (line == nullptr) continue;
    for (ST_LINK* link : *line) {
      if (link != nullptr) link->startNode = nullptr;
    }
  }
  for (ST_LINK* link : list.made) {
    if (link->startNode != nullptr) delete link;
  }
  ClearLineList(&list.lines);
  list.made.clear();
  list.nodes.clear();
}

// A new ST_LINK for link, recorded in list.made; nodes come from list.nodes.
ST_LINK* MakeLink(tarnutil_line_list& list, const tarnutil_link& link) {
  list.made.reserve(list.made.size() + 1);
  list.nodes.push_back(ST_NODE{link.start.key1, link.start.key2});
  ST_NODE* const start = &list.nodes.back();
  list.nodes.push_back(ST_NODE{link.end.key1, link.end.key2});
  ST_NODE* const end = &list.nodes.back();
  ST_LINK* const made = new ST_LINK{link.app_data, link.direction, start, end};
  list.made.push_back(made);  // room reserved above: cannot throw
  return made;
}

tarnutil_status PixelRead(const tarnutil_dib* dib, std::int32_t x, std::int32_t y,
                          std::uint32_t* value, bool rgb) {
  if (dib == nullptr || value == nullptr) return TARNUTIL_ERROR_NULL_ARGUMENT;
  const CDIB& d = dib->dib;
  if (x < 0 || y < 0 || x >= d.GetWidth() || y >= d.GetHeight()) {
    *value = 0xFFFFFFFFu;
    return TARNUTIL_ERROR_OUT_OF_RANGE;
  }
  *value = rgb ? d.GetRGBValue(x, y) : d.GetPixelIndex(x, y);
  return TARNUTIL_OK;
}

// Both passes thin in place: copied to the library's point type, thinned,
// the kept points copied back.
template <typename Pass>
tarnutil_status ThinInPlace(tarnutil_point* points, std::size_t n, std::size_t* kept, Pass pass) {
  if (kept == nullptr || (points == nullptr && n > 0)) return TARNUTIL_ERROR_NULL_ARGUMENT;
  if (!FitsInt(n)) return TARNUTIL_ERROR_TOO_MANY;
  return Guard([&] {
    std::vector<tagPOINT> in = ToPoints(points, n);
    int count = 0;
    pass(in.data(), static_cast<int>(n), &count);
    for (int i = 0; i < count; ++i) points[i] = FromPoint(in[static_cast<std::size_t>(i)]);
    *kept = static_cast<std::size_t>(count);
    return TARNUTIL_OK;
  });
}

}  // namespace

extern "C" {

const char* tarnutil_status_text(int status) {
  switch (status) {
    case TARNUTIL_OK: return "success";
    case TARNUTIL_ERROR_NULL_ARGUMENT: return "a required pointer is null";
    case TARNUTIL_ERROR_OUT_OF_RANGE: return "an input is outside the accepted range";
    case TARNUTIL_ERROR_NO_MEMORY: return "out of memory";
    case TARNUTIL_ERROR_TOO_MANY: return "count too large";
    case TARNUTIL_ERROR_DEGENERATE: return "equal points have no direction";
    case TARNUTIL_ERROR_REFUSED: return "bitmap refused";
    case TARNUTIL_ERROR_UNSUPPORTED: return "pixel format not served";
    case TARNUTIL_ERROR_INTERNAL: return "internal failure";
  }
  return "unknown status";
}

// Planar measures

double tarnutil_distance(double x1, double y1, double x2, double y2) {
  return Distance(x1, y1, x2, y2);
}

tarnutil_status tarnutil_segment_angle(tarnutil_point start, tarnutil_point end,
                                       std::int32_t* angle) {
  if (angle == nullptr) return TARNUTIL_ERROR_NULL_ARGUMENT;
  tagPOINT a = ToPoint(start);
  tagPOINT b = ToPoint(end);
  return ComputeSegmentAngle(&a, &b, angle) == 1 ? TARNUTIL_OK : TARNUTIL_ERROR_DEGENERATE;
}

std::int32_t tarnutil_point_side(tarnutil_point p, tarnutil_point a, tarnutil_point b) {
  const tagPOINT pp = ToPoint(p);
  const tagPOINT aa = ToPoint(a);
  const tagPOINT bb = ToPoint(b);
  return WherePtLiesSegment(&pp, &aa, &bb);
}

float tarnutil_sin_degrees(std::int32_t degrees) { return SIN(degrees); }

float tarnutil_cos_degrees(std::int32_t degrees) { return COS(degrees); }

// Point to segment

double tarnutil_point_segment_distance_d(double px, double py, double x1, double y1, double x2,
                                         double y2, tarnutil_pointd* foot,
                                         std::int32_t* on_segment) {
  POINTD f{0.0, 0.0};
  int flag = 0;
  const double d = DistOfP2L_1(px, py, x1, y1, x2, y2, f, &flag);
  if (foot != nullptr) *foot = tarnutil_pointd{f.x, f.y};
  if (on_segment != nullptr) *on_segment = flag;
  return d;
}

std::int32_t tarnutil_point_segment_distance(tarnutil_point p, tarnutil_point a,
                                             tarnutil_point b, tarnutil_point* foot,
                                             std::int32_t* on_segment) {
  tagPOINT f{};
  int flag = 0;
  const std::int32_t d = DistOfP2L(p.x, p.y, a.x, a.y, b.x, b.y, f, &flag);
  if (foot != nullptr) *foot = FromPoint(f);
  if (on_segment != nullptr) *on_segment = flag;
  return d;
}

// Clipping

tarnutil_status tarnutil_clip_polyline(const tarnutil_point* points, std::size_t n,
                                       tarnutil_point min, tarnutil_point max,
                                       tarnutil_point* out, std::int32_t* totals,
                                       std::size_t* pieces) {
  if (pieces == nullptr) return TARNUTIL_ERROR_NULL_ARGUMENT;
  if (n < 2) {
    *pieces = 0;
    return TARNUTIL_OK;
  }
  if (points == nullptr || out == nullptr || totals == nullptr) {
    return TARNUTIL_ERROR_NULL_ARGUMENT;
  }
  if (!FitsInt(n)) return TARNUTIL_ERROR_TOO_MANY;
  return Guard([&] {
    std::vector<tagPOINT> in = ToPoints(points, n);
    std::vector<tagPOINT> clipped(2 * (n - 1));
    std::vector<int> runs(n - 1);
    tagPOINT lo = ToPoint(min);
    tagPOINT hi = ToPoint(max);
    const int count = RectClipLine(in.data(), static_cast<int>(n), clipped.data(), runs.data(),
                                   &lo, &hi);
    const std::size_t written = count > 0 ? static_cast<std::size_t>(runs[static_cast<std::size_t>(count - 1)]) : 0;
    for (std::size_t i = 0; i < written; ++i) out[i] = FromPoint(clipped[i]);
    for (int i = 0; i < count; ++i) totals[i] = runs[static_cast<std::size_t>(i)];
    *pieces = static_cast<std::size_t>(count);
    return TARNUTIL_OK;
  });
}

tarnutil_status tarnutil_clip_polygon(tarnutil_rect rect, const tarnutil_point* points,
                                      std::size_t n, std::int32_t open, tarnutil_point* out,
                                      std::size_t* written) {
  if (written == nullptr) return TARNUTIL_ERROR_NULL_ARGUMENT;
  if (n == 0) {
    *written = 0;
    return TARNUTIL_OK;
  }
  if (points == nullptr || out == nullptr) return TARNUTIL_ERROR_NULL_ARGUMENT;
  if (!FitsInt(n)) return TARNUTIL_ERROR_TOO_MANY;
  return Guard([&] {
    std::vector<tagPOINT> in = ToPoints(points, n);
    // 81 * n / 16 rounded up bounds the output; in 64 bits so it cannot wrap.
    const std::uint64_t room = (81u * static_cast<std::uint64_t>(n) + 15u) / 16u;
    std::vector<tagPOINT> clipped(static_cast<std::size_t>(room));
    tagRECT r;
    r.left = rect.left;
    r.top = rect.top;
    r.right = rect.right;
    r.bottom = rect.bottom;
    const std::int32_t count =
        clipGraph(&r, in.data(), static_cast<std::int32_t>(n), clipped.data(), open);
    for (std::int32_t i = 0; i < count; ++i) {
      out[i] = FromPoint(clipped[static_cast<std::size_t>(i)]);
    }
    *written = static_cast<std::size_t>(count);
    return TARNUTIL_OK;
  });
}

// Polyline thinning

tarnutil_status tarnutil_simplify_farthest(float tolerance, tarnutil_point* points,
                                           std::size_t n, std::size_t* kept) {
  return ThinInPlace(points, n, kept, [tolerance](tagPOINT* p, int count, int* out) {
    PolySimplifyInt2D(tolerance, p, count, out);
  });
}

tarnutil_status tarnutil_simplify_manhattan(std::int32_t tolerance, tarnutil_point* points,
                                            std::size_t n, std::size_t* kept) {
  return ThinInPlace(points, n, kept, [tolerance](tagPOINT* p, int count, int* out) {
    PolySimplify(tolerance, p, count, out);
  });
}

// Geodesy

void tarnutil_rhumb(double lon1, double lat1, double lon2, double lat2, double* bearing,
                    double* distance) {
  double b = 0.0;
  double d = 0.0;
  LLDistance(lon1, lat1, lon2, lat2, &b, &d);
  if (bearing != nullptr) *bearing = b;
  if (distance != nullptr) *distance = d;
}

void tarnutil_lcc_forward(double lon, double lat, double* x, double* y) {
  double px = 0.0;
  double py = 0.0;
  Lambert_Projct_LL2XY(lon, lat, px, py);
  if (x != nullptr) *x = px;
  if (y != nullptr) *y = py;
}

void tarnutil_lcc_inverse(double x, double y, double* lon, double* lat) {
  double plon = 0.0;
  double plat = 0.0;
  Lambert_Projct_XY2LL(x, y, plon, plat);
  if (lon != nullptr) *lon = plon;
  if (lat != nullptr) *lat = plat;
}

tarnutil_status tarnutil_rhumb_n(const double* lon1, const double* lat1, const double* lon2,
                                 const double* lat2, double* bearing, double* distance,
                                 std::size_t n) {
  if (n > 0 && (lon1 == nullptr || lat1 == nullptr || lon2 == nullptr || lat2 == nullptr ||
                bearing == nullptr || distance == nullptr)) {
    return TARNUTIL_ERROR_NULL_ARGUMENT;
  }
  tarnutil_status status = TARNUTIL_OK;
  for (std::size_t i = 0; i < n; ++i) {
    if (!LonInRange(lon1[i]) || !LatInRange(lat1[i]) || !LonInRange(lon2[i]) ||
        !LatInRange(lat2[i])) {
      bearing[i] = notANumber;
      distance[i] = notANumber;
      status = TARNUTIL_ERROR_OUT_OF_RANGE;
      continue;
    }
    LLDistance(lon1[i], lat1[i], lon2[i], lat2[i], &bearing[i], &distance[i]);
  }
  return status;
}

tarnutil_status tarnutil_lcc_forward_n(const double* lon, const double* lat, double* x,
                                       double* y, std::size_t n) {
  if (n > 0 && (lon == nullptr || lat == nullptr || x == nullptr || y == nullptr)) {
    return TARNUTIL_ERROR_NULL_ARGUMENT;
  }
  tarnutil_status status = TARNUTIL_OK;
  for (std::size_t i = 0; i < n; ++i) {
    // The south pole lies at infinite distance from the cone's apex.
    if (!LonInRange(lon[i]) || !LatInRange(lat[i]) || lat[i] == -latLimit) {
      x[i] = notANumber;
      y[i] = notANumber;
      status = TARNUTIL_ERROR_OUT_OF_RANGE;
      continue;
    }
    Lambert_Projct_LL2XY(lon[i], lat[i], x[i], y[i]);
  }
  return status;
}

tarnutil_status tarnutil_lcc_inverse_n(const double* x, const double* y, double* lon,
                                       double* lat, std::size_t n) {
  if (n > 0 && (x == nullptr || y == nullptr || lon == nullptr || lat == nullptr)) {
    return TARNUTIL_ERROR_NULL_ARGUMENT;
  }
  tarnutil_status status = TARNUTIL_OK;
  for (std::size_t i = 0; i < n; ++i) {
    if (!std::isfinite(x[i]) || !std::isfinite(y[i])) {
      lon[i] = notANumber;
      lat[i] = notANumber;
      status = TARNUTIL_ERROR_OUT_OF_RANGE;
      continue;
    }
    Lambert_Projct_XY2LL(x[i], y[i], lon[i], lat[i]);
  }
  return status;
}

// Road-link chaining

tarnutil_status tarnutil_line_list_create(tarnutil_line_list** out) {
  if (out == nullptr) return TARNUTIL_ERROR_NULL_ARGUMENT;
  *out = new (std::nothrow) tarnutil_line_list();
  return *out != nullptr ? TARNUTIL_OK : TARNUTIL_ERROR_NO_MEMORY;
}

void tarnutil_line_list_destroy(tarnutil_line_list* list) {
  if (list == nullptr) return;
  ClearList(*list);
  delete list;
}

tarnutil_status tarnutil_line_list_add(tarnutil_line_list* list, const tarnutil_link* link) {
  if (list == nullptr || link == nullptr) return TARNUTIL_ERROR_NULL_ARGUMENT;
  return Guard([&] {
    AddToLineList(MakeLink(*list, *link), list->lines);
    return TARNUTIL_OK;
  });
}

tarnutil_status tarnutil_line_list_add_n(tarnutil_line_list* list, const tarnutil_link* links,
                                         std::size_t n) {
  if (list == nullptr || (links == nullptr && n > 0)) return TARNUTIL_ERROR_NULL_ARGUMENT;
  if (!FitsInt(n)) return TARNUTIL_ERROR_TOO_MANY;
  if (n == 0) return TARNUTIL_OK;
  return Guard([&] {
    std::vector<ST_LINK*> batch;
    batch.reserve(n);
    for (std::size_t i = 0; i < n; ++i) batch.push_back(MakeLink(*list, links[i]));
    AddLinksToLineList(batch.data(), static_cast<int>(n), list->lines);
    return TARNUTIL_OK;
  });
}

tarnutil_status tarnutil_line_list_count(const tarnutil_line_list* list, std::size_t* count) {
  if (list == nullptr || count == nullptr) return TARNUTIL_ERROR_NULL_ARGUMENT;
  *count = list->lines.size();
  return TARNUTIL_OK;
}

tarnutil_status tarnutil_line_list_read(const tarnutil_line_list* list, std::size_t line,
                                        tarnutil_link* out, std::size_t capacity,
                                        std::size_t* length) {
  if (list == nullptr || length == nullptr || (out == nullptr && capacity > 0)) {
    return TARNUTIL_ERROR_NULL_ARGUMENT;
  }
  if (line >= list->lines.size()) return TARNUTIL_ERROR_OUT_OF_RANGE;
  std::list<std::deque<ST_LINK*>*>::const_iterator it = list->lines.begin();
  for (std::size_t i = 0; i < line; ++i) ++it;
  const std::deque<ST_LINK*>& links = **it;
  *length = links.size();
  const std::size_t shown = links.size() < capacity ? links.size() : capacity;
  for (std::size_t i = 0; i < shown; ++i) {
    const ST_LINK& l = *links[i];
    out[i] = tarnutil_link{l.appData, l.direction,
                           tarnutil_node{l.startNode->key1, l.startNode->key2},
                           tarnutil_node{l.endNode->key1, l.endNode->key2}};
  }
  return TARNUTIL_OK;
}

void tarnutil_line_list_clear(tarnutil_line_list* list) {
  if (list == nullptr) return;
  ClearList(*list);
}

// Bitmaps

tarnutil_status tarnutil_dib_load_file(const wchar_t* path, tarnutil_dib** out,
                                       std::int32_t* reason) {
  if (reason != nullptr) *reason = 0;
  if (path == nullptr || out == nullptr) return TARNUTIL_ERROR_NULL_ARGUMENT;
  *out = nullptr;
  return Guard([&] {
    std::unique_ptr<tarnutil_dib> made(new tarnutil_dib());
    if (made->dib.LoadFile(path) != 1) {
      // The file may have changed since the load; a load refused for want of
      // memory is the one refusal that examining the file again cannot see.
      const int why = DIBRefusalReason(path, nullptr, 0, nullptr);
      if (reason != nullptr) *reason = why != tarnutilDibLoads ? why : tarnutilDibTooLarge;
      return TARNUTIL_ERROR_REFUSED;
    }
    *out = made.release();
    return TARNUTIL_OK;
  });
}

std::int32_t tarnutil_dib_refusal(const wchar_t* path, const void* bytes, std::uint32_t size,
                                  const char** text) {
  return DIBRefusalReason(path, bytes, size, text);
}

tarnutil_status tarnutil_dib_size(const tarnutil_dib* dib, std::int32_t* width,
                                  std::int32_t* height) {
  if (dib == nullptr) return TARNUTIL_ERROR_NULL_ARGUMENT;
  if (width != nullptr) *width = dib->dib.GetWidth();
  if (height != nullptr) *height = dib->dib.GetHeight();
  return TARNUTIL_OK;
}

tarnutil_status tarnutil_dib_depth(const tarnutil_dib* dib, std::int32_t* depth) {
  if (dib == nullptr || depth == nullptr) return TARNUTIL_ERROR_NULL_ARGUMENT;
  *depth = dib->dib.GetDepth();
  return TARNUTIL_OK;
}

tarnutil_status tarnutil_dib_pixel(const tarnutil_dib* dib, std::int32_t x, std::int32_t y,
                                   std::uint32_t* value) {
  return PixelRead(dib, x, y, value, false);
}

tarnutil_status tarnutil_dib_rgb(const tarnutil_dib* dib, std::int32_t x, std::int32_t y,
                                 std::uint32_t* value) {
  return PixelRead(dib, x, y, value, true);
}

tarnutil_status tarnutil_dib_set_pixel(tarnutil_dib* dib, std::int32_t x, std::int32_t y,
                                       std::uint32_t value) {
  if (dib == nullptr) return TARNUTIL_ERROR_NULL_ARGUMENT;
  CDIB& d = dib->dib;
  if (x < 0 || y < 0 || x >= d.GetWidth() || y >= d.GetHeight()) {
    return TARNUTIL_ERROR_OUT_OF_RANGE;
  }
  return d.SetPixelIndex(x, y, value) == 1 ? TARNUTIL_OK : TARNUTIL_ERROR_UNSUPPORTED;
}

void tarnutil_dib_release(tarnutil_dib* dib) { delete dib; }

// Allocators

void* tarnutil_smalloc(std::uint32_t size) { return smalloc(size); }

void tarnutil_sfree(void* block) { sfree(block); }

void* tarnutil_hmalloc(std::uint32_t size) { return hmalloc(size); }

void tarnutil_hfree(void* block) { hfree(block); }

// Helpers

std::uint32_t tarnutil_hex_to_u32(const char* text) {
  return text != nullptr ? StrHextoDeci(text) : 0u;
}

tarnutil_status tarnutil_to_wide(const char* text, wchar_t** out) {
  if (text == nullptr || out == nullptr) return TARNUTIL_ERROR_NULL_ARGUMENT;
  wchar_t* wide = nullptr;
  AssicToUnicode(text, wide);
  *out = wide;
  return wide != nullptr ? TARNUTIL_OK : TARNUTIL_ERROR_NO_MEMORY;
}

// AssicToUnicode's buffer comes from this library's malloc.
void tarnutil_free(void* block) { std::free(block); }

tarnutil_status tarnutil_file_exists(const wchar_t* path, std::int32_t* exists) {
  if (path == nullptr || exists == nullptr) return TARNUTIL_ERROR_NULL_ARGUMENT;
  return Guard([&] {
    // GetStatus takes a writable path; the caller's stays untouched.
    std::wstring copy(path);
    _WIN32_FIND_DATAW data{};
    *exists = GetStatus(&copy[0], data);
    return TARNUTIL_OK;
  });
}

void tarnutil_gps_set_last_error(std::uint32_t code) { GPS_SetLastError(code); }

std::uint32_t tarnutil_gps_last_error(void) { return GPS_GetLastError(); }

const char* tarnutil_version(void) { return TarnUtilVersion(); }

}  // extern "C"
