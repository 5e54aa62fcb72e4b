// The Win32 file service reads disk files only: a device such as NUL (or a
// pipe, or the console) is refused when opened, as POSIX refuses a FIFO.
#include <windows.h>

#include <gtest/gtest.h>
#include <tarnutil/tarnutil.h>

#include "platform/platform.h"

namespace {

namespace platform = tarnutil::platform;

TEST(FileOpenRead, RefusesWhatIsNotADiskFile) {
  EXPECT_EQ(platform::FileOpenRead(L"NUL"), platform::FileInvalid());
  CDIB dib;
  EXPECT_EQ(dib.LoadFile(L"NUL"), 0);
  EXPECT_EQ(DIBRefusalReason(L"NUL", nullptr, 0, nullptr), tarnutilDibUnreadable);
}

}  // namespace
