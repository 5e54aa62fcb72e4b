// Checks rhumb-line length and course against GeographicLib's exact rhumb
// lines on the Krasovsky 1940 ellipsoid.
#include <gtest/gtest.h>
#include <tarnutil/tarnutil.h>

#include <GeographicLib/Rhumb.hpp>
#include <cmath>
#include <cstdint>

#include "testing/testing.h"
#include "util/exact.h"

namespace {

constexpr double unitsPerDeg = 86400.0;

// Undoes the tenths rule: a tenths digit of 6..9 means one degree was added.
double CourseDegrees(double bearing) {
  const std::int32_t tenths = tarnutil::detail::TruncToInt32(bearing * 10.0);
  return tenths % 10 > 5 ? bearing - 1.0 : bearing;
}

// The length takes the meridian radius at the mean latitude, so its relative
// error grows with the square of the latitude span: about
// 3 e^2 cos(2 phi) / 24 * dPhi^2, measured 1.9e-5 at 1000 km, 1.8e-7 at
// 100 km, 1.8e-9 at 10 km. Below that, rounding of lat2 - lat1 dominates
// when the course is near east or west (divided by a cosine down to
// sin 1 degree): measured 7.5e-11 at 1 km. The shortened degree factor
// scales every angle by about 3e-12 and the eccentricity differs from the
// square root of e^2 by 2e-10 relative, both far below these. Tolerances
// carry a factor of two over the measured worst case.
struct LengthCase {
  double metres, relTolerance;
};
const LengthCase lengthCases[] = {{1e3, 2e-10}, {1e4, 4e-9}, {1e5, 4e-7}, {1e6, 4e-5}};

// The course is exact apart from the bearing factor 57.295779513, which is
// 1.4e-12 relative below 180/pi (2.6e-10 degrees at 180) and rounding for
// short lines: measured 5.4e-10 degrees at worst.
constexpr double courseToleranceDeg = 1e-9;

TEST(RhumbOracle, LengthAndCourseAgreeWithinMeasuredBounds) {
  const GeographicLib::Rhumb rhumb(6378245.0, 1.0 / 298.3);
  tarnutil::testing::SeededRng rng(1940);
  for (const LengthCase& c : lengthCases) {
    for (int i = 0; i < 3000; ++i) {
      // Starts in the map area; 1000 km never crosses the 180-degree meridian.
      const double lat1 = rng.Real(15.0, 55.0);
      const double lon1 = rng.Real(70.0, 140.0);
      const double azi = rng.Real(-180.0, 180.0);
      double lat2 = 0.0, lon2 = 0.0;
      rhumb.Direct(lat1, lon1, azi, c.metres, lat2, lon2);
      // The oracle's own inverse on the exact endpoints given to the library.
      double s12 = 0.0, azi12 = 0.0;
      const double u[4] = {lon1 * unitsPerDeg, lat1 * unitsPerDeg, lon2 * unitsPerDeg,
                           lat2 * unitsPerDeg};
      rhumb.Inverse(u[1] / unitsPerDeg, u[0] / unitsPerDeg, u[3] / unitsPerDeg, u[2] / unitsPerDeg,
                    s12, azi12);
      double bearing = 0.0, distance = 0.0;
      LLDistance(u[0], u[1], u[2], u[3], &bearing, &distance);
      SCOPED_TRACE(testing::Message()
                   << c.metres << " m from " << lon1 << "," << lat1 << " azimuth " << azi);
      ASSERT_NEAR(distance, s12, s12 * c.relTolerance);
      ASSERT_NEAR(std::remainder(CourseDegrees(bearing) - azi12, 360.0), 0.0, courseToleranceDeg);
    }
  }
}

}  // namespace
