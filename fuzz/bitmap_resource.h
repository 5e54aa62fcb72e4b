// A bitmap resource for the load target: registered at run time where the
// platform lets a program add one, absent where resources are compiled into
// the module.
#ifndef TARNUTIL_FUZZ_BITMAP_RESOURCE_H
#define TARNUTIL_FUZZ_BITMAP_RESOURCE_H

#include <tarnutil/tarnutil.h>

#include <cstdint>

namespace tarnutil {
namespace fuzz {

// Makes the packed bitmap findable as name in the null module; false where
// that cannot be done.
bool RegisterSampleBitmap(const wchar_t* name, const void* packedDib, std::uint32_t bytes);

// Drops the newest registration of name in the null module, releasing its
// bytes; no bitmap may still use them.
void DropSampleBitmap(const wchar_t* name);

}  // namespace fuzz
}  // namespace tarnutil

#endif  // TARNUTIL_FUZZ_BITMAP_RESOURCE_H
