#include "geodesy/lambert.h"

#include <tarnutil/tarnutil.h>

#include <cmath>

#include "maths/maths.h"

using namespace tarnutil::detail::lambert;
namespace maths = tarnutil::maths;

void Lambert_Projct_LL2XY(double lon, double lat, double& x, double& y) {
  const double phi = (lat * unitToDeg) * deg2rad;
  const double bigT = maths::Tan(quarterPi - phi * 0.5);
  const double s = maths::Sin(phi);
  const double q = (1.0 - s * e) / (s * e + 1.0);
  const double t = bigT / maths::Pow(q, eHalf);
  const double rho = maths::Pow(t, n) * aF;
  // Degrees first, then the offset from the central meridian, then the cone
  // factor: keeps the central meridian at exactly zero.
  const double theta = (lon * unitToDeg - lambda0) * nDeg2rad;
  double sinTheta = 0.0, cosTheta = 0.0;
  maths::SinCos(theta, sinTheta, cosTheta);
  y = rho0 - rho * cosTheta;
  x = rho * sinTheta;
}

void Lambert_Projct_XY2LL(double x, double y, double& lon, double& lat) {
  const double d = rho0 - y;
  const double rho = std::sqrt(d * d + x * x) * nSign;
  const double t = maths::Pow(rho * invAF, invN);
  // One-argument arctangent: a point beyond the apex (d < 0) maps like its
  // mirror image through the apex.
  const double theta = maths::Atan(x / d);
  const double lonDeg = (theta * rad2deg) * invN + lambda0;
  // The first pass starts from phi = 0, where sin gives exactly 0, the
  // conformal factor exactly 1 and pow(1, eHalf) exactly 1.
  double phi = halfPi - 2.0 * maths::Atan(t);
  // A pass that returns its input exactly makes every later pass return it
  // too (its input enters only through sin, and sin(-0) and sin(+0) give
  // the same factor), so stopping there gives the value of the last pass.
  for (int pass = 1; pass < latitudePasses; ++pass) {
    const double s = maths::Sin(phi);
    const double next =
        halfPi - 2.0 * maths::Atan(maths::Pow((1.0 - s * e) / (s * e + 1.0), eHalf) * t);
    const bool settled = next == phi;
    phi = next;
    if (settled) break;
  }
  lon = lonDeg * degToUnit;
  lat = (phi * rad2deg) * degToUnit;
}
