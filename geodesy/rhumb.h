// Rhumb-line (constant-course) course and length on the Krasovsky 1940
// ellipsoid: the pieces behind LLDistance, visible to the tests.
#ifndef TARNUTIL_GEODESY_RHUMB_H
#define TARNUTIL_GEODESY_RHUMB_H

namespace tarnutil {
namespace detail {

// Isometric latitude of phi (radians); grows without bound towards the poles.
double IsometricLatitude(double phi);

// atan2(y, x), except that (0, 0) gives 0 rather than a signed zero or pi.
double GuardedAtan2(double y, double x);

// Radius of curvature of the meridian at latitude phi, metres.
double MeridianRadius(double phi);

// Radius of the parallel circle at latitude phi, metres.
double ParallelRadius(double phi);

// True when the course alpha (radians) lies within one degree of due east or
// due west, the boundary included; such courses take the parallel formula.
bool CourseNearEastWest(double alpha);

// Course (radians, -pi..pi, 0 north, positive east) and length (metres) of
// the rhumb line from (lat1, lon1) to (lat2, lon2), all in radians. The
// longitude difference is not wrapped. Writes *course, then *distance.
void RhumbLine(double lat1, double lon1, double lat2, double lon2, double* course,
               double* distance);

}  // namespace detail
}  // namespace tarnutil

#endif  // TARNUTIL_GEODESY_RHUMB_H
