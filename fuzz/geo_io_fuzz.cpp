// The tool's GeoJSON and WKT readers on arbitrary text: the first byte picks
// the reader, the rest is the document. A document either is refused with a
// message naming a place, or reads; what reads is written, and the written
// text must read back to the same geometry and properties.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tools/geo_io.h"

namespace {

bool SameGeometry(const tarnutil::geo::FeatureCollection& a,
                  const tarnutil::geo::FeatureCollection& b) {
  if (a.features.size() != b.features.size()) return false;
  for (std::size_t i = 0; i < a.features.size(); ++i) {
    const tarnutil::geo::Feature& fa = a.features[i];
    const tarnutil::geo::Feature& fb = b.features[i];
    if (fa.hasGeometry != fb.hasGeometry) return false;
    if (!fa.hasGeometry) continue;
    if (fa.geometry.kind != fb.geometry.kind || fa.geometry.parts != fb.geometry.parts) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const tarnutil::geo::Format format =
      (data[0] & 1) != 0 ? tarnutil::geo::Format::Wkt : tarnutil::geo::Format::GeoJson;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  tarnutil::geo::FeatureCollection first;
  std::string error;
  if (!tarnutil::geo::ReadDocument(format, text, first, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  const std::string written = tarnutil::geo::WriteDocument(format, first);
  tarnutil::geo::FeatureCollection second;
  if (!tarnutil::geo::ReadDocument(format, written, second, error)) std::abort();
  if (!SameGeometry(first, second)) std::abort();
  if (format == tarnutil::geo::Format::GeoJson) {
    for (std::size_t i = 0; i < first.features.size(); ++i) {
      if (first.features[i].properties != second.features[i].properties) std::abort();
    }
  }
  return 0;
}
