// Transparent blit: declared for applications in <tarnutil/tarnutil.h>. The
// colors the call leaves in the destination DC, for the tests.
#ifndef TARNUTIL_BITMAP_TRANSPARENT_BLT_H
#define TARNUTIL_BITMAP_TRANSPARENT_BLT_H

#include <cstdint>

namespace tarnutil {
namespace detail {

// The destination keeps its pixels where the mask is 1 only with a white
// background color and a black text color; TransparentBlt2 leaves them set.
constexpr std::uint32_t blitWhite = 0xFFFFFFu;
constexpr std::uint32_t blitBlack = 0x000000u;

}  // namespace detail
}  // namespace tarnutil

#endif  // TARNUTIL_BITMAP_TRANSPARENT_BLT_H
