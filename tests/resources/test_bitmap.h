// The test bitmap resource. A test program built with
// tarnutil_add_test_bitmap_resource finds it among its own bitmap resources
// (module null: the program itself) under the name TESTBMP and the id 101,
// once InstallTestBitmapResource has run.
#ifndef TARNUTIL_TESTS_RESOURCES_TEST_BITMAP_H
#define TARNUTIL_TESTS_RESOURCES_TEST_BITMAP_H

#include <cstddef>
#include <cstdint>

namespace tarnutil {
namespace testing {

// The bitmap file: a 14-byte file header, then the packed bitmap that the
// resource holds (see make_test_bitmap.py for its pixels).
extern const unsigned char testBitmapFile[];
extern const std::size_t testBitmapFileBytes;
constexpr std::size_t testBitmapFileHeaderBytes = 14;
constexpr std::uint16_t testBitmapId = 101;

// Makes the bitmap a resource of the program: the resource compiler has
// put it there on Windows; elsewhere it is registered on the first call.
// False if that failed.
bool InstallTestBitmapResource();

}  // namespace testing
}  // namespace tarnutil

#endif  // TARNUTIL_TESTS_RESOURCES_TEST_BITMAP_H
