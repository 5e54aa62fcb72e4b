// Rhumb-line distance and the projection both ways on any doubles: NaN,
// infinities, poles, huge and tiny values. The sanitizers are the oracle
// (float-to-integer casts in particular); finite ordinary inputs must give
// finite outputs. The length is not checked for sign: latitudes closer than
// the isometric latitude resolves give course 0 and a signed length.
#include <tarnutil/tarnutil.h>

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_input.h"

namespace {

// Within a quarter turn of latitude and half a turn of longitude (in
// 1/86400 degree) away from the poles, everything is finite.
bool Ordinary(double lon, double lat) {
  return std::fabs(lon) <= 180.0 * 86400.0 && std::fabs(lat) <= 80.0 * 86400.0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tarnutil::fuzz::FuzzInput in(data, size);
  const double lon1 = in.Double();
  const double lat1 = in.Double();
  const double lon2 = in.Double();
  const double lat2 = in.Double();

  double bearing = 0.0;
  double distance = 0.0;
  LLDistance(lon1, lat1, lon2, lat2, &bearing, &distance);
  if (Ordinary(lon1, lat1) && Ordinary(lon2, lat2)) {
    TARNUTIL_FUZZ_CHECK(std::isfinite(distance) && std::isfinite(bearing));
  }

  double x = 0.0;
  double y = 0.0;
  Lambert_Projct_LL2XY(lon1, lat1, x, y);
  double lon = 0.0;
  double lat = 0.0;
  Lambert_Projct_XY2LL(x, y, lon, lat);
  Lambert_Projct_XY2LL(lon2, lat2, lon, lat);
  return 0;
}
