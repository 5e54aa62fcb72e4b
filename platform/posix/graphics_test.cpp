// The software graphics layer: what only it has (bitmaps over caller
// pixels, the stretch sampling, pattern-brush sizes) and its object rules.
// The behaviour it shares with GDI is tested on both builds beside
// TransparentBlt2.
#include <gtest/gtest.h>
#include <tarnutil/tarnutil.h>

#include <climits>
#include <cstdint>
#include <cstring>

#include "platform/platform.h"
#include "platform/posix/graphics_internal.h"

namespace {

using tarnutil::detail::AxisRun;
using tarnutil::detail::PackedDibBytes;
using tarnutil::detail::StretchRun;
using tarnutil::platform::ropSourceCopy;

constexpr std::uint32_t invalidColor = 0xFFFFFFFFu;

// Along one axis, shrinking sends every source pixel to exactly one
// destination pixel, in order; enlarging repeats every source pixel, in
// order. Both start at the first pixel and end at the last.
TEST(StretchRun, CoversTheSourceInOrder) {
  for (std::int64_t src = 1; src <= 40; ++src) {
    for (std::int64_t dst = 1; dst <= 40; ++dst) {
      SCOPED_TRACE(testing::Message() << src << " to " << dst);
      std::int64_t next = 0;
      for (std::int64_t i = 0; i < dst; ++i) {
        const AxisRun run = StretchRun(src, dst, i);
        ASSERT_LT(run.first, run.last);
        if (src > dst) {
          ASSERT_EQ(run.first, next);
        } else {
          ASSERT_EQ(run.last - run.first, 1);
          ASSERT_TRUE(run.first == next || run.first + 1 == next) << i;
        }
        next = run.last;
      }
      EXPECT_EQ(next, src);
    }
  }
}

TEST(StretchRun, LongestAxesStayInRange) {
  constexpr std::int64_t longest = INT_MAX;
  struct Case {
    std::int64_t src, dst, index;
    AxisRun expected;
  };
  const Case cases[] = {
      {longest, 1, 0, {0, longest}},
      {longest, 2, 1, {1073741824, longest}},
      {1, longest, longest - 1, {0, 1}},
      {2, longest, longest - 1, {1, 2}},
      {longest, longest, longest - 1, {longest - 1, longest}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.src << " to " << c.dst << " at " << c.index);
    const AxisRun run = StretchRun(c.src, c.dst, c.index);
    EXPECT_EQ(run.first, c.expected.first);
    EXPECT_EQ(run.last, c.expected.last);
  }
}

// A memory DC with a bitmap selected; at the end of the scope the DC goes,
// then the bitmap.
class Selected {
 public:
  explicit Selected(HBITMAP__* bitmap)
      : bitmap_(bitmap), dc_(CreateCompatibleDC(nullptr)), old_(SelectObject(dc_, bitmap)) {}
  ~Selected() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
    EXPECT_NE(DeleteObject(bitmap_), 0);
  }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;
  HDC__* dc() const { return dc_; }

 private:
  HBITMAP__* bitmap_;
  HDC__* dc_;
  void* old_;
};

