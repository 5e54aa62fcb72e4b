// The C interface gives exactly the C++ results, family by family, over
// seeded inputs that reach the wide-coordinate and degenerate paths; and each
// status it adds (null, range, degenerate, refused) appears where stated.
#include <tarnutil/tarnutil.h>
#include <tarnutil/tarnutil_c.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <limits>
#include <list>
#include <string>
#include <vector>

#include "testing/seeded_rng.h"

namespace {

using tarnutil::testing::SeededRng;

// Small coordinates most of the time, so that points meet; full range
// otherwise, for the saturated and exact wide paths.
std::int32_t Coord(SeededRng& rng) {
  return rng.Int(0, 3) == 0 ? static_cast<std::int32_t>(rng.Upper32()) : rng.Int(-200, 200);
}

tarnutil_point CPoint(SeededRng& rng) { return tarnutil_point{Coord(rng), Coord(rng)}; }
tagPOINT ToCpp(tarnutil_point p) { return tagPOINT{p.x, p.y}; }

// Doubles compare by bits: the same computation must give the same NaN-free
// value, and -0.0 must stay -0.0.
std::uint64_t Bits(double v) {
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

TEST(CInterface, MeasuresAndPointSegmentMatchCpp) {
  SeededRng rng(19);
  for (int i = 0; i < 2000; ++i) {
    const tarnutil_point p = CPoint(rng), a = CPoint(rng), b = CPoint(rng);
    tagPOINT cp = ToCpp(p), ca = ToCpp(a), cb = ToCpp(b);
    SCOPED_TRACE(testing::Message() << i);

    std::int32_t angle = -1, cppAngle = -1;
    const int cppOk = ComputeSegmentAngle(&ca, &cb, &cppAngle);
    EXPECT_EQ(tarnutil_segment_angle(a, b, &angle),
              cppOk == 1 ? TARNUTIL_OK : TARNUTIL_ERROR_DEGENERATE);
    EXPECT_EQ(angle, cppAngle);
    EXPECT_EQ(tarnutil_point_side(p, a, b), WherePtLiesSegment(&cp, &ca, &cb));

    tarnutil_point foot{};
    std::int32_t flag = -1;
    tagPOINT cppFoot{};
    int cppFlag = -1;
    EXPECT_EQ(tarnutil_point_segment_distance(p, a, b, &foot, &flag),
              DistOfP2L(p.x, p.y, a.x, a.y, b.x, b.y, cppFoot, &cppFlag));
    EXPECT_EQ(foot.x, cppFoot.x);
    EXPECT_EQ(foot.y, cppFoot.y);
    EXPECT_EQ(flag, cppFlag);

    tarnutil_pointd footD{};
    POINTD cppFootD{};
    const double d = tarnutil_point_segment_distance_d(p.x, p.y, a.x, a.y, b.x, b.y, &footD, &flag);
    EXPECT_EQ(Bits(d), Bits(DistOfP2L_1(p.x, p.y, a.x, a.y, b.x, b.y, cppFootD, &cppFlag)));
    EXPECT_EQ(Bits(footD.x), Bits(cppFootD.x));
    EXPECT_EQ(Bits(footD.y), Bits(cppFootD.y));
    EXPECT_EQ(flag, cppFlag);
    EXPECT_EQ(Bits(tarnutil_distance(p.x, p.y, a.x, a.y)), Bits(Distance(p.x, p.y, a.x, a.y)));

    const std::int32_t deg = rng.Int(-1000, 1000);
    EXPECT_EQ(tarnutil_sin_degrees(deg), SIN(deg));
    EXPECT_EQ(tarnutil_cos_degrees(deg), COS(deg));
  }
  std::int32_t angle = 0;
  EXPECT_EQ(tarnutil_segment_angle({0, 0}, {1, 1}, nullptr), TARNUTIL_ERROR_NULL_ARGUMENT);
  EXPECT_EQ(tarnutil_segment_angle({3, 3}, {3, 3}, &angle), TARNUTIL_ERROR_DEGENERATE);
}

TEST(CInterface, ClippingAndThinningMatchCpp) {
  SeededRng rng(1919);
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(testing::Message() << round);
    const std::size_t n = static_cast<std::size_t>(rng.Int(0, 12));
    std::vector<tarnutil_point> pts(n);
    std::vector<tagPOINT> cpp(n);
    for (std::size_t i = 0; i < n; ++i) {
      pts[i] = CPoint(rng);
      cpp[i] = ToCpp(pts[i]);
    }
    const tarnutil_point lo{rng.Int(-150, 0), rng.Int(-150, 0)};
    const tarnutil_point hi{rng.Int(0, 150), rng.Int(0, 150)};

    // Polyline clipping: pieces, totals and points.
    const std::size_t room = n > 1 ? 2 * (n - 1) : 1;
    std::vector<tarnutil_point> out(room);
    std::vector<std::int32_t> totals(room);
    std::vector<tagPOINT> cppOut(room);
    std::vector<int> cppTotals(room);
    std::size_t pieces = 99;
    ASSERT_EQ(tarnutil_clip_polyline(pts.data(), n, lo, hi, out.data(), totals.data(), &pieces),
              TARNUTIL_OK);
    tagPOINT clo = ToCpp(lo), chi = ToCpp(hi);
    const int cppPieces =
        n > 1 ? RectClipLine(cpp.data(), static_cast<int>(n), cppOut.data(), cppTotals.data(),
                             &clo, &chi)
              : 0;
    ASSERT_EQ(pieces, static_cast<std::size_t>(cppPieces));
    const std::size_t pieceCount = static_cast<std::size_t>(cppPieces);
    for (std::size_t k = 0; k < pieceCount; ++k) EXPECT_EQ(totals[k], cppTotals[k]);
    const std::size_t written =
        pieceCount > 0 ? static_cast<std::size_t>(cppTotals[pieceCount - 1]) : 0;
    for (std::size_t k = 0; k < written; ++k) {
      EXPECT_EQ(out[k].x, cppOut[k].x);
      EXPECT_EQ(out[k].y, cppOut[k].y);
    }

    // Polygon clipping, with the rectangle given upside down half the time.
    const bool flipped = rng.Int(0, 1) == 1;
    const tarnutil_rect rect{lo.x, flipped ? lo.y : hi.y, hi.x, flipped ? hi.y : lo.y};
    const int open = rng.Int(0, 1);
    std::vector<tarnutil_point> poly(81 * n / 16 + 1);
    std::vector<tagPOINT> cppPoly(poly.size());
    std::size_t polyCount = 99;
    ASSERT_EQ(tarnutil_clip_polygon(rect, pts.data(), n, open, poly.data(), &polyCount),
              TARNUTIL_OK);
    tagRECT crect{rect.left, rect.top, rect.right, rect.bottom};
    const std::int32_t cppCount =
        clipGraph(&crect, cpp.data(), static_cast<std::int32_t>(n), cppPoly.data(), open);
    ASSERT_EQ(polyCount, static_cast<std::size_t>(cppCount));
    for (std::size_t k = 0; k < polyCount; ++k) {
      EXPECT_EQ(poly[k].x, cppPoly[k].x);
      EXPECT_EQ(poly[k].y, cppPoly[k].y);
    }

    // Both thinning passes, in place.
    const bool farthest = rng.Int(0, 1) == 1;
    const std::int32_t tolerance = rng.Int(0, 400);
    std::size_t kept = 99;
    int cppKept = -1;
    if (farthest) {
      ASSERT_EQ(tarnutil_simplify_farthest(static_cast<float>(tolerance), pts.data(), n, &kept),
                TARNUTIL_OK);
      PolySimplifyInt2D(static_cast<float>(tolerance), cpp.data(), static_cast<int>(n), &cppKept);
    } else {
      ASSERT_EQ(tarnutil_simplify_manhattan(tolerance, pts.data(), n, &kept), TARNUTIL_OK);
      PolySimplify(tolerance, cpp.data(), static_cast<int>(n), &cppKept);
    }
    ASSERT_EQ(kept, static_cast<std::size_t>(cppKept));
    for (std::size_t k = 0; k < kept; ++k) {
      EXPECT_EQ(pts[k].x, cpp[k].x);
      EXPECT_EQ(pts[k].y, cpp[k].y);
    }
  }
  std::size_t count = 0;
  EXPECT_EQ(tarnutil_clip_polygon({0, 1, 1, 0}, nullptr, 3, 0, nullptr, &count),
            TARNUTIL_ERROR_NULL_ARGUMENT);
  EXPECT_EQ(tarnutil_simplify_manhattan(1, nullptr, 2, &count), TARNUTIL_ERROR_NULL_ARGUMENT);
  const std::size_t tooMany = static_cast<std::size_t>(std::numeric_limits<int>::max()) + 1;
  if (tooMany != 0) {  // a 32-bit size_t cannot say more than INT_MAX + 1
    tarnutil_point one{0, 0};
    EXPECT_EQ(tarnutil_simplify_farthest(1.0f, &one, tooMany, &count), TARNUTIL_ERROR_TOO_MANY);
  }
}

TEST(CInterface, GeodesyMatchesCppAndArrayFormsCheckTheirRange) {
  constexpr double deg = 86400.0;
  constexpr double nan = std::numeric_limits<double>::quiet_NaN();
  constexpr double inf = std::numeric_limits<double>::infinity();
  // Positions in range, then each kind of value outside: past a limit, not
  // finite, the south pole for the projection.
  struct Case {
    double lon, lat;
    bool rhumbOk, lccOk;
  };
  const Case cases[] = {
      {110 * deg, 30 * deg, true, true},   {-180 * deg, 90 * deg, true, true},
      {180 * deg, -89.5 * deg, true, true}, {0.0, -90 * deg, true, false},
      {180 * deg + 1, 0.0, false, false},  {0.0, 90 * deg + 1, false, false},
      {nan, 0.0, false, false},            {0.0, -inf, false, false},
  };
  const std::size_t n = sizeof cases / sizeof cases[0];
  std::vector<double> lon(n), lat(n), lon2(n), lat2(n), x(n), y(n), bearing(n), metres(n);
  for (std::size_t i = 0; i < n; ++i) {
    lon[i] = cases[i].lon;
    lat[i] = cases[i].lat;
    lon2[i] = 116 * deg;
    lat2[i] = 39 * deg;
  }
  EXPECT_EQ(tarnutil_lcc_forward_n(lon.data(), lat.data(), x.data(), y.data(), n),
            TARNUTIL_ERROR_OUT_OF_RANGE);
  EXPECT_EQ(tarnutil_rhumb_n(lon.data(), lat.data(), lon2.data(), lat2.data(), bearing.data(),
                             metres.data(), n),
            TARNUTIL_ERROR_OUT_OF_RANGE);
  for (std::size_t i = 0; i < n; ++i) {
    SCOPED_TRACE(testing::Message() << "case " << i);
    double cx = 0, cy = 0, cb = 0, cm = 0, sx = 0, sy = 0;
    Lambert_Projct_LL2XY(lon[i], lat[i], cx, cy);
    tarnutil_lcc_forward(lon[i], lat[i], &sx, &sy);
    EXPECT_EQ(Bits(sx), Bits(cx));  // the single form computes through
    EXPECT_EQ(Bits(sy), Bits(cy));
    if (cases[i].lccOk) {
      EXPECT_EQ(Bits(x[i]), Bits(cx));
      EXPECT_EQ(Bits(y[i]), Bits(cy));
    } else {
      EXPECT_TRUE(std::isnan(x[i]) && std::isnan(y[i]));
    }
    // Each position alone: its own status.
    double one[2];
    EXPECT_EQ(tarnutil_lcc_forward_n(&lon[i], &lat[i], one, one + 1, 1),
              cases[i].lccOk ? TARNUTIL_OK : TARNUTIL_ERROR_OUT_OF_RANGE);
    EXPECT_EQ(tarnutil_rhumb_n(&lon[i], &lat[i], &lon2[i], &lat2[i], one, one + 1, 1),
              cases[i].rhumbOk ? TARNUTIL_OK : TARNUTIL_ERROR_OUT_OF_RANGE);
    LLDistance(lon[i], lat[i], lon2[i], lat2[i], &cb, &cm);
    if (cases[i].rhumbOk) {
      EXPECT_EQ(Bits(bearing[i]), Bits(cb));
      EXPECT_EQ(Bits(metres[i]), Bits(cm));
    } else {
      EXPECT_TRUE(std::isnan(bearing[i]) && std::isnan(metres[i]));
    }
  }
  // Only in-range positions: OK, and the inverse gives the C++ bits.
  std::vector<double> backLon(3), backLat(3);
  EXPECT_EQ(tarnutil_lcc_forward_n(lon.data(), lat.data(), x.data(), y.data(), 3), TARNUTIL_OK);
  EXPECT_EQ(tarnutil_lcc_inverse_n(x.data(), y.data(), backLon.data(), backLat.data(), 3),
            TARNUTIL_OK);
  for (std::size_t i = 0; i < 3; ++i) {
    double cl = 0, ct = 0;
    Lambert_Projct_XY2LL(x[i], y[i], cl, ct);
    EXPECT_EQ(Bits(backLon[i]), Bits(cl));
    EXPECT_EQ(Bits(backLat[i]), Bits(ct));
  }
  const double bad[] = {inf, 0.0};
  EXPECT_EQ(tarnutil_lcc_inverse_n(bad, bad + 1, backLon.data(), backLat.data(), 1),
            TARNUTIL_ERROR_OUT_OF_RANGE);
  EXPECT_EQ(tarnutil_lcc_forward_n(nullptr, lat.data(), x.data(), y.data(), 1),
            TARNUTIL_ERROR_NULL_ARGUMENT);
  EXPECT_EQ(tarnutil_rhumb_n(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0),
            TARNUTIL_OK);
}

// Reads every line of the handle back as links.
std::vector<std::vector<tarnutil_link>> ReadLines(const tarnutil_line_list* list) {
  std::size_t count = 0;
  EXPECT_EQ(tarnutil_line_list_count(list, &count), TARNUTIL_OK);
  std::vector<std::vector<tarnutil_link>> lines(count);
  for (std::size_t i = 0; i < count; ++i) {
    std::size_t length = 0;
    EXPECT_EQ(tarnutil_line_list_read(list, i, nullptr, 0, &length), TARNUTIL_OK);
    lines[i].resize(length);
    EXPECT_EQ(tarnutil_line_list_read(list, i, lines[i].data(), length, &length), TARNUTIL_OK);
  }
  return lines;
}

TEST(CInterface, LineListsMatchCppOneByOneAndInBatches) {
  SeededRng rng(1990);
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(testing::Message() << round);
    const int n = rng.Int(0, 40);
    std::vector<tarnutil_link> links(static_cast<std::size_t>(n));
    std::vector<ST_NODE> nodes(2 * links.size());
    std::list<std::deque<ST_LINK*>*> cppLines;
    for (int i = 0; i < n; ++i) {
      const std::size_t k = static_cast<std::size_t>(i);
      // Few keys, so links meet, join lines and get reversed.
      links[k] = tarnutil_link{static_cast<std::uint32_t>(i), rng.Int(-2, 2),
                               tarnutil_node{rng.Int(0, 5), 0}, tarnutil_node{rng.Int(0, 5), 0}};
      nodes[2 * k] = ST_NODE{links[k].start.key1, links[k].start.key2};
      nodes[2 * k + 1] = ST_NODE{links[k].end.key1, links[k].end.key2};
      AddToLineList(new ST_LINK{links[k].app_data, links[k].direction, &nodes[2 * k],
                                &nodes[2 * k + 1]},
                    cppLines);
    }
    tarnutil_line_list* single = nullptr;
    tarnutil_line_list* batch = nullptr;
    ASSERT_EQ(tarnutil_line_list_create(&single), TARNUTIL_OK);
    ASSERT_EQ(tarnutil_line_list_create(&batch), TARNUTIL_OK);
    for (const tarnutil_link& link : links) {
      ASSERT_EQ(tarnutil_line_list_add(single, &link), TARNUTIL_OK);
    }
    ASSERT_EQ(tarnutil_line_list_add_n(batch, links.data(), links.size()), TARNUTIL_OK);

    for (const tarnutil_line_list* list : {single, batch}) {
      const std::vector<std::vector<tarnutil_link>> lines = ReadLines(list);
      ASSERT_EQ(lines.size(), cppLines.size());
      std::size_t i = 0;
      for (const std::deque<ST_LINK*>* line : cppLines) {
        ASSERT_EQ(lines[i].size(), line->size());
        for (std::size_t j = 0; j < line->size(); ++j) {
          const ST_LINK& c = *(*line)[j];
          const tarnutil_link& l = lines[i][j];
          EXPECT_EQ(l.app_data, c.appData);
          EXPECT_EQ(l.direction, c.direction);
          EXPECT_EQ(l.start.key1, c.startNode->key1);
          EXPECT_EQ(l.end.key1, c.endNode->key1);
        }
        ++i;
      }
      std::size_t length = 0;
      EXPECT_EQ(tarnutil_line_list_read(list, lines.size(), nullptr, 0, &length),
                TARNUTIL_ERROR_OUT_OF_RANGE);
    }
    ClearLineList(&cppLines);
    tarnutil_line_list_clear(single);
    EXPECT_TRUE(ReadLines(single).empty());
    tarnutil_line_list_destroy(single);
    tarnutil_line_list_destroy(batch);
  }
  EXPECT_EQ(tarnutil_line_list_add(nullptr, nullptr), TARNUTIL_ERROR_NULL_ARGUMENT);
  tarnutil_line_list_destroy(nullptr);
}

