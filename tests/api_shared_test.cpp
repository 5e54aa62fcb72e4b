// Uses only what an application sees: the installed umbrella header and the
// shared library, so a missing export or a mismatched signature fails here.
#include <tarnutil/tarnutil.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <list>
#include <string>

namespace {

TEST(SharedLibrary, MeasuresAndClippingAreReachable) {
  EXPECT_EQ(Distance(0, 0, 3, 4), 5.0);
  tagPOINT from{0, 0};
  tagPOINT to{-10, -10};
  std::int32_t angle = -1;
  EXPECT_EQ(ComputeSegmentAngle(&from, &to, &angle), 1);
  EXPECT_EQ(angle, 226);
  EXPECT_EQ(SIN(90), 1.0f);

  tagPOINT line[] = {{-50, 50}, {50, 50}, {150, 50}};
  tagPOINT out[4];
  int totals[2];
  tagPOINT lo{0, 0};
  tagPOINT hi{100, 100};
  ASSERT_EQ(RectClipLine(line, 3, out, totals, &lo, &hi), 1);
  EXPECT_EQ(totals[0], 3);
  EXPECT_EQ(out[0].x, 0);
  EXPECT_EQ(out[2].x, 100);

  tagRECT rect{0, 100, 100, 0};
  tagPOINT square[] = {{50, 50}, {150, 50}, {150, 150}, {50, 150}};
  tagPOINT clipped[16];
  EXPECT_EQ(clipGraph(&rect, square, 4, clipped, 0), 4);
}

TEST(SharedLibrary, ChainingAndAllocatorsShareTheApplicationsHeap) {
  ST_NODE p{1, 1};
  ST_NODE q{2, 2};
  ST_NODE r{3, 3};
  std::list<std::deque<ST_LINK*>*> lines;
  AddToLineList(new ST_LINK{1, 1, &p, &q}, lines);
  AddToLineList(new ST_LINK{2, 1, &r, &q}, lines);
  ASSERT_EQ(lines.size(), 1u);
  ASSERT_EQ(lines.front()->size(), 2u);
  EXPECT_EQ(lines.front()->back()->direction, -1);
  ClearLineList(&lines);
  EXPECT_TRUE(lines.empty());

  void* small = smalloc(8);
  void* huge = hmalloc(5000);
  ASSERT_NE(small, nullptr);
  ASSERT_NE(huge, nullptr);
  static_cast<char*>(huge)[4999] = 1;
  sfree(small);
  hfree(huge);
}

TEST(SharedLibrary, GeodesyIsReachable) {
  double x = 1.0;
  double y = 1.0;
  Lambert_Projct_LL2XY(8985600.0, 3456000.0, x, y);
  EXPECT_EQ(x, 0.0);
  double bearing = -1.0;
  double distance = -1.0;
  LLDistance(10022400.0, 3369600.0, 10022400.0, 3369600.0, &bearing, &distance);
  EXPECT_EQ(bearing, 0.0);
  EXPECT_EQ(distance, 0.0);
  tagPOINT pts[] = {{0, 0}, {5, 3}, {10, 0}};
  int kept = 0;
  PolySimplifyInt2D(16.0f, pts, 3, &kept);
  EXPECT_EQ(kept, 3);
}

// The loaded library reports the version these headers were generated
// with, and the string agrees with the three numbers.
TEST(SharedLibrary, VersionMatchesTheHeaders) {
  ASSERT_NE(TarnUtilVersion(), nullptr);
  EXPECT_STREQ(TarnUtilVersion(), TARNUTIL_VERSION_STRING);
  char composed[32];
  std::snprintf(composed, sizeof composed, "%d.%d.%d", TARNUTIL_VERSION_MAJOR,
                TARNUTIL_VERSION_MINOR, TARNUTIL_VERSION_PATCH);
  EXPECT_EQ(std::string(TarnUtilVersion()), composed);
}

}  // namespace
