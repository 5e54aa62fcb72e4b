#include "geodesy/rhumb.h"

#include <tarnutil/tarnutil.h>

#include <cmath>
#include <cstdint>

#include "maths/maths.h"
#include "util/exact.h"

namespace {

// The double quotient 1 / 86400: interface units are 1/86400 of a degree.
constexpr double unitToDeg = 1.1574074074074073e-05;
// Eleven decimals, not pi/180; also the one-degree threshold of the course test.
constexpr double deg2rad = 0.01745329252;
// Ten decimals, not pi/2: the east/west test compares against this value.
constexpr double halfPi = 1.5707963268;
// 57.295779513, not 180/pi: every bearing is scaled by exactly this factor.
constexpr double bearingRad2deg = 57.295779513;

// Krasovsky 1940 ellipsoid. The eccentricity is kept apart from its square
// (0.081813334^2 is not exactly ellE2), as each formula uses its own value.
// Semi-major axis, metres.
constexpr double ellA = 6378245.0;
// First eccentricity squared.
constexpr double ellE2 = 0.006693421623;
// First eccentricity.
constexpr double ellE = 0.081813334;
// Half the eccentricity, the weight of the ellipsoidal log term.
constexpr double ellHalfE = 0.040906667;
// ellA * (1 - ellE2), metres: the meridian radius numerator.
constexpr double ellA1mE2 = 6335552.7170002;

// Degrees per full turn, for the bearing normalisation.
constexpr double fullTurnDeg = 360.0;

}  // namespace

namespace tarnutil {
namespace detail {

double IsometricLatitude(double phi) {
  const double s = maths::Sin(phi);
  const double l1 = maths::Log((s + 1.0) / (1.0 - s));
  const double l2 = maths::Log((s * ellE + 1.0) / (1.0 - s * ellE));
  return l1 * 0.5 - l2 * ellHalfE;
}

double GuardedAtan2(double y, double x) {
  if (x == 0.0 && y == 0.0) return 0.0;
  return maths::Atan2(y, x);
}

// sin(phi) is taken once: the same call gives the same double, and the
// compiler may not merge the calls itself (sin may set errno).
double MeridianRadius(double phi) {
  const double s = maths::Sin(phi);
  const double w = std::sqrt(1.0 - (s * s) * ellE2);
  return ellA1mE2 / ((w * w) * w);
}

double ParallelRadius(double phi) {
  const double s = maths::Sin(phi);
  return (maths::Cos(phi) / std::sqrt(1.0 - (s * s) * ellE2)) * ellA;
}

bool CourseNearEastWest(double alpha) {
  return !(std::fabs(std::fabs(alpha) - halfPi) > deg2rad);
}

void RhumbLine(double lat1, double lon1, double lat2, double lon2, double* course,
               double* distance) {
  const double phiM = (lat1 + lat2) * 0.5;
  // Not wrapped: positions either side of the 180-degree meridian are joined
  // the long way round.
  const double dLon = lon2 - lon1;
  double dPsi = IsometricLatitude(lat2) - IsometricLatitude(lat1);
  // Latitudes closer than the isometric latitude resolves on one meridian:
  // the latitude difference still tells north from south, so a southward
  // pair takes the due-south course and its length stays positive.
  if (dPsi == 0.0 && dLon == 0.0) dPsi = lat2 - lat1;
  const double alpha = GuardedAtan2(dLon, dPsi);
  // Near east or west the latitude difference vanishes and cos(alpha) with
  // it, so the length comes from the longitude difference instead.
  double length = 0.0;
  if (CourseNearEastWest(alpha)) {
    length = (ParallelRadius(phiM) / maths::Sin(alpha)) * dLon;
  } else {
    length = ((lat2 - lat1) / maths::Cos(alpha)) * MeridianRadius(phiM);
  }
  *course = alpha;
  *distance = length;
}

}  // namespace detail
}  // namespace tarnutil

void LLDistance(double lon1, double lat1, double lon2, double lat2, double* bearing,
                double* distance) {
  using tarnutil::detail::TruncToInt32;
  const double lon1Rad = (lon1 * unitToDeg) * deg2rad;
  const double lat1Rad = (lat1 * unitToDeg) * deg2rad;
  const double lon2Rad = (lon2 * unitToDeg) * deg2rad;
  const double lat2Rad = (lat2 * unitToDeg) * deg2rad;
  tarnutil::detail::RhumbLine(lat1Rad, lon1Rad, lat2Rad, lon2Rad, bearing, distance);
  *bearing = *bearing * bearingRad2deg;
  // A course from atan2 needs at most one pass; a non-finite value would
  // never leave the loops, so it is passed on untouched.
  if (std::isfinite(*bearing)) {
    while (*bearing < 0.0) *bearing += fullTurnDeg;
    while (*bearing > fullTurnDeg) *bearing -= fullTurnDeg;
  }
  // Tenths digit 6..9 adds one whole degree and keeps the fraction.
  const std::int32_t tenths = TruncToInt32(*bearing * 10.0);
  if (tenths % 10 > 5) *bearing += 1.0;
}
