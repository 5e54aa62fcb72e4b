// The one Lambert conformal conic projection of the library: ellipsoid with
// semi-major axis 6378137 m and eccentricity 0.081819191, standard parallels
// 25N and 47N, origin 18N 104E, no false easting or northing.
//
// The constants are used exactly as written. Derived values (n, aF, rho0 and
// the quotients) are fixed doubles: computing them afresh from the parameters
// gives slightly different doubles and moves results in the last digits.
#ifndef TARNUTIL_GEODESY_LAMBERT_H
#define TARNUTIL_GEODESY_LAMBERT_H

namespace tarnutil {
namespace detail {
namespace lambert {

// First eccentricity of the projection's ellipsoid.
constexpr double e = 0.081819191;
// e / 2, the exponent of the conformal factor.
constexpr double eHalf = 0.0409095955;
// Cone constant.
constexpr double n = 0.5915298988240185;
// Semi-major axis times the mapping factor F, metres.
constexpr double aF = 12745432.961774401;
// Radius of the parallel of origin on the map, metres; also the apex's y.
constexpr double rho0 = 10563744.853716312;
// Central meridian, degrees.
constexpr double lambda0 = 104.0;
// Ten decimals, not pi/4.
constexpr double quarterPi = 0.7853981634;
// Ten decimals, not pi/2.
constexpr double halfPi = 1.5707963268;
// Eleven decimals, not pi/180.
constexpr double deg2rad = 0.01745329252;
// The double product n * deg2rad: degrees of longitude to cone angle.
constexpr double nDeg2rad = 0.010324144358501599;
// The double quotient 1 / deg2rad, not 180/pi.
constexpr double rad2deg = 57.295779512896175;
// The double quotient 1 / n.
constexpr double invN = 1.6905316231487773;
// The double quotient 1 / aF.
constexpr double invAF = 7.845947666110366e-08;
// The double quotient 1 / 86400: interface units are 1/86400 of a degree.
constexpr double unitToDeg = 1.1574074074074073e-05;
// Interface units per degree.
constexpr double degToUnit = 86400.0;
// n / |n|: the cone opens northwards, so the map radius keeps its sign.
constexpr double nSign = 1.0;
// Latitude refinement passes. The result is always the value after this
// many; the passes stop early only once they can no longer change it.
constexpr int latitudePasses = 11;

}  // namespace lambert
}  // namespace detail
}  // namespace tarnutil

#endif  // TARNUTIL_GEODESY_LAMBERT_H