// A bottom-up 24-bit block as a CDIB holds it: rows of 3 pixels padded to 12
// bytes, the top row last in memory.
TEST(CreateBitmapOverPixels, BottomUpRowsServeAsSourceAndTarget) {
  constexpr int rowBytes = 12;
  unsigned char pixels[2 * rowBytes];
  std::memset(pixels, 0xAA, sizeof pixels);
  Selected target(CreateBitmapOverPixels(3, 2, 24, pixels + rowBytes, -rowBytes));
  EXPECT_EQ(SetPixel(target.dc(), 0, 0, 0x332211u), 0x332211u);
  EXPECT_EQ(SetPixel(target.dc(), 2, 1, 0x0000FFu), 0x0000FFu);
  const unsigned char topLeft[] = {0x33, 0x22, 0x11};
  const unsigned char bottomRight[] = {0x00, 0x00, 0xFF};
  EXPECT_EQ(std::memcmp(pixels + rowBytes, topLeft, 3), 0);
  EXPECT_EQ(std::memcmp(pixels + 6, bottomRight, 3), 0);

  // Green, then transparent magenta, stretched to 3 by 2; the padding is
  // never touched.
  Selected src(CreateBitmap(2, 1, 1, 32, nullptr));
  SetPixel(src.dc(), 0, 0, 0x00FF00u);
  SetPixel(src.dc(), 1, 0, 0xFF00FFu);
  TransparentBlt2(target.dc(), 0, 0, 3, 2, src.dc(), 0, 0, 2, 1, 0xFF00FFu);
  const std::uint32_t expected[2][3] = {{0x00FF00u, 0x00FF00u, 0xAAAAAAu},
                                        {0x00FF00u, 0x00FF00u, 0x0000FFu}};
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(GetPixel(target.dc(), x, y), expected[y][x]) << x << "," << y;
    }
    EXPECT_EQ(pixels[y * rowBytes + 9], 0xAA);
    EXPECT_EQ(pixels[y * rowBytes + 11], 0xAA);
  }
  // Read back as a source, into a bitmap of its format.
  Selected copy(CreateCompatibleBitmap(target.dc(), 3, 2));
  EXPECT_NE(BitBlt(copy.dc(), 0, 0, 3, 2, target.dc(), 0, 0, ropSourceCopy), 0);
  EXPECT_EQ(GetPixel(copy.dc(), 1, 0), 0x00FF00u);
  EXPECT_EQ(GetPixel(copy.dc(), 2, 1), 0x0000FFu);
}

// Sizes below 1 make no objects; the transfers then refuse to work, and
// nothing is drawn or left behind.
TEST(CreateBitmapOverPixels, TransparentBlitOfNoSizeDrawsNothing) {
  struct Case {
    int width, height, srcWidth, srcHeight;
  };
  const Case cases[] = {{0, 2, 0, 2}, {-2, 2, -2, 2}, {2, -1, 2, 1}, {2, 2, 0, 2}};
  std::uint32_t pixels[4] = {0x00FF0000u, 0x00FF0000u, 0x00FF0000u, 0x00FF0000u};
  Selected target(CreateBitmapOverPixels(2, 2, 32, pixels, 8));
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " by " << c.height);
    TransparentBlt2(target.dc(), 0, 0, c.width, c.height, target.dc(), 1, 1, c.srcWidth,
                    c.srcHeight, 0u);
    for (std::uint32_t pixel : pixels) EXPECT_EQ(pixel, 0x00FF0000u);
  }
}

// 5-6-5 pixels widen by repeating their top bits, and the widened color
// narrows back to the same pixel; other colors lose their low bits.
TEST(CreateBitmapOverPixels, SixteenBitPixels) {
  struct Case {
    std::uint16_t stored;
    std::uint32_t read;
  };
  const Case reads[] = {{0xF800u, 0x0000FFu}, {0x07E0u, 0x00FF00u}, {0x001Fu, 0xFF0000u},
                        {0x8410u, 0x848284u}, {0x0821u, 0x080408u}, {0xFFFFu, 0xFFFFFFu}};
  std::uint16_t pixel = 0;
  Selected bitmap(CreateBitmapOverPixels(1, 1, 16, &pixel, 2));
  for (const Case& c : reads) {
    SCOPED_TRACE(c.stored);
    pixel = c.stored;
    EXPECT_EQ(GetPixel(bitmap.dc(), 0, 0), c.read);
    pixel = 0;
    EXPECT_EQ(SetPixel(bitmap.dc(), 0, 0, c.read), c.read);
    EXPECT_EQ(pixel, c.stored);
  }
  EXPECT_EQ(SetPixel(bitmap.dc(), 0, 0, 0x123456u), 0x103452u);
  EXPECT_EQ(pixel, 0x51A2u);
}

