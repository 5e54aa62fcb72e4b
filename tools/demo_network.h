// Built-in sample data of the demo: a synthetic road network with a lake and
// a park near 104.5E 30.5N, laid out from a fixed seed with integer and
// plain double arithmetic only, so that every run on every target produces
// the same data.
#ifndef TARNUTIL_TOOLS_DEMO_NETWORK_H
#define TARNUTIL_TOOLS_DEMO_NETWORK_H

#include <cstdint>
#include <vector>

namespace tarnutil {
namespace cli {

// A geographic position in 1/86400 degree.
struct GeoPoint {
  std::int32_t lon;
  std::int32_t lat;
};

enum class RoadClass { minor = 0, main = 1, highway = 2 };
constexpr int roadClassCount = 3;

// One road link: its shape from its start node to its end node. The end
// points are the nodes; links that meet share them exactly.
struct DemoLink {
  RoadClass roadClass;
  std::vector<GeoPoint> shape;
};

struct DemoNetwork {
  // Where the view is centred.
  GeoPoint centre;
  // In no particular order, and some given end first, as map data comes.
  std::vector<DemoLink> links;
  std::vector<GeoPoint> lake;
  std::vector<GeoPoint> park;
  // A trip along the first highway, start to destination.
  std::vector<GeoPoint> route;
};

DemoNetwork MakeDemoNetwork();

}  // namespace cli
}  // namespace tarnutil

#endif  // TARNUTIL_TOOLS_DEMO_NETWORK_H
