#include "geodesy/rhumb.h"

#include <gtest/gtest.h>
#include <tarnutil/tarnutil.h>

#include <cmath>
#include <iomanip>
#include <limits>

namespace {

using tarnutil::detail::CourseNearEastWest;
using tarnutil::detail::GuardedAtan2;
using tarnutil::detail::IsometricLatitude;
using tarnutil::detail::MeridianRadius;
using tarnutil::detail::ParallelRadius;

constexpr double unitsPerDeg = 86400.0;
constexpr double deg2rad = 0.01745329252;

// Expected values below were computed with 30-digit arithmetic from the
// closed forms on the library's ellipsoid constants.
TEST(RhumbPieces, RadiiAndIsometricLatitude) {
  struct Case {
    double deg, psi, meridian, parallel;
  };
  const Case cases[] = {
      {30, 0.54595756490389006, 6351488.4921988553, 5528349.5850119417},
      {45, 0.87663533262473733, 6367491.1848565962, 4517666.2884691242},
      {60, 1.3111514945542734, 6383561.1890346915, 3197157.5681620317},
      {80, 2.4296400008102113, 6397748.8513778698, 1111183.1661834294},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.deg);
    const double phi = c.deg * deg2rad;
    EXPECT_NEAR(IsometricLatitude(phi), c.psi, 1e-13);  // sin/log, last bits
    EXPECT_NEAR(IsometricLatitude(-phi), -c.psi, 1e-13);
    EXPECT_NEAR(MeridianRadius(phi), c.meridian, 1e-6);  // through sin
    EXPECT_NEAR(ParallelRadius(phi), c.parallel, 1e-6);  // through sin/cos
  }
  // At the equator every sine is 0 and the radii reduce to the constants.
  EXPECT_EQ(IsometricLatitude(0.0), 0.0);
  EXPECT_EQ(MeridianRadius(0.0), 6335552.7170002);
  EXPECT_EQ(ParallelRadius(0.0), 6378245.0);
}

TEST(RhumbPieces, GuardedAtan2ZeroPairGivesPositiveZero) {
  // atan2 would give pi for (+0, -0) and -0 or -pi for a negative-zero y.
  const double zeros[][2] = {{0.0, 0.0}, {0.0, -0.0}, {-0.0, 0.0}, {-0.0, -0.0}};
  for (const auto& z : zeros) {
    const double r = GuardedAtan2(z[0], z[1]);
    EXPECT_EQ(r, 0.0);
    EXPECT_FALSE(std::signbit(r));
  }
  EXPECT_NEAR(GuardedAtan2(0.0, -1.0), 3.141592653589793, 1e-15);  // atan2
  EXPECT_NEAR(GuardedAtan2(-1.0, 0.0), -1.5707963267948966, 1e-15);
}

TEST(RhumbPieces, EastWestTestUsesShortenedConstantsAndKeepsBoundary) {
  // The threshold is 1.5707963268 +- 0.01745329252; full-precision pi/2 or
  // pi/180 would move it by about 5e-12 and 6e-14 and flip the near cases.
  struct Case {
    double alpha;
    bool nearEastWest;
  };
  const Case cases[] = {
      {1.5707963268, true},
      {-1.5707963268, true},
      {1.5707963268 + 0.01745329251999, true},
      {1.5707963268 + 0.01745329252001, false},
      {-(1.5707963268 + 0.01745329251999), true},
      {-(1.5707963268 + 0.01745329252001), false},
      {1.5707963268 - 0.01745329251999, true},
      {1.5707963268 - 0.01745329252001, false},
      {1.5707963268 - 0.0174532925199, true},  // beyond with pi/2 itself
      {0.0, false},
      {3.141592653589793, false},
      {std::nan(""), true},  // not greater than the threshold
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::setprecision(17) << c.alpha);
    EXPECT_EQ(CourseNearEastWest(c.alpha), c.nearEastWest);
  }
}

TEST(LLDistance, KnownLines) {
  struct Case {
    double lon1, lat1, lon2, lat2, bearing, distance;
  };
  // Bearings through atan2/log: 1e-10 degrees; lengths: 1e-4 m. The last two
  // were checked with 40-digit arithmetic.
  const Case cases[] = {
      {10022400, 3369600, 10022400, 3456000, 0.0, 111026.9622},
      {10022400, 3456000, 10022400, 3369600, 180.99999999974, 111026.9622},
      {10022400, 3369600, 10108800, 3369600, 90.99999999987, 86627.8543},
      {10108800, 3369600, 10022400, 3369600, 270.00000000013, 86627.8543},
      {10022400, 3369600, 10108800, 3456000, 38.764841054504, 140446.0632},
      // Not wrapped: 179E to 179W runs 358 degrees westwards.
      {15465600, 3369600, -15465600, 3369600, 270.00000000013, 31012771.8253},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.lon1 << "," << c.lat1 << " " << c.lon2 << "," << c.lat2);
    double bearing = -1.0, distance = -1.0;
    LLDistance(c.lon1, c.lat1, c.lon2, c.lat2, &bearing, &distance);
    EXPECT_NEAR(bearing, c.bearing, 1e-10);
    EXPECT_NEAR(distance, c.distance, 1e-4);
  }
}

