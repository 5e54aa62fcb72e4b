// On Windows the resource compiler has put the bitmap into the program.
#include "tests/resources/test_bitmap.h"

namespace tarnutil {
namespace testing {

bool InstallTestBitmapResource() {
  return true;
}

}  // namespace testing
}  // namespace tarnutil
