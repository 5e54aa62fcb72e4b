// Same inputs, same outputs on every target.
//
// A fixed, seeded workload runs through every computing family of the
// library. Its results were recorded once on Linux x86-64 and are checked in
// (golden_expected.inc). Every result must match to the bit on every target,
// doubles through sine, logarithm or power included: those come from the
// library's own maths, not the platform's. The test also runs with the CPU's
// fused multiply-add variants of the C library disabled (GoldenWorkloadNoFma).
//
// To record the results anew, run the program with TARNUTIL_GOLDEN_WRITE set
// to the path of tests/golden_expected.inc.
#include <tarnutil/tarnutil.h>

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <list>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "testing/testing.h"

namespace {

using tarnutil::testing::SeededRng;
using tarnutil::testing::UlpDistance;

const char* const goldenText =
#include "tests/golden_expected.inc"
    ;

// Folds integer results into one 64-bit FNV-1a digest per family, so the
// checked-in file stays small while any single differing value shows.
class Digest {
 public:
  void Add(std::int64_t v) {
    std::uint64_t u = static_cast<std::uint64_t>(v);
    for (int i = 0; i < 8; ++i) {
      hash_ ^= (u >> (8 * i)) & 0xFFu;
      hash_ *= 0x100000001B3ull;
    }
    ++count_;
  }
  void AddExact(double d) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &d, sizeof d);
    Add(static_cast<std::int64_t>(bits));
  }
  std::uint64_t hash() const { return hash_; }
  std::uint64_t count() const { return count_; }

 private:
  std::uint64_t hash_ = 0xCBF29CE484222325ull;
  std::uint64_t count_ = 0;
};

// One recorded double result, kept by name so that a change shows where.
struct Recorded {
  std::string key;
  double value;
};

struct Results {
  std::map<std::string, Digest> digests;
  std::vector<Recorded> values;

  void Record(const std::string& key, double value) { values.push_back({key, value}); }
};

tagPOINT Pt(std::int32_t x, std::int32_t y) {
  tagPOINT p;
  p.x = x;
  p.y = y;
  return p;
}

// Draws x before y: the order of evaluation of function arguments is
// unspecified, and differs between compilers and targets.
tagPOINT RandomPt(SeededRng& rng, std::int32_t lo, std::int32_t hi) {
  const std::int32_t x = rng.Int(lo, hi);
  const std::int32_t y = rng.Int(lo, hi);
  return Pt(x, y);
}

std::int64_t X(const tagPOINT& p) { return static_cast<std::int64_t>(p.x); }
std::int64_t Y(const tagPOINT& p) { return static_cast<std::int64_t>(p.y); }

std::vector<tagPOINT> RandomTrack(SeededRng& rng, int n, std::int32_t range, std::int32_t step) {
  std::vector<tagPOINT> pts;
  std::int32_t x = rng.Int(-range, range);
  std::int32_t y = rng.Int(-range, range);
  for (int i = 0; i < n; ++i) {
    pts.push_back(Pt(x, y));
    x += rng.Int(-step, step);
    y += rng.Int(-step, step);
  }
  return pts;
}

void RunMeasures(Results& r) {
  SeededRng rng(0x5EED0001u);
  Digest& exact = r.digests["measures"];
  for (int i = 0; i < 2000; ++i) {
    const double x1 = rng.Real(-1e6, 1e6);
    const double y1 = rng.Real(-1e6, 1e6);
    const double x2 = rng.Real(-1e6, 1e6);
    const double y2 = rng.Real(-1e6, 1e6);
    exact.AddExact(Distance(x1, y1, x2, y2));
    tagPOINT a = RandomPt(rng, -40000, 40000);
    tagPOINT b = RandomPt(rng, -40000, 40000);
    tagPOINT p = RandomPt(rng, -40000, 40000);
    exact.Add(WherePtLiesSegment(&p, &a, &b));
    std::int32_t angle = -1;
    // atan2 may differ in the last bit between platforms; the angle is
    // rounded to whole degrees, so only a tie within one ulp could move it.
    exact.Add(ComputeSegmentAngle(&a, &b, &angle));
    exact.Add(angle);
  }
  for (int deg = -360; deg < 720; ++deg) {
    exact.AddExact(static_cast<double>(SIN(deg)));
    exact.AddExact(static_cast<double>(COS(deg)));
  }
}

void RunPointSegment(Results& r) {
  SeededRng rng(0x5EED0002u);
  Digest& exact = r.digests["point_segment"];
  for (int i = 0; i < 2000; ++i) {
    const std::int32_t c[6] = {rng.Int(-20000, 20000), rng.Int(-20000, 20000),
                               rng.Int(-20000, 20000), rng.Int(-20000, 20000),
                               rng.Int(-20000, 20000), rng.Int(-20000, 20000)};
    tagPOINT foot = Pt(0, 0);
    int flag = -1;
    exact.Add(DistOfP2L(c[0], c[1], c[2], c[3], c[4], c[5], foot, &flag));
    exact.Add(X(foot));
    exact.Add(Y(foot));
    exact.Add(flag);
    POINTD footD{0.0, 0.0};
    flag = -1;
    const double d = DistOfP2L_1(c[0] / 7.0, c[1] / 7.0, c[2] / 7.0, c[3] / 7.0, c[4] / 7.0,
                                 c[5] / 7.0, footD, &flag);
    exact.AddExact(d);
    exact.AddExact(footD.x);
    exact.AddExact(footD.y);
    exact.Add(flag);
  }
}