TEST(LLDistance, IdenticalPositionsGiveExactZeros) {
  const double positions[][2] = {{10022400, 3369600}, {0, 0}, {-15465600, -4320000}};
  for (const auto& p : positions) {
    double bearing = -1.0, distance = -1.0;
    LLDistance(p[0], p[1], p[0], p[1], &bearing, &distance);
    EXPECT_EQ(bearing, 0.0);
    EXPECT_EQ(distance, 0.0);
  }
}

// Latitudes too close for the isometric latitude to tell apart, on one
// meridian: south gives the due-south course and a positive length, north
// and equal positions stay as they were.
TEST(LLDistance, UnresolvedLatitudeDifferenceKeepsDirection) {
  struct Case {
    double lat1, lat2;
    bool south;
  };
  const Case cases[] = {{1e-10, 0.0, true},
                        {0.0, -1e-10, true},
                        {-1e-10, -2e-10, true},
                        {0.0, 1e-10, false},
                        {-1e-10, 0.0, false}};
  double southBearing = -1.0, unused = 0.0;
  LLDistance(0.0, 86400.0, 0.0, 0.0, &southBearing, &unused);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.lat1 << " -> " << c.lat2);
    const double phi1 = (c.lat1 * (1.0 / unitsPerDeg)) * deg2rad;
    const double phi2 = (c.lat2 * (1.0 / unitsPerDeg)) * deg2rad;
    ASSERT_EQ(IsometricLatitude(phi1), IsometricLatitude(phi2));
    double bearing = -1.0, distance = -1.0;
    LLDistance(0.0, c.lat1, 0.0, c.lat2, &bearing, &distance);
    EXPECT_EQ(bearing, c.south ? southBearing : 0.0);
    // The meridian arc: the latitude difference over cos(course) = +-1.
    const double arc = (phi2 - phi1) * MeridianRadius((phi1 + phi2) * 0.5);
    EXPECT_EQ(distance, c.south ? -arc : arc);
    EXPECT_GT(distance, 0.0);
  }
}

// Builds a line from the equator whose course is `course` degrees, so that
// the bearing normalisation and the tenths rule can be checked directly.
void LineWithCourse(double course, double* bearing, double* distance) {
  const double c = course * 3.141592653589793 / 180.0;
  const double lat2 = std::cos(c) > 0 ? unitsPerDeg : -unitsPerDeg;
  const double dPsi = IsometricLatitude((lat2 / unitsPerDeg) * deg2rad);
  const double lon2 = ((std::tan(c) * dPsi) / deg2rad) * unitsPerDeg;
  LLDistance(0.0, 0.0, lon2, lat2, bearing, distance);
}

TEST(LLDistance, NormalisesThenAddsOneForTenthsSixToNine) {
  struct Case {
    double course, bearing;
  };
  // The bearing scale differs from 180/pi by 1.4e-12: tolerance 1e-8 degrees.
  // A course of -1e-14 degrees rounds up to exactly 360, which is kept.
  const Case cases[] = {
      {45.59, 45.59},  {45.61, 46.61},   {45.05, 45.05},  {45.99, 46.99},    {-0.1, 360.9},
      {-0.35, 360.65}, {-0.6, 359.4},    {-44.3, 316.7},  {-135.04, 225.96}, {-179.3, 181.7},
      {179.3, 179.3},  {135.96, 136.96}, {-1e-14, 360.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.course);
    double bearing = -1.0, distance = -1.0;
    LineWithCourse(c.course, &bearing, &distance);
    EXPECT_NEAR(bearing, c.bearing, 1e-8);
    EXPECT_GT(distance, 0.0);
  }
}

TEST(LLDistance, NonFiniteInputStaysDefinedAndBounded) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::nan("");
  // Poles (90 degrees is 7776000 units), beyond them, infinities, NaN.
  const double cases[][4] = {
      {10022400, 3369600, 10022400, 7776000},
      {10022400, -7776000, 10022400, 7776000},
      {0, 7776000, 864000, 7776000},
      {0, 0, 0, 8000000},
      {0, 0, inf, 0},
      {0, 0, -inf, 3369600},
      {inf, 0, inf, 0},
      {0, inf, 0, -inf},
      {nan, 0, 0, 0},
      {0, 0, 0, nan},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c[0] << "," << c[1] << " " << c[2] << "," << c[3]);
    double bearing = -1.0, distance = -1.0;
    LLDistance(c[0], c[1], c[2], c[3], &bearing, &distance);
    // Either not a number or inside the range the normalisation and the
    // tenths rule can produce.
    EXPECT_TRUE(std::isnan(bearing) || (bearing >= 0.0 && bearing <= 361.0)) << bearing;
    EXPECT_FALSE(distance < 0.0) << distance;
  }
}

}  // namespace
