// The C interface's entry points that take arrays and handles, driven by a
// sequence of operations: every array is sized exactly as the header states,
// so a write past it is caught; statuses must follow the stated rules (range
// errors exactly for the positions outside, NaN in exactly their outputs);
// a line list must hand back every link it was given; a bitmap handle must
// agree with the refusal reason of its file.
#include <tarnutil/tarnutil_c.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "fuzz/fuzz_input.h"

namespace {

using tarnutil::fuzz::FuzzInput;

constexpr std::size_t maxPoints = 24;
constexpr double lonLimit = 180.0 * 86400.0;
constexpr double latLimit = 90.0 * 86400.0;

bool LonOk(double v) { return std::isfinite(v) && std::fabs(v) <= lonLimit; }
bool LatOk(double v) { return std::isfinite(v) && std::fabs(v) <= latLimit; }

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::vector<double> Doubles(FuzzInput& in, std::size_t n) {
  std::vector<double> v(n);
  for (double& d : v) d = in.Double();
  return v;
}

std::vector<tarnutil_point> Points(FuzzInput& in, std::size_t n) {
  std::vector<tarnutil_point> v(n);
  for (tarnutil_point& p : v) p = tarnutil_point{in.Coord(), in.Coord()};
  return v;
}

// Each array form: a position outside the domain gives NaN outputs and the
// range status; the others give the single form's bits.
void Geodesy(FuzzInput& in, std::uint8_t op, std::size_t n) {
  const std::vector<double> a = Doubles(in, n), b = Doubles(in, n);
  std::vector<double> u(n), v(n);
  bool anyBad = false;
  if (op % 3 == 0) {
    const std::vector<double> c = Doubles(in, n), d = Doubles(in, n);
    const tarnutil_status s =
        tarnutil_rhumb_n(a.data(), b.data(), c.data(), d.data(), u.data(), v.data(), n);
    for (std::size_t i = 0; i < n; ++i) {
      const bool ok = LonOk(a[i]) && LatOk(b[i]) && LonOk(c[i]) && LatOk(d[i]);
      anyBad = anyBad || !ok;
      double bearing = 0.0, metres = 0.0;
      tarnutil_rhumb(a[i], b[i], c[i], d[i], &bearing, &metres);
      TARNUTIL_FUZZ_CHECK(ok ? SameBits(u[i], bearing) && SameBits(v[i], metres)
                             : std::isnan(u[i]) && std::isnan(v[i]));
    }
    TARNUTIL_FUZZ_CHECK(s == (anyBad ? TARNUTIL_ERROR_OUT_OF_RANGE : TARNUTIL_OK));
    return;
  }
  const bool forward = op % 3 == 1;
  const tarnutil_status s = forward
                                ? tarnutil_lcc_forward_n(a.data(), b.data(), u.data(), v.data(), n)
                                : tarnutil_lcc_inverse_n(a.data(), b.data(), u.data(), v.data(), n);
  for (std::size_t i = 0; i < n; ++i) {
    const bool ok = forward ? LonOk(a[i]) && LatOk(b[i]) && b[i] != -latLimit
                            : std::isfinite(a[i]) && std::isfinite(b[i]);
    anyBad = anyBad || !ok;
    double p = 0.0, q = 0.0;
    if (forward) {
      tarnutil_lcc_forward(a[i], b[i], &p, &q);
    } else {
      tarnutil_lcc_inverse(a[i], b[i], &p, &q);
    }
    TARNUTIL_FUZZ_CHECK(ok ? SameBits(u[i], p) && SameBits(v[i], q)
                           : std::isnan(u[i]) && std::isnan(v[i]));
  }
  TARNUTIL_FUZZ_CHECK(s == (anyBad ? TARNUTIL_ERROR_OUT_OF_RANGE : TARNUTIL_OK));
}

// Clipping into arrays of exactly the stated room; thinning in place.
void Arrays(FuzzInput& in, std::uint8_t op, std::size_t n) {
  std::vector<tarnutil_point> pts = Points(in, n);
  tarnutil_point lo{in.Coord(), in.Coord()};
  tarnutil_point hi{in.Coord(), in.Coord()};
  if (lo.x > hi.x) std::swap(lo.x, hi.x);
  if (lo.y > hi.y) std::swap(lo.y, hi.y);
  switch (op % 4) {
    case 0: {
      std::vector<tarnutil_point> out(n > 1 ? 2 * (n - 1) : 0);
      std::vector<std::int32_t> totals(n > 1 ? n - 1 : 0);
      std::size_t pieces = 0;
      TARNUTIL_FUZZ_CHECK(tarnutil_clip_polyline(pts.data(), n, lo, hi, out.data(),
                                                 totals.data(), &pieces) == TARNUTIL_OK);
      TARNUTIL_FUZZ_CHECK(pieces <= totals.size());
      std::int32_t previous = 0;
      for (std::size_t k = 0; k < pieces; ++k) {
        TARNUTIL_FUZZ_CHECK(totals[k] > previous &&
                            totals[k] <= static_cast<std::int32_t>(out.size()));
        previous = totals[k];
      }
      for (std::int32_t k = 0; k < previous; ++k) {
        const tarnutil_point& p = out[static_cast<std::size_t>(k)];
        TARNUTIL_FUZZ_CHECK(p.x >= lo.x && p.x <= hi.x && p.y >= lo.y && p.y <= hi.y);
      }
      break;
    }
    case 1: {
      const tarnutil_rect rect{lo.x, hi.y, hi.x, lo.y};
      std::vector<tarnutil_point> out((81 * n + 15) / 16);
      std::size_t written = 0;
      TARNUTIL_FUZZ_CHECK(tarnutil_clip_polygon(rect, pts.data(), n, op & 0x10, out.data(),
                                                &written) == TARNUTIL_OK);
      TARNUTIL_FUZZ_CHECK(written <= out.size());
      for (std::size_t k = 0; k < written; ++k) {
        TARNUTIL_FUZZ_CHECK(out[k].x >= lo.x && out[k].x <= hi.x && out[k].y >= lo.y &&
                            out[k].y <= hi.y);
      }
      break;
    }
    default: {
      std::size_t kept = n + 1;
      const tarnutil_status s =
          op % 4 == 2 ? tarnutil_simplify_farthest(static_cast<float>(in.U16()), pts.data(), n, &kept)
                      : tarnutil_simplify_manhattan(in.I32(), pts.data(), n, &kept);
      TARNUTIL_FUZZ_CHECK(s == TARNUTIL_OK && kept <= n);
      break;
    }
  }
}

// Few keys, so links meet, join lines and get reversed.
tarnutil_link Link(FuzzInput& in, std::uint32_t id) {
  const std::uint8_t k = in.U8();
  return tarnutil_link{id, static_cast<std::int32_t>(static_cast<std::int8_t>(in.U8())),
                       tarnutil_node{k & 7, 0}, tarnutil_node{k >> 3 & 7, 0}};
}

// Every link given since the last clear comes back exactly once.
void CheckHeld(const tarnutil_line_list* list, const std::vector<bool>& given) {
  std::size_t lines = 0;
  TARNUTIL_FUZZ_CHECK(tarnutil_line_list_count(list, &lines) == TARNUTIL_OK);
  std::vector<bool> seen(given.size(), false);
  for (std::size_t i = 0; i < lines; ++i) {
    std::size_t length = 0;
    TARNUTIL_FUZZ_CHECK(tarnutil_line_list_read(list, i, nullptr, 0, &length) == TARNUTIL_OK);
    TARNUTIL_FUZZ_CHECK(length > 0);
    // One short of the line, so the capacity is honoured.
    std::vector<tarnutil_link> links(length - 1);
    std::size_t again = 0;
    TARNUTIL_FUZZ_CHECK(tarnutil_line_list_read(list, i, links.data(), links.size(), &again) ==
                        TARNUTIL_OK);
    TARNUTIL_FUZZ_CHECK(again == length);
    links.resize(length);
    TARNUTIL_FUZZ_CHECK(tarnutil_line_list_read(list, i, links.data(), length, &again) ==
                        TARNUTIL_OK);
    for (std::size_t j = 0; j < length; ++j) {
      const std::uint32_t id = links[j].app_data;
      TARNUTIL_FUZZ_CHECK(id < given.size() && given[id] && !seen[id]);
      seen[id] = true;
      // Chained: each link ends where the next starts.
      if (j + 1 < length) {
        TARNUTIL_FUZZ_CHECK(links[j].end.key1 == links[j + 1].start.key1);
      }
    }
  }
  TARNUTIL_FUZZ_CHECK(seen == given);
  std::size_t length = 0;
  TARNUTIL_FUZZ_CHECK(tarnutil_line_list_read(list, lines, nullptr, 0, &length) ==
                      TARNUTIL_ERROR_OUT_OF_RANGE);
}

void Lines(FuzzInput& in, tarnutil_line_list* list, std::vector<bool>& given, std::uint8_t op) {
  const std::size_t n = op >> 3 & 15;
  if ((op & 3) == 0) {
    tarnutil_line_list_clear(list);
    given.assign(given.size(), false);
  } else if ((op & 3) == 1 && n > 0) {
    std::vector<tarnutil_link> batch;
    for (std::size_t i = 0; i < n; ++i) {
      batch.push_back(Link(in, static_cast<std::uint32_t>(given.size())));
      given.push_back(true);
    }
    TARNUTIL_FUZZ_CHECK(tarnutil_line_list_add_n(list, batch.data(), n) == TARNUTIL_OK);
  } else {
    const tarnutil_link link = Link(in, static_cast<std::uint32_t>(given.size()));
    given.push_back(true);
    TARNUTIL_FUZZ_CHECK(tarnutil_line_list_add(list, &link) == TARNUTIL_OK);
  }
  CheckHeld(list, given);
}

// Removes the file when the program ends.
struct ScratchFile {
  std::filesystem::path path;
  std::wstring wide;
  ScratchFile() {
    std::error_code ec;
    // The address of this object tells concurrent runs apart.
    path = std::filesystem::temp_directory_path(ec) /
           ("tarnutil_c_api_fuzz_" +
            std::to_string(reinterpret_cast<std::uintptr_t>(this) & 0xFFFFFFu) + ".bmp");
    wide = path.wstring();
  }
  ~ScratchFile() {
    std::error_code ec;
    std::filesystem::remove(path, ec);
  }
};

// The rest of the input as a bitmap file through the handle: loaded exactly
// when no refusal reason is given, pixels read and written at fuzzed places.
void Bitmap(FuzzInput& in) {
  static const ScratchFile scratch;
  const std::size_t bytes = in.Remaining();
  {
    std::ofstream out(scratch.path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(in.Rest()), static_cast<std::streamsize>(bytes));
  }
  const std::int32_t expected = tarnutil_dib_refusal(scratch.wide.c_str(), nullptr, 0, nullptr);
  tarnutil_dib* dib = nullptr;
  std::int32_t reason = -1;
  const tarnutil_status s = tarnutil_dib_load_file(scratch.wide.c_str(), &dib, &reason);
  TARNUTIL_FUZZ_CHECK(reason == expected);
  TARNUTIL_FUZZ_CHECK((s == TARNUTIL_OK) == (expected == 0) && (dib != nullptr) == (s == TARNUTIL_OK));
  if (dib == nullptr) return;
  std::int32_t w = 0, h = 0, depth = 0;
  TARNUTIL_FUZZ_CHECK(tarnutil_dib_size(dib, &w, &h) == TARNUTIL_OK && w > 0 && h > 0);
  TARNUTIL_FUZZ_CHECK(tarnutil_dib_depth(dib, &depth) == TARNUTIL_OK);
  // Corners, one step outside them, and places from the input's first bytes.
  const std::int32_t xs[] = {-1, 0, w - 1, w, static_cast<std::int32_t>(bytes % 97)};
  const std::int32_t ys[] = {-1, 0, h - 1, h, static_cast<std::int32_t>(bytes % 89)};
  for (const std::int32_t y : ys) {
    for (const std::int32_t x : xs) {
      const bool inside = x >= 0 && y >= 0 && x < w && y < h;
      std::uint32_t value = 0, rgb = 0;
      const tarnutil_status r = tarnutil_dib_pixel(dib, x, y, &value);
      TARNUTIL_FUZZ_CHECK(r == (inside ? TARNUTIL_OK : TARNUTIL_ERROR_OUT_OF_RANGE));
      TARNUTIL_FUZZ_CHECK(tarnutil_dib_rgb(dib, x, y, &rgb) == r);
      const tarnutil_status set = tarnutil_dib_set_pixel(dib, x, y, value ^ 1u);
      TARNUTIL_FUZZ_CHECK(inside ? set != TARNUTIL_ERROR_OUT_OF_RANGE
                                 : set == TARNUTIL_ERROR_OUT_OF_RANGE);
    }
  }
  tarnutil_dib_release(dib);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  tarnutil_line_list* list = nullptr;
  TARNUTIL_FUZZ_CHECK(tarnutil_line_list_create(&list) == TARNUTIL_OK);
  std::vector<bool> given;
  // Bounded, so one input stays fast whatever it asks for.
  for (int step = 0; step < 64 && !in.Empty(); ++step) {
    const std::uint8_t op = in.U8();
    const std::size_t n = static_cast<std::size_t>(in.U8()) % (maxPoints + 1);
    switch (op >> 6) {
      case 0: Geodesy(in, op, n); break;
      case 1: Arrays(in, op, n); break;
      case 2: Lines(in, list, given, op); break;
      default:
        // Bitmaps take the rest of the input.
        Bitmap(in);
        step = 64;
        break;
    }
  }
  // Null handles and arrays: a status, never a crash.
  std::size_t count = 0;
  TARNUTIL_FUZZ_CHECK(tarnutil_line_list_add_n(nullptr, nullptr, 1) == TARNUTIL_ERROR_NULL_ARGUMENT);
  TARNUTIL_FUZZ_CHECK(tarnutil_line_list_count(nullptr, &count) == TARNUTIL_ERROR_NULL_ARGUMENT);
  TARNUTIL_FUZZ_CHECK(tarnutil_dib_size(nullptr, nullptr, nullptr) == TARNUTIL_ERROR_NULL_ARGUMENT);
  tarnutil_line_list_destroy(list);
  return 0;
}
