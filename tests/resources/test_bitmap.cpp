#include "tests/resources/test_bitmap.h"

namespace tarnutil {
namespace testing {

const unsigned char testBitmapFile[] = {
#include "test_bitmap.inc"
};
const std::size_t testBitmapFileBytes = sizeof testBitmapFile;

}  // namespace testing
}  // namespace tarnutil
