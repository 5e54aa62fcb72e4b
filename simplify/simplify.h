// Internals of polyline thinning: the farthest-point splitting of one index
// range and the allocator hook for the keep flags.
#ifndef TARNUTIL_SIMPLIFY_SIMPLIFY_H
#define TARNUTIL_SIMPLIFY_SIMPLIFY_H

#include <tarnutil/platform_types.h>

#include <cstddef>

namespace tarnutil {
namespace detail {

// Sets keep[i] = 1 for each index strictly between first and last that the
// farthest-point split keeps: a point survives when its squared deviation is
// greater than threshold. Never clears a flag. Flags must be 0 or 1 on entry.
// Runs without recursion, in constant extra memory, however deep the splits
// nest.
void SimplifyRange(float threshold, const tagPOINT* points, int* keep, int first, int last);

// Allocates the keep flags of PolySimplifyInt2D: returns memory that
// std::free releases, or null. Defaults to std::malloc; tests swap it to
// reach the failure path.
using KeepAllocator = void* (*)(std::size_t bytes);
extern KeepAllocator keepAllocator;

}  // namespace detail
}  // namespace tarnutil

#endif  // TARNUTIL_SIMPLIFY_SIMPLIFY_H
