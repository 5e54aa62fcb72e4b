// Pixel sweep shared by the bitmap targets: every pixel inside the reported
// geometry through all three pixel operations, and the edges just outside.
#ifndef TARNUTIL_FUZZ_DIB_SWEEP_H
#define TARNUTIL_FUZZ_DIB_SWEEP_H

#include <tarnutil/tarnutil.h>

namespace tarnutil {
namespace fuzz {

// Reads each pixel both ways and writes its index back. Past a million pixels (compressed bitmaps
// may claim any size) rows and columns are strided so a run stays short.
// With packedWhole (the header block holds the pixels too, as a pattern
// brush reads them) the bitmap's brush is made as well.
void SweepPixels(CDIB& dib, bool packedWhole);

}  // namespace fuzz
}  // namespace tarnutil

#endif  // TARNUTIL_FUZZ_DIB_SWEEP_H