// Color to monochrome compares in the source's format: a 16-bit red pixel
// matches every background color that narrows to it.
TEST(CreateBitmapOverPixels, MonochromeMaskFromSixteenBits) {
  std::uint16_t pixels[2] = {0xF800u, 0xF820u};
  Selected src(CreateBitmapOverPixels(2, 1, 16, pixels, 4));
  Selected mask(CreateBitmap(2, 1, 1, 1, nullptr));
  SetBkColor(src.dc(), 0x0003FCu);
  EXPECT_NE(BitBlt(mask.dc(), 0, 0, 2, 1, src.dc(), 0, 0, ropSourceCopy), 0);
  EXPECT_EQ(GetPixel(mask.dc(), 0, 0), 0xFFFFFFu);
  EXPECT_EQ(GetPixel(mask.dc(), 1, 0), 0x000000u);
}

// The fourth byte of a 32-bit pixel is neither read nor written.
TEST(CreateBitmapOverPixels, FourthByteLeftAlone) {
  unsigned char pixel[4] = {0x10, 0x20, 0x30, 0x5A};
  Selected bitmap(CreateBitmapOverPixels(1, 1, 32, pixel, 4));
  EXPECT_EQ(GetPixel(bitmap.dc(), 0, 0), 0x102030u);
  SetPixel(bitmap.dc(), 0, 0, 0x445566u);
  const unsigned char expected[] = {0x44, 0x55, 0x66, 0x5A};
  EXPECT_EQ(std::memcmp(pixel, expected, 4), 0);
}

TEST(SoftwareGraphics, RefusesWhatItCannotDo) {
  unsigned char pixels[64] = {};
  EXPECT_EQ(CreateBitmap(2, 2, 2, 1, nullptr), nullptr);
  EXPECT_EQ(CreateBitmap(2, 2, 1, 24, nullptr), nullptr);
  EXPECT_EQ(CreateBitmap(0, 2, 1, 32, nullptr), nullptr);
  EXPECT_EQ(CreateBitmap(2, -1, 1, 1, nullptr), nullptr);
  EXPECT_EQ(CreateBitmap(50000, 50000, 1, 32, nullptr), nullptr);
  EXPECT_EQ(CreateBitmapOverPixels(2, 2, 8, pixels, 4), nullptr);
  EXPECT_EQ(CreateBitmapOverPixels(2, 2, 24, nullptr, 8), nullptr);
  EXPECT_EQ(CreateBitmapOverPixels(3, 2, 24, pixels, -8), nullptr);

  HDC__* dc = CreateCompatibleDC(nullptr);
  HBITMAP__* bitmap = CreateCompatibleBitmap(nullptr, 2, 2);
  EXPECT_EQ(CreateCompatibleDC(reinterpret_cast<HDC__*>(bitmap)), nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(dc, 0, 1), nullptr);
  void* stock = SelectObject(dc, bitmap);
  // 0x00330008 inverts the source: not one of the three operations.
  EXPECT_EQ(BitBlt(dc, 0, 0, 2, 2, dc, 0, 0, 0x00330008u), 0);
  EXPECT_EQ(BitBlt(nullptr, 0, 0, 2, 2, dc, 0, 0, ropSourceCopy), 0);
  EXPECT_EQ(BitBlt(dc, 0, 0, 0, 2, dc, 0, 0, ropSourceCopy), 0);
  EXPECT_EQ(StretchBlt(dc, 0, 0, 2, 2, dc, 0, 0, -2, 2, ropSourceCopy), 0);
  EXPECT_EQ(GetPixel(dc, 2, 0), invalidColor);
  EXPECT_EQ(SetPixel(dc, 0, -1, 0), invalidColor);
  EXPECT_EQ(SetBkColor(nullptr, 0), invalidColor);
  EXPECT_EQ(GetTextColor(reinterpret_cast<HDC__*>(bitmap)), invalidColor);
  EXPECT_EQ(DeleteDC(reinterpret_cast<HDC__*>(bitmap)), 0);
  EXPECT_EQ(DeleteObject(dc), 0);
  EXPECT_EQ(DeleteObject(nullptr), 0);
  SelectObject(dc, stock);
  DeleteDC(dc);
  DeleteObject(bitmap);
}

