// The farthest-point scan of one index range, the step that the splitting
// of PolySimplifyInt2D repeats, and the squared deviation it measures.
#ifndef TARNUTIL_SIMPLIFY_FARTHEST_SCAN_H
#define TARNUTIL_SIMPLIFY_FARTHEST_SCAN_H

#include <tarnutil/platform_types.h>

namespace tarnutil {
namespace detail {

// Squared distance from p to the chord a->b, measured to the chord's end
// point when the projection falls outside it and otherwise to the foot of
// the perpendicular truncated to integers. Exact for any coordinates: the
// squared deviation (below 2^65) is computed in full and rounded to double
// once.
double SquaredDeviation(const tagPOINT& p, const tagPOINT& a, const tagPOINT& b);

// What one look at a whole range tells about every range inside it.
struct RangeShape {
  // Every coordinate difference stays within plainExtent in both axes.
  bool plain;
  // No two neighbouring points lie farther apart than this (0: none apart).
  double stepBound;
};

RangeShape ShapeOf(const tagPOINT* points, int first, int last);

// Index of the point strictly between first and last that lies farthest
// from their chord, or -1 when the range is not split: no point between,
// coinciding ends, or no deviation greater than threshold. Ties go to the
// lowest index, and a deviation of 0 is never chosen. shape is that of the
// range or of one holding it.
int FarthestAbove(float threshold, const tagPOINT* points, int first, int last,
                  const RangeShape& shape);

}  // namespace detail
}  // namespace tarnutil

#endif  // TARNUTIL_SIMPLIFY_FARTHEST_SCAN_H
