// A small raster of the tool's own: lines with a round brush and even-odd
// polygon fill, drawn pixel by pixel into a 24-bit CDIB.
#ifndef TARNUTIL_TOOLS_RASTER_H
#define TARNUTIL_TOOLS_RASTER_H

#include <tarnutil/tarnutil.h>

#include <cstdint>
#include <vector>

namespace tarnutil {
namespace cli {

// A position in pixels with fractions; (0, 0) is the top left corner of the
// top left pixel, whose centre is (0.5, 0.5).
struct PixelPoint {
  double x;
  double y;
};

// Colours are 0xRRGGBB, which a 24-bit CDIB stores as blue, green, red bytes.
class Canvas {
 public:
  explicit Canvas(CDIB& dib);

  int Width() const { return width_; }
  int Height() const { return height_; }

  void Clear(std::uint32_t color);
  // Pixels outside the bitmap are left out.
  void Plot(int x, int y, std::uint32_t color);
  std::uint32_t Get(int x, int y) const;
  // Every pixel whose centre lies within radius of (cx, cy)'s centre.
  void Disc(int cx, int cy, int radius, std::uint32_t color);
  // A line of the given width (1 is a thin line) from pixel to pixel.
  void Line(int x0, int y0, int x1, int y1, int width, std::uint32_t color);
  // Consecutive points joined by lines.
  void Polyline(const std::vector<PixelPoint>& points, int width, std::uint32_t color);
  // Fills the pixels whose centres lie inside the polygon (even-odd rule);
  // the closing edge is implied.
  void FillPolygon(const std::vector<PixelPoint>& points, std::uint32_t color);

 private:
  // Offsets of the pixels a round brush of the given width covers.
  const std::vector<std::pair<int, int>>& Brush(int width);

  CDIB& dib_;
  int width_;
  int height_;
  std::vector<std::vector<std::pair<int, int>>> brushes_;
};

}  // namespace cli
}  // namespace tarnutil

#endif  // TARNUTIL_TOOLS_RASTER_H
