// A program built against an installed copy: one call per family it uses.
#include <tarnutil/tarnutil.h>

#include <cstdio>
#include <cstring>

int main() {
  const double d = Distance(0, 0, 3, 4);
  double x = 1.0;
  double y = 1.0;
  Lambert_Projct_LL2XY(8985600.0, 1555200.0, x, y);
  tagPOINT from{0, 0};
  tagPOINT to{10, 10};
  std::int32_t angle = -1;
  ComputeSegmentAngle(&from, &to, &angle);
  const bool sameVersion = std::strcmp(TarnUtilVersion(), TARNUTIL_VERSION_STRING) == 0;
  std::printf("%g %d %s\n", d, static_cast<int>(angle), TarnUtilVersion());
  return (d == 5.0 && angle == 45 && x == 0.0 && sameVersion) ? 0 : 1;
}