// Pixels outside either bitmap are not drawn.
TEST(SoftwareGraphics, ClipsToBothBitmaps) {
  Selected src(CreateCompatibleBitmap(nullptr, 2, 2));
  Selected dst(CreateCompatibleBitmap(nullptr, 3, 3));
  for (int i = 0; i < 4; ++i) SetPixel(src.dc(), i % 2, i / 2, 0x0000FFu);
  EXPECT_NE(BitBlt(dst.dc(), -1, 1, 3, 3, src.dc(), 0, 0, ropSourceCopy), 0);
  const std::uint32_t expected[3][3] = {{0, 0, 0}, {0x0000FFu, 0, 0}, {0x0000FFu, 0, 0}};
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 3; ++x) EXPECT_EQ(GetPixel(dst.dc(), x, y), expected[y][x]) << x << y;
  }
}

// A DC starts with the shared 1 by 1 black stock bitmap, which ignores
// writes; a bitmap serves one DC at a time; selected objects stay alive.
TEST(SoftwareGraphics, SelectionRules) {
  HDC__* first = CreateCompatibleDC(nullptr);
  HDC__* second = CreateCompatibleDC(first);
  EXPECT_EQ(GetPixel(first, 0, 0), 0u);
  EXPECT_EQ(GetPixel(first, 1, 0), invalidColor);
  EXPECT_EQ(SetPixel(first, 0, 0, 0xFFFFFFu), invalidColor);
  EXPECT_EQ(GetBkColor(first), 0xFFFFFFu);
  EXPECT_EQ(GetTextColor(first), 0u);

  HBITMAP__* bitmap = CreateCompatibleBitmap(nullptr, 1, 1);
  void* stock = SelectObject(first, bitmap);
  ASSERT_NE(stock, nullptr);
  EXPECT_EQ(SelectObject(second, bitmap), nullptr);
  EXPECT_EQ(DeleteObject(bitmap), 0);
  EXPECT_EQ(SelectObject(second, stock), stock);
  EXPECT_EQ(DeleteObject(stock), 1);
  EXPECT_EQ(GetPixel(second, 0, 0), 0u);
  EXPECT_EQ(SelectObject(first, stock), bitmap);
  EXPECT_EQ(SelectObject(second, bitmap), stock);
  EXPECT_EQ(DeleteDC(second), 1);
  EXPECT_EQ(DeleteObject(bitmap), 1);
  EXPECT_EQ(DeleteDC(first), 1);
}