// A 3 x 2, 24-bit, bottom-up bitmap file with every pixel distinct.
std::vector<unsigned char> SmallBitmap() {
  std::vector<unsigned char> f(54 + 2 * 12, 0);
  auto put32 = [&f](std::size_t at, std::uint32_t v) {
    for (int b = 0; b < 4; ++b) f[at + static_cast<std::size_t>(b)] = static_cast<unsigned char>(v >> (8 * b));
  };
  f[0] = 'B';
  f[1] = 'M';
  put32(2, static_cast<std::uint32_t>(f.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, 3);
  put32(22, 2);
  f[26] = 1;
  f[28] = 24;
  for (std::size_t i = 0; i < 2 * 12; ++i) f[54 + i] = static_cast<unsigned char>(17 * i + 3);
  return f;
}

TEST(CInterface, BitmapsMatchCppAndReportRefusals) {
  const std::string narrow = ::testing::TempDir() + "c_interface_small.bmp";
  const std::wstring path(narrow.begin(), narrow.end());
  const std::vector<unsigned char> bytes = SmallBitmap();
  std::FILE* file = std::fopen(narrow.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
  std::fclose(file);

  CDIB cpp;
  ASSERT_EQ(cpp.LoadFile(path.c_str()), 1);
  tarnutil_dib* dib = nullptr;
  std::int32_t reason = -1;
  ASSERT_EQ(tarnutil_dib_load_file(path.c_str(), &dib, &reason), TARNUTIL_OK);
  EXPECT_EQ(reason, 0);
  std::int32_t w = 0, h = 0, depth = 0;
  ASSERT_EQ(tarnutil_dib_size(dib, &w, &h), TARNUTIL_OK);
  ASSERT_EQ(tarnutil_dib_depth(dib, &depth), TARNUTIL_OK);
  EXPECT_EQ(w, cpp.GetWidth());
  EXPECT_EQ(h, cpp.GetHeight());
  EXPECT_EQ(depth, cpp.GetDepth());
  // One column and row outside on each side.
  for (std::int32_t y = -1; y <= h; ++y) {
    for (std::int32_t x = -1; x <= w; ++x) {
      SCOPED_TRACE(testing::Message() << x << "," << y);
      const bool inside = x >= 0 && y >= 0 && x < w && y < h;
      const tarnutil_status expected = inside ? TARNUTIL_OK : TARNUTIL_ERROR_OUT_OF_RANGE;
      std::uint32_t index = 0, rgb = 0;
      EXPECT_EQ(tarnutil_dib_pixel(dib, x, y, &index), expected);
      EXPECT_EQ(index, cpp.GetPixelIndex(x, y));
      EXPECT_EQ(tarnutil_dib_rgb(dib, x, y, &rgb), expected);
      EXPECT_EQ(rgb, cpp.GetRGBValue(x, y));
      const std::uint32_t value = 0x102030u + static_cast<std::uint32_t>(x * 7 + y);
      EXPECT_EQ(tarnutil_dib_set_pixel(dib, x, y, value), expected);
      cpp.SetPixelIndex(x, y, value);
      if (inside) {
        ASSERT_EQ(tarnutil_dib_pixel(dib, x, y, &index), TARNUTIL_OK);
        EXPECT_EQ(index, cpp.GetPixelIndex(x, y));
      }
    }
  }
  tarnutil_dib_release(dib);
  std::remove(narrow.c_str());

  // A missing file: refused, with DIBRefusalReason's code and text.
  dib = reinterpret_cast<tarnutil_dib*>(&reason);
  EXPECT_EQ(tarnutil_dib_load_file(path.c_str(), &dib, &reason), TARNUTIL_ERROR_REFUSED);
  EXPECT_EQ(dib, nullptr);
  const char* text = nullptr;
  const char* cppText = nullptr;
  EXPECT_EQ(reason, DIBRefusalReason(path.c_str(), nullptr, 0, &cppText));
  EXPECT_EQ(reason, tarnutilDibUnreadable);
  EXPECT_EQ(tarnutil_dib_refusal(nullptr, bytes.data() + 14, 10, &text),
            DIBRefusalReason(nullptr, bytes.data() + 14, 10, &cppText));
  EXPECT_STREQ(text, cppText);
  EXPECT_EQ(tarnutil_dib_pixel(nullptr, 0, 0, nullptr), TARNUTIL_ERROR_NULL_ARGUMENT);
}

TEST(CInterface, AllocatorsAndHelpersMatchCpp) {
  // Both allocators keep their size header in front of the block.
  std::uint32_t header = 0;
  void* small = tarnutil_smalloc(12);
  ASSERT_NE(small, nullptr);
  std::memcpy(&header, static_cast<unsigned char*>(small) - 4, 4);
  EXPECT_EQ(header, 16u);
  tarnutil_sfree(small);
  void* huge = tarnutil_hmalloc(5000);
  ASSERT_NE(huge, nullptr);
  std::memcpy(&header, static_cast<unsigned char*>(huge) - 4, 4);
  EXPECT_EQ(header, 5000u);
  tarnutil_hfree(huge);

  for (const char* text : {"0x1A", "ffffffff1", "zz9", ""}) {
    EXPECT_EQ(tarnutil_hex_to_u32(text), StrHextoDeci(text)) << text;
    wchar_t* wide = nullptr;
    wchar_t* cppWide = nullptr;
    ASSERT_EQ(tarnutil_to_wide(text, &wide), TARNUTIL_OK);
    AssicToUnicode(text, cppWide);
    EXPECT_EQ(std::wstring(wide), std::wstring(cppWide)) << text;
    tarnutil_free(wide);
    std::free(cppWide);
  }
  EXPECT_EQ(tarnutil_to_wide(nullptr, nullptr), TARNUTIL_ERROR_NULL_ARGUMENT);

  const std::string here = ::testing::TempDir();
  for (const std::string& narrow : {here, here + "no such entry here"}) {
    std::wstring path(narrow.begin(), narrow.end());
    if (path.size() > 1 && (path.back() == L'/' || path.back() == L'\\')) path.pop_back();
    std::int32_t exists = -1;
    _WIN32_FIND_DATAW data{};
    ASSERT_EQ(tarnutil_file_exists(path.c_str(), &exists), TARNUTIL_OK);
    EXPECT_EQ(exists, GetStatus(&path[0], data)) << narrow;
  }

  tarnutil_gps_set_last_error(0xDEADBEEFu);
  EXPECT_EQ(GPS_GetLastError(), 0xDEADBEEFu);
  GPS_SetLastError(7);
  EXPECT_EQ(tarnutil_gps_last_error(), 7u);
  EXPECT_STREQ(tarnutil_version(), TarnUtilVersion());
}

TEST(CInterface, EveryStatusHasItsOwnText) {
  std::vector<std::string> seen;
  for (int s = TARNUTIL_OK; s <= TARNUTIL_ERROR_INTERNAL; ++s) {
    const std::string text = tarnutil_status_text(s);
    EXPECT_NE(text, "unknown status") << s;
    for (const std::string& earlier : seen) EXPECT_NE(text, earlier) << s;
    seen.push_back(text);
  }
  EXPECT_STREQ(tarnutil_status_text(99), "unknown status");
  EXPECT_STREQ(tarnutil_status_text(-1), "unknown status");
}

}  // namespace