void RunLineClip(Results& r) {
  SeededRng rng(0x5EED0003u);
  Digest& exact = r.digests["rect_clip"];
  for (int i = 0; i < 300; ++i) {
    std::vector<tagPOINT> pts = RandomTrack(rng, 40, 3000, 400);
    tagPOINT lo = RandomPt(rng, -2000, 0);
    tagPOINT hi = RandomPt(rng, 0, 2000);
    std::vector<tagPOINT> out(2 * (pts.size() - 1));
    std::vector<int> totals(pts.size() - 1);
    const int pieces = RectClipLine(pts.data(), static_cast<int>(pts.size()), out.data(),
                                    totals.data(), &lo, &hi);
    exact.Add(pieces);
    const int points = pieces > 0 ? totals[static_cast<std::size_t>(pieces - 1)] : 0;
    for (int k = 0; k < pieces; ++k) exact.Add(totals[static_cast<std::size_t>(k)]);
    for (int k = 0; k < points; ++k) {
      exact.Add(X(out[static_cast<std::size_t>(k)]));
      exact.Add(Y(out[static_cast<std::size_t>(k)]));
    }
  }
}

void RunPolygonClip(Results& r) {
  SeededRng rng(0x5EED0004u);
  Digest& exact = r.digests["polygon_clip"];
  for (int i = 0; i < 300; ++i) {
    std::vector<tagPOINT> pts = RandomTrack(rng, 30, 3000, 800);
    tagRECT rect;
    rect.left = rng.Int(-2000, 0);
    rect.right = rng.Int(0, 2000);
    rect.top = rng.Int(-2000, 2000);
    rect.bottom = rng.Int(-2000, 2000);
    std::vector<tagPOINT> out(4 * pts.size() + 16);
    const int open = i % 3 == 0 ? 1 : 0;
    const std::int32_t n = clipGraph(&rect, pts.data(), static_cast<std::int32_t>(pts.size()),
                                     out.data(), open);
    exact.Add(n);
    exact.Add(rect.top);
    exact.Add(rect.bottom);
    for (std::int32_t k = 0; k < n; ++k) {
      exact.Add(X(out[static_cast<std::size_t>(k)]));
      exact.Add(Y(out[static_cast<std::size_t>(k)]));
    }
  }
}

void RunSimplify(Results& r) {
  SeededRng rng(0x5EED0005u);
  Digest& exact = r.digests["simplify"];
  const float tolerances[] = {0.0f, 1.0f, 16.0f, 80.9f, 400.0f, 2500.0f};
  for (int i = 0; i < 120; ++i) {
    const std::vector<tagPOINT> track = RandomTrack(rng, 200, 5000, 60);
    for (float tol : tolerances) {
      std::vector<tagPOINT> pts = track;
      int kept = -1;
      PolySimplifyInt2D(tol, pts.data(), static_cast<int>(pts.size()), &kept);
      exact.Add(kept);
      for (int k = 0; k < kept; ++k) {
        exact.Add(X(pts[static_cast<std::size_t>(k)]));
        exact.Add(Y(pts[static_cast<std::size_t>(k)]));
      }
    }
    std::vector<tagPOINT> pts = track;
    int kept = -1;
    PolySimplify(rng.Int(0, 120), pts.data(), static_cast<int>(pts.size()), &kept);
    exact.Add(kept);
    for (int k = 0; k < kept; ++k) {
      exact.Add(X(pts[static_cast<std::size_t>(k)]));
      exact.Add(Y(pts[static_cast<std::size_t>(k)]));
    }
  }
}

void RunGeodesy(Results& r) {
  SeededRng rng(0x5EED0006u);
  constexpr double unitsPerDeg = 86400.0;
  for (int i = 0; i < 150; ++i) {
    const double lon = rng.Real(70.0, 140.0) * unitsPerDeg;
    const double lat = rng.Real(15.0, 55.0) * unitsPerDeg;
    double x = 0.0;
    double y = 0.0;
    Lambert_Projct_LL2XY(lon, lat, x, y);
    const std::string n = std::to_string(i);
    r.Record("lcc.x." + n, x);
    r.Record("lcc.y." + n, y);
    double lon2 = 0.0;
    double lat2 = 0.0;
    Lambert_Projct_XY2LL(x, y, lon2, lat2);
    r.Record("lcc.lon." + n, lon2);
    r.Record("lcc.lat." + n, lat2);
  }
  for (int i = 0; i < 150; ++i) {
    const double lon1 = rng.Real(70.0, 140.0) * unitsPerDeg;
    const double lat1 = rng.Real(-60.0, 60.0) * unitsPerDeg;
    const double lon2 = lon1 + rng.Real(-5.0, 5.0) * unitsPerDeg;
    const double lat2 = lat1 + rng.Real(-5.0, 5.0) * unitsPerDeg;
    double bearing = 0.0;
    double distance = 0.0;
    LLDistance(lon1, lat1, lon2, lat2, &bearing, &distance);
    const std::string n = std::to_string(i);
    r.Record("rhumb.bearing." + n, bearing);
    r.Record("rhumb.distance." + n, distance);
  }
}

