#include "tools/raster.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace tarnutil {
namespace cli {

namespace {

// Far enough past any bitmap edge that a line's walk still runs the right
// way, near enough that the walk stays short and the cast defined.
constexpr double pixelReach = 1.0e6;

int ToPixel(double v) {
  return static_cast<int>(std::floor(std::min(std::max(v, -pixelReach), pixelReach)));
}

}  // namespace

Canvas::Canvas(CDIB& dib) : dib_(dib), width_(dib.GetWidth()), height_(dib.GetHeight()) {}

void Canvas::Clear(std::uint32_t color) {
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      dib_.SetPixelIndex(x, y, color);
    }
  }
}

void Canvas::Plot(int x, int y, std::uint32_t color) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) {
    return;
  }
  dib_.SetPixelIndex(x, y, color);
}

std::uint32_t Canvas::Get(int x, int y) const { return dib_.GetRGBValue(x, y); }

void Canvas::Disc(int cx, int cy, int radius, std::uint32_t color) {
  // r * r + r rounds the circle outward by half a pixel, so small discs
  // come out round rather than as plus signs.
  const int limit = radius * radius + radius;
  for (int dy = -radius; dy <= radius; ++dy) {
    for (int dx = -radius; dx <= radius; ++dx) {
      if (dx * dx + dy * dy <= limit) {
        Plot(cx + dx, cy + dy, color);
      }
    }
  }
}

const std::vector<std::pair<int, int>>& Canvas::Brush(int width) {
  if (brushes_.size() <= static_cast<std::size_t>(width)) {
    brushes_.resize(static_cast<std::size_t>(width) + 1);
  }
  std::vector<std::pair<int, int>>& brush = brushes_[static_cast<std::size_t>(width)];
  if (brush.empty()) {
    // Offsets measured in half pixels, so that even widths centre between
    // pixels: an offset d lies at 2d + 1 - width half pixels from the
    // brush's centre.
    const int reach = width * width;
    for (int dy = 0; dy < width; ++dy) {
      for (int dx = 0; dx < width; ++dx) {
        const int hx = 2 * dx + 1 - width;
        const int hy = 2 * dy + 1 - width;
        if (hx * hx + hy * hy <= reach) {
          brush.emplace_back(dx - width / 2, dy - width / 2);
        }
      }
    }
  }
  return brush;
}

void Canvas::Line(int x0, int y0, int x1, int y1, int width, std::uint32_t color) {
  const std::vector<std::pair<int, int>>& brush = Brush(std::max(width, 1));
  // Bresenham's walk; each step stamps the brush.
  const int dx = std::abs(x1 - x0);
  const int dy = -std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1;
  const int sy = y0 < y1 ? 1 : -1;
  int err = dx + dy;
  int x = x0;
  int y = y0;
  for (;;) {
    for (const std::pair<int, int>& o : brush) {
      Plot(x + o.first, y + o.second, color);
    }
    if (x == x1 && y == y1) {
      return;
    }
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

void Canvas::Polyline(const std::vector<PixelPoint>& points, int width, std::uint32_t color) {
  for (std::size_t i = 1; i < points.size(); ++i) {
    Line(ToPixel(points[i - 1].x), ToPixel(points[i - 1].y), ToPixel(points[i].x),
         ToPixel(points[i].y), width, color);
  }
}

void Canvas::FillPolygon(const std::vector<PixelPoint>& points, std::uint32_t color) {
  const std::size_t n = points.size();
  if (n < 3) {
    return;
  }
  std::vector<double> crossings;
  for (int y = 0; y < height_; ++y) {
    const double yc = y + 0.5;
    crossings.clear();
    for (std::size_t i = 0; i < n; ++i) {
      const PixelPoint& a = points[i];
      const PixelPoint& b = points[(i + 1) % n];
      // Half-open in y, so a vertex on the scan line counts once.
      if ((a.y <= yc && yc < b.y) || (b.y <= yc && yc < a.y)) {
        crossings.push_back(a.x + (yc - a.y) * (b.x - a.x) / (b.y - a.y));
      }
    }
    std::sort(crossings.begin(), crossings.end());
    for (std::size_t k = 0; k + 1 < crossings.size(); k += 2) {
      // Pixels whose centre x + 0.5 lies in [from, to).
      const int first = std::max(0, ToPixel(std::ceil(crossings[k] - 0.5)));
      const int last = std::min(width_ - 1, ToPixel(std::ceil(crossings[k + 1] - 0.5)) - 1);
      for (int x = first; x <= last; ++x) {
        dib_.SetPixelIndex(x, y, color);
      }
    }
  }
}

}  // namespace cli
}  // namespace tarnutil
