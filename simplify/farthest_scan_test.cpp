// The farthest-point split passes over points that provably cannot be the
// farthest. These cases compare it with a scan that measures every point,
// on tracks chosen so that the passing-over is exercised and stressed:
// long smooth tracks (whole blocks vouched for), rough and jumpy ones (a
// large step bound), flat ones full of equal deviations (ties), extents on
// either side of the limit below which nothing wraps, and coordinates at
// the ends of the 32-bit range.
#include "simplify/farthest_scan.h"

#include <gtest/gtest.h>
#include <tarnutil/tarnutil.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "testing/testing.h"

namespace {

using tarnutil::detail::SquaredDeviation;

tagPOINT Pt(std::int64_t x, std::int64_t y) {
  tagPOINT p;
  p.x = static_cast<std::int32_t>(x);
  p.y = static_cast<std::int32_t>(y);
  return p;
}

// The splitting scheme with every point measured.
void MeasureAll(float threshold, const std::vector<tagPOINT>& pts, std::vector<int>& keep,
                int first, int last) {
  while (first + 1 < last) {
    const tagPOINT& a = pts[static_cast<std::size_t>(first)];
    const tagPOINT& b = pts[static_cast<std::size_t>(last)];
    if (a.x == b.x && a.y == b.y) return;
    double maxDev = 0.0;
    int idx = -1;
    for (int i = first + 1; i < last; ++i) {
      const double dev = SquaredDeviation(pts[static_cast<std::size_t>(i)], a, b);
      if (dev > maxDev) {
        maxDev = dev;
        idx = i;
      }
    }
    if (idx < 0 || !(maxDev > static_cast<double>(threshold))) return;
    keep[static_cast<std::size_t>(idx)] = 1;
    MeasureAll(threshold, pts, keep, first, idx);
    first = idx;
  }
}

std::vector<tagPOINT> Expected(float tolerance, const std::vector<tagPOINT>& pts) {
  std::vector<int> keep(pts.size(), 0);
  keep.front() = 1;
  keep.back() = 1;
  const float threshold = static_cast<float>(std::sqrt(static_cast<double>(tolerance)));
  MeasureAll(threshold, pts, keep, 0, static_cast<int>(pts.size()) - 1);
  std::vector<tagPOINT> out;
  for (std::size_t i = 0; i < pts.size(); ++i) {
    if (keep[i] == 1) out.push_back(pts[i]);
  }
  return out;
}

struct TrackShape {
  const char* name;
  double stepMin;  // step length range, units
  double stepMax;
  double turn;    // largest heading change per step, radians
  int jumpEvery;  // a jump of jumpLength every so many points; 0: none
  double jumpLength;
  std::int64_t extent;  // the track is folded into [base, base + extent]
  std::int64_t base;
};

// A walk folded into a square box, with both far corners visited so that
// the track's extent is exactly the box's.
// Runs the library on a copy of pts and compares every kept point with the
// reference that measures every point.
void ExpectSameAsMeasuringAll(float tolerance, const std::vector<tagPOINT>& pts) {
  const std::vector<tagPOINT> expected = Expected(tolerance, pts);
  std::vector<tagPOINT> work = pts;
  int kept = -1;
  PolySimplifyInt2D(tolerance, work.data(), static_cast<int>(work.size()), &kept);
  ASSERT_EQ(kept, static_cast<int>(expected.size()));
  for (std::size_t i = 0; i < expected.size(); ++i) {
    ASSERT_EQ(work[i].x, expected[i].x) << "kept point " << i;
    ASSERT_EQ(work[i].y, expected[i].y) << "kept point " << i;
  }
}

std::vector<tagPOINT> Walk(const TrackShape& shape, int count, std::uint64_t seed) {
  tarnutil::testing::SeededRng rng(seed);
  std::vector<tagPOINT> pts;
  const double size = static_cast<double>(shape.extent);
  double x = size / 2.0;
  double y = size / 2.0;
  double heading = rng.Real(0.0, 6.283185307179586);
  const auto fold = [size](double v) {
    const double period = 2.0 * size;
    double m = std::fmod(v, period);
    if (m < 0.0) m += period;
    return m > size ? period - m : m;
  };
  for (int i = 0; i < count; ++i) {
    heading += rng.Real(-shape.turn, shape.turn);
    double step = rng.Real(shape.stepMin, shape.stepMax);
    if (shape.jumpEvery > 0 && i % shape.jumpEvery == shape.jumpEvery - 1) step = shape.jumpLength;
    x += step * std::cos(heading);
    y += step * std::sin(heading);
    pts.push_back(Pt(shape.base + static_cast<std::int64_t>(std::floor(fold(x))),
                     shape.base + static_cast<std::int64_t>(std::floor(fold(y)))));
  }
  pts[static_cast<std::size_t>(count / 3)] = Pt(shape.base, shape.base);
  pts[static_cast<std::size_t>(2 * count / 3)] =
      Pt(shape.base + shape.extent, shape.base + shape.extent);
  return pts;
}

TEST(PolySimplifyInt2DScan, MatchesMeasuringEveryPoint) {
  constexpr std::int64_t int32Max = 2147483647;
  constexpr std::int64_t int32Min = -2147483647 - 1;
  const TrackShape shapes[] = {
      {"smooth drive", 5.0, 30.0, 0.05, 0, 0.0, 32000, 0},
      {"walk", 0.0, 3.0, 0.6, 0, 0.0, 4000, -2000},
      {"jumpy", 5.0, 30.0, 0.05, 97, 9000.0, 30000, 100000},
      {"dense curls", 0.5, 2.0, 0.9, 0, 0.0, 300, 7},
      {"widest plain extent", 20.0, 200.0, 0.2, 0, 0.0, 32766, -16383},
      {"one unit too wide", 20.0, 200.0, 0.2, 0, 0.0, 32767, -16383},
      {"top of the range", 10.0, 60.0, 0.1, 0, 0.0, 32766, int32Max - 32766},
      {"bottom of the range", 10.0, 60.0, 0.1, 0, 0.0, 32766, int32Min},
      {"wrapping extent", 100.0, 2000.0, 0.3, 0, 0.0, 200000, -100000},
  };
  const float tolerances[] = {0.0f, 1.0f, 2.0f, 100.0f, 2500.0f, 1.0e6f, 1.0e9f};
  std::uint64_t seed = 11;
  for (const TrackShape& shape : shapes) {
    for (const float tolerance : tolerances) {
      SCOPED_TRACE(testing::Message() << shape.name << ", tolerance " << tolerance);
      const std::vector<tagPOINT> pts = Walk(shape, 3000, seed++);
      ASSERT_NO_FATAL_FAILURE(ExpectSameAsMeasuringAll(tolerance, pts));
    }
  }
}

// Flat zigzags: every other point deviates by exactly the same amount, so
// the lowest index must win every tie, including ties with points that a
// block check passes over and ties at the level the first look sets.
TEST(PolySimplifyInt2DScan, TiesGoToTheLowestIndex) {
  struct Zigzag {
    int count;
    int amplitude;
    int spacing;
    float tolerance;
  };
  const Zigzag cases[] = {
      {200, 3, 10, 1.0f},  {2000, 1, 1, 0.0f},     {2000, 40, 7, 100.0f},
      {999, 2, 30, 15.9f}, {5000, 500, 3, 1.0e5f},
  };
  for (const Zigzag& z : cases) {
    SCOPED_TRACE(testing::Message() << z.count << " points, amplitude " << z.amplitude);
    std::vector<tagPOINT> pts;
    for (int i = 0; i < z.count; ++i) {
      const int bump = (i % 2 == 1) ? z.amplitude : 0;
      const int hill = (i % 97 == 50) ? 3 * z.amplitude : 0;
      pts.push_back(Pt(static_cast<std::int64_t>(i) * z.spacing % 30000, bump + hill));
    }
    ASSERT_NO_FATAL_FAILURE(ExpectSameAsMeasuringAll(z.tolerance, pts));
  }
}

// Ramps of eight points climbing ten units a step above a flat chord, each
// followed by eight falling ones; each ramp pair stands one unit higher than
// the one before. A ramp's last point and the next ramp's first point tie
// as the highest of their pair, and the lower index must win even though
// the climbing ramp starts far below the level that the falling ramps set:
// a block may be vouched for only as far as seven steps can climb.
TEST(PolySimplifyInt2DScan, BlocksAreVouchedForOnlyWithinTheirReach) {
  const float tolerances[] = {0.0f, 1.0e4f, 3.0e7f};
  for (const float tolerance : tolerances) {
    SCOPED_TRACE(testing::Message() << "tolerance " << tolerance);
    std::vector<tagPOINT> pts;
    pts.push_back(Pt(0, 0));
    for (int pair = 0; pair < 50; ++pair) {
      for (int k = 0; k < 8; ++k)
        pts.push_back(Pt(static_cast<std::int64_t>(pts.size()), 10 * k + pair));
      for (int k = 0; k < 8; ++k) {
        pts.push_back(Pt(static_cast<std::int64_t>(pts.size()), 70 - 10 * k + pair));
      }
    }
    // Down to the chord's level in steps no longer than the ramps'.
    for (int y = 40; y >= 0; y -= 10) pts.push_back(Pt(static_cast<std::int64_t>(pts.size()), y));
    ASSERT_NO_FATAL_FAILURE(ExpectSameAsMeasuringAll(tolerance, pts));
  }
}

}  // namespace