// Chains a small street grid handed over in a scrambled order.
void RunChaining(Results& r) {
  SeededRng rng(0x5EED0007u);
  Digest& exact = r.digests["chaining"];
  std::vector<ST_NODE> nodes;
  for (std::int32_t gx = 0; gx < 12; ++gx) {
    for (std::int32_t gy = 0; gy < 12; ++gy) nodes.push_back(ST_NODE{gx, gy});
  }
  for (int round = 0; round < 20; ++round) {
    std::list<std::deque<ST_LINK*>*> lines;
    for (int i = 0; i < 150; ++i) {
      ST_NODE* a = &nodes[static_cast<std::size_t>(rng.Int(0, 143))];
      const std::int32_t step = rng.Int(0, 3);
      const std::int32_t gx = a->key1 + (step == 0 ? 1 : step == 1 ? -1 : 0);
      const std::int32_t gy = a->key2 + (step == 2 ? 1 : step == 3 ? -1 : 0);
      if (gx < 0 || gx > 11 || gy < 0 || gy > 11) continue;
      ST_NODE* b = &nodes[static_cast<std::size_t>(gx * 12 + gy)];
      ST_LINK* link = new ST_LINK{static_cast<std::uint32_t>(i), 1, a, b};
      AddToLineList(link, lines);
    }
    exact.Add(static_cast<std::int64_t>(lines.size()));
    for (const std::deque<ST_LINK*>* line : lines) {
      exact.Add(static_cast<std::int64_t>(line->size()));
      for (const ST_LINK* link : *line) {
        exact.Add(link->appData);
        exact.Add(link->direction);
        exact.Add(link->startNode->key1 * 100 + link->startNode->key2);
      }
    }
    ClearLineList(&lines);
  }
}

Results RunWorkload() {
  Results r;
  RunMeasures(r);
  RunPointSegment(r);
  RunLineClip(r);
  RunPolygonClip(r);
  RunSimplify(r);
  RunGeodesy(r);
  RunChaining(r);
  return r;
}

std::string Hex(double d) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%a", d);
  return buf;
}

bool WriteGolden(const Results& r, const char* path) {
  std::FILE* f = std::fopen(path, "w");
  if (f == nullptr) return false;
  std::fprintf(f, "// Recorded on Linux x86-64 by golden_test with TARNUTIL_GOLDEN_WRITE.\n");
  std::fprintf(f, "R\"golden(\n");
  for (const auto& entry : r.digests) {
    std::fprintf(f, "digest %s %016" PRIx64 " %" PRIu64 "\n", entry.first.c_str(),
                 entry.second.hash(), entry.second.count());
  }
  for (const Recorded& v : r.values) {
    std::fprintf(f, "value %s %s\n", v.key.c_str(), Hex(v.value).c_str());
  }
  std::fprintf(f, ")golden\"\n");
  return std::fclose(f) == 0;
}

TEST(GoldenWorkload, MatchesRecordedResults) {
  const Results r = RunWorkload();
  if (const char* path = std::getenv("TARNUTIL_GOLDEN_WRITE")) {
    ASSERT_TRUE(WriteGolden(r, path)) << path;
    GTEST_SKIP() << "recorded the results in " << path << " instead of comparing";
  }
  std::istringstream in(goldenText);
  std::string kind;
  std::map<std::string, std::pair<std::uint64_t, std::uint64_t>> digests;
  std::map<std::string, double> values;
  while (in >> kind) {
    std::string key;
    in >> key;
    if (kind == "digest") {
      std::string hash;
      std::uint64_t count = 0;
      in >> hash >> count;
      digests[key] = {std::strtoull(hash.c_str(), nullptr, 16), count};
    } else if (kind == "value") {
      std::string value;
      in >> value;
      values[key] = std::strtod(value.c_str(), nullptr);
    }
  }
  ASSERT_EQ(digests.size(), r.digests.size());
  for (const auto& entry : r.digests) {
    SCOPED_TRACE(entry.first);
    ASSERT_EQ(digests.count(entry.first), 1u);
    EXPECT_EQ(entry.second.count(), digests[entry.first].second);
    EXPECT_EQ(entry.second.hash(), digests[entry.first].first);
  }
  ASSERT_EQ(values.size(), r.values.size());
  for (const Recorded& v : r.values) {
    SCOPED_TRACE(v.key);
    ASSERT_EQ(values.count(v.key), 1u);
    const double expected = values[v.key];
    EXPECT_EQ(UlpDistance(v.value, expected), 0u)
        << "got " << Hex(v.value) << ", recorded " << Hex(expected);
  }
}

}  // namespace
