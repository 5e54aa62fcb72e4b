#include "geodesy/lambert.h"

#include <gtest/gtest.h>
#include <tarnutil/tarnutil.h>

#include <cmath>

#include "testing/testing.h"

namespace {

using tarnutil::detail::lambert::rho0;

constexpr double unitsPerDeg = 86400.0;
constexpr double centralMeridian = 104 * unitsPerDeg;

struct MapCase {
  double lon, lat, x, y;
};

TEST(LambertForward, KnownPoints) {
  // Reference values from 40-digit evaluation with the library's constants;
  // maths libraries differ by far less than the 1e-7 m tolerance, while the
  // full-precision pi/4 or degree factor would move them by about 1e-5 m.
  const MapCase cases[] = {
      {8985600, 1555200, 0.0, 0.0},
      {9504000, 2592000, 571250.71465448925, 1353621.3718678615},
      {10368000, 3456000, 1338037.1043369159, 2537384.8844861909},
      {6912000, 1728000, -2535141.7310194469, 542548.20003938221},
      {8985600, 2160000, 0.0, 785686.08401751724},
      {8985600, 4060800, 0.0, 3196935.9773385791},
  };
  for (const MapCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.lon << "," << c.lat);
    double x = 1.0, y = 1.0;
    Lambert_Projct_LL2XY(c.lon, c.lat, x, y);
    EXPECT_NEAR(x, c.x, 1e-7);
    EXPECT_NEAR(y, c.y, 1e-7);
  }
}

TEST(LambertInverse, KnownPoints) {
  // Same 40-digit reference, tolerance 1e-7 units; the full-precision pi/2
  // would move latitudes by about 3e-5 units.
  const MapCase cases[] = {
      {9504000.0000429985, 2592000.0000230966, 571250.7147, 1353621.3719},
      {10367999.999964885, 3456000.0000155754, 1338037.1043, 2537384.8845},
      {6912000.0000230824, 1727999.9999744312, -2535141.7310, 542548.2000},
      {8985600, 2159999.9999863371, 0.0, 785686.0840},
      {8985600, 4060799.9999700171, 0.0, 3196935.9773},
      {8985600, 1555200, 0.0, 0.0},
  };
  for (const MapCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
    double lon = 0.0, lat = 0.0;
    Lambert_Projct_XY2LL(c.x, c.y, lon, lat);
    EXPECT_NEAR(lon, c.lon, 1e-7);
    EXPECT_NEAR(lat, c.lat, 1e-7);
  }
}

TEST(LambertForward, CentralMeridianIsExactlyZero) {
  const double lats[] = {-7000000, -864000, 0, 1555200, 3369600, 4752000, 7000000};
  for (double lat : lats) {
    SCOPED_TRACE(lat);
    double x = 1.0, y = 1.0;
    Lambert_Projct_LL2XY(centralMeridian, lat, x, y);
    EXPECT_EQ(x, 0.0);
  }
}

TEST(LambertInverse, ZeroXGivesCentralMeridianExactly) {
  // Below and above the apex (beyond it the image is mirrored).
  const double ys[] = {-5e6, 0.0, 1e6, 3.2e6, rho0 - 1.0, rho0 + 1.0, 2e7};
  for (double y : ys) {
    SCOPED_TRACE(y);
    double lon = 0.0, lat = 0.0;
    Lambert_Projct_XY2LL(0.0, y, lon, lat);
    EXPECT_EQ(lon, centralMeridian);
  }
}

TEST(LambertRoundTrip, MapAreaWithinOneMillionthOfAUnit) {
  tarnutil::testing::SeededRng rng(4042);
  int checked = 0;
  for (double lonDeg = 70.0; lonDeg <= 140.0; lonDeg += 1.0) {
    for (double latDeg = 15.0; latDeg <= 55.0; latDeg += 1.0) {
      // One exact grid node and one jittered point per cell.
      const double points[2][2] = {{lonDeg * unitsPerDeg, latDeg * unitsPerDeg},
                                   {(lonDeg + rng.Real(0.0, 1.0)) * unitsPerDeg,
                                    (latDeg + rng.Real(0.0, 1.0)) * unitsPerDeg}};
      for (const auto& p : points) {
        if (p[0] > 140 * unitsPerDeg || p[1] > 55 * unitsPerDeg) continue;
        double x = 0.0, y = 0.0, lon = 0.0, lat = 0.0;
        Lambert_Projct_LL2XY(p[0], p[1], x, y);
        Lambert_Projct_XY2LL(x, y, lon, lat);
        ASSERT_NEAR(lon, p[0], 1e-6) << p[0] << "," << p[1];
        ASSERT_NEAR(lat, p[1], 1e-6) << p[0] << "," << p[1];
        ++checked;
      }
    }
  }
  EXPECT_GT(checked, 71 * 41);
}

TEST(LambertInverse, BeyondApexMirrorsThroughIt) {
  // rho0 +- D are exact doubles for these D, so both sides see the same
  // |d| and the same quotient x / d: the results must agree bit for bit.
  const double cases[][2] = {{1000.0, 1000.0}, {-250000.0, 3e6}, {2e6, 4096.5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c[0] << "," << c[1]);
    double lonA = 0.0, latA = 0.0, lonB = 1.0, latB = 1.0;
    Lambert_Projct_XY2LL(c[0], rho0 + c[1], lonA, latA);
    Lambert_Projct_XY2LL(-c[0], rho0 - c[1], lonB, latB);
    EXPECT_EQ(lonA, lonB);
    EXPECT_EQ(latA, latB);
  }
}

TEST(LambertInverse, ApexGivesNorthPoleAndUndefinedLongitude) {
  double lon = 0.0, lat = 0.0;
  Lambert_Projct_XY2LL(0.0, rho0, lon, lat);
  EXPECT_TRUE(std::isnan(lon));
  // 90 degrees from the shortened pi/2 and degree factor, within 1e-6 units.
  EXPECT_NEAR(lat, 7776000.0, 1e-6);
}

TEST(Lambert, WritesEachReferenceOnceInOrder) {
  // With both references bound to one double, the last write wins: x in
  // the forward direction, the latitude in the inverse.
  double x = 0.0, y = 0.0, both = 0.0;
  Lambert_Projct_LL2XY(9504000, 2592000, x, y);
  Lambert_Projct_LL2XY(9504000, 2592000, both, both);
  EXPECT_EQ(both, x);
  double lon = 0.0, lat = 0.0;
  Lambert_Projct_XY2LL(571250.7147, 1353621.3719, lon, lat);
  Lambert_Projct_XY2LL(571250.7147, 1353621.3719, both, both);
  EXPECT_EQ(both, lat);
}

}  // namespace