TEST(PackedDibBytes, SizesEachPart) {
  struct Case {
    const char* name;
    std::uint32_t headerBytes;
    std::int32_t width, height;
    std::uint16_t planes, bitCount;
    std::uint32_t compression, imageBytes, colorsUsed;
    unsigned int usage;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {"8 bits, full table", 40, 3, 2, 1, 8, 0, 0, 0, 0, 40 + 1024 + 8},
      {"8 bits, palette indices", 40, 3, 2, 1, 8, 0, 0, 0, 1, 40 + 512 + 8},
      {"4 bits, table capped", 40, 3, 1, 1, 4, 0, 0, 1000, 0, 40 + 64 + 4},
      {"24 bits top-down", 40, 3, -2, 1, 24, 0, 0, 0, 0, 40 + 24},
      {"16 bits with masks", 40, 2, 1, 1, 16, 3, 0, 0, 0, 40 + 12 + 4},
      {"masks inside a longer header", 108, 2, 1, 1, 32, 3, 0, 0, 0, 108 + 8},
      {"core header", 12, 33, 2, 1, 1, 0, 0, 0, 0, 12 + 6 + 16},
      {"run-length 8", 40, 5, 5, 1, 8, 1, 10, 2, 0, 40 + 8 + 10},
      {"run-length without size", 40, 5, 5, 1, 8, 1, 0, 2, 0, 0},
      {"unknown header", 20, 1, 1, 1, 8, 0, 0, 0, 0, 0},
      {"3 bits", 40, 1, 1, 1, 3, 0, 0, 0, 0, 0},
      {"width 0", 40, 0, 1, 1, 8, 0, 0, 0, 0, 0},
      {"height 0", 40, 1, 0, 1, 8, 0, 0, 0, 0, 0},
      {"2 planes", 40, 1, 1, 2, 8, 0, 0, 0, 0, 0},
      {"usage 2", 40, 1, 1, 1, 8, 0, 0, 0, 2, 0},
      {"masks on 24 bits", 40, 1, 1, 1, 24, 3, 0, 0, 0, 0},
      {"compressed 4 bits as 8", 40, 1, 1, 1, 8, 2, 10, 0, 0, 0},
      {"too large", 40, INT_MAX, INT_MAX, 1, 32, 0, 0, 0, 0, 0},
      {"height INT_MIN", 40, 1, INT_MIN, 1, 32, 0, 0, 0, 0, 0},
      {"colors used past any size", 40, 1, 1, 1, 24, 0, 0, 0xFFFFFFFFu, 0, 0},
      {"everything at its largest", 40, INT_MAX, INT_MIN, 1, 32, 0, 0, 0xFFFFFFFFu, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Room for the longest header, whose masks the parse reads.
    unsigned char header[124] = {};
    std::memcpy(header, &c.headerBytes, 4);
    if (c.headerBytes == 12) {
      const std::uint16_t core[] = {static_cast<std::uint16_t>(c.width),
                                    static_cast<std::uint16_t>(c.height), c.planes, c.bitCount};
      std::memcpy(header + 4, core, sizeof core);
    } else {
      std::memcpy(header + 4, &c.width, 4);
      std::memcpy(header + 8, &c.height, 4);
      std::memcpy(header + 12, &c.planes, 2);
      std::memcpy(header + 14, &c.bitCount, 2);
      std::memcpy(header + 16, &c.compression, 4);
      std::memcpy(header + 20, &c.imageBytes, 4);
      std::memcpy(header + 32, &c.colorsUsed, 4);
    }
    EXPECT_EQ(PackedDibBytes(header, c.usage), c.expected);
  }
  EXPECT_EQ(PackedDibBytes(nullptr, 0), 0u);
}

// The brush holds its own copy, and outlives neither a deletion nor a DC.
TEST(CreateDIBPatternBrushPt, CopiesThePackedBitmap) {
  unsigned char packed[40 + 8 + 8] = {40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 1, 0};
  for (std::size_t i = 40; i < sizeof packed; ++i) packed[i] = static_cast<unsigned char>(i);
  HBRUSH__* brush = CreateDIBPatternBrushPt(packed, 0);
  ASSERT_NE(brush, nullptr);
  ASSERT_EQ(brush->bytes, sizeof packed);
  EXPECT_NE(brush->packedDib, packed);
  EXPECT_EQ(std::memcmp(brush->packedDib, packed, sizeof packed), 0);
  EXPECT_EQ(CreateDIBPatternBrushPt(packed, 5), nullptr);

  HDC__* dc = CreateCompatibleDC(nullptr);
  void* stock = SelectObject(dc, brush);
  ASSERT_NE(stock, nullptr);
  EXPECT_EQ(DeleteObject(brush), 0);
  EXPECT_EQ(DeleteDC(dc), 1);
  EXPECT_EQ(DeleteObject(brush), 1);
}

}  // namespace
