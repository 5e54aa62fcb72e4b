// TransparentBlt2 and the block-transfer conversions it stands on. Only the
// Windows-named graphics calls are used, so the same cases run against the
// system's GDI on Windows and against the software layer elsewhere, and both
// compare with the same checked-in pictures.
#include "bitmap/transparent_blt.h"

#include <gtest/gtest.h>
#include <tarnutil/tarnutil.h>

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace {

using tarnutil::detail::blitBlack;
using tarnutil::detail::blitWhite;
using tarnutil::platform::ropSourceAnd;
using tarnutil::platform::ropSourceCopy;
using tarnutil::platform::ropSourcePaint;

// One letter per color (red + green * 256 + blue * 65536) in the pictures,
// whose rows are separated by spaces. The eight corner colors of the color
// cube stay among themselves under AND and OR; n is magenta with the lowest
// blue bit cleared; '.' and '-' only ever appear in destinations.
struct PaletteEntry {
  char letter;
  std::uint32_t color;
};
constexpr PaletteEntry palette[] = {
    {'k', 0x000000u}, {'w', 0xFFFFFFu}, {'r', 0x0000FFu}, {'g', 0x00FF00u},
    {'b', 0xFF0000u}, {'y', 0x00FFFFu}, {'c', 0xFFFF00u}, {'m', 0xFF00FFu},
    {'n', 0xFE00FFu}, {'.', 0x406080u}, {'-', 0x80A0C0u},
};

std::uint32_t ColorOf(char letter) {
  for (const PaletteEntry& entry : palette) {
    if (entry.letter == letter) return entry.color;
  }
  ADD_FAILURE() << "no color for " << letter;
  return 0;
}

char LetterOf(std::uint32_t color) {
  for (const PaletteEntry& entry : palette) {
    if (entry.color == color) return entry.letter;
  }
  return '?';
}

// The picture of the top left width by height pixels of dc.
std::string PictureOf(HDC__* dc, int width, int height) {
  std::string picture;
  for (int y = 0; y < height; ++y) {
    if (y != 0) picture += ' ';
    for (int x = 0; x < width; ++x) {
      picture += LetterOf(static_cast<std::uint32_t>(GetPixel(dc, x, y)));
    }
  }
  return picture;
}

// A memory DC holding a bitmap of its own, 32-bit color or monochrome,
// painted from a picture.
class Canvas {
 public:
  Canvas(const std::string& picture, unsigned int bitCount = 32) {
    width_ = static_cast<int>(picture.find(' ') == std::string::npos ? picture.size()
                                                                     : picture.find(' '));
    height_ = static_cast<int>((picture.size() + 1) / static_cast<std::size_t>(width_ + 1));
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateBitmap(width_, height_, 1, bitCount, nullptr);
    old_ = SelectObject(dc_, bitmap_);
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) {
        const char letter = picture[static_cast<std::size_t>(y * (width_ + 1) + x)];
        SetPixel(dc_, x, y, ColorOf(letter));
      }
    }
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
    DeleteObject(bitmap_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  HDC__* dc() const { return dc_; }

  std::string Picture() const { return PictureOf(dc_, width_, height_); }

 private:
  int width_ = 0;
  int height_ = 0;
  HDC__* dc_ = nullptr;
  HBITMAP__* bitmap_ = nullptr;
  void* old_ = nullptr;
};

struct BlitScenario {
  const char* name;
  const char* source;
  int x, y, width, height;
  int srcX, srcY, srcWidth, srcHeight;
  char transparent;
  const char* expected;
};

// Every scenario draws onto this 8 by 6 destination.
constexpr const char* destinationPicture = ".-.-.-.- -.-.-.-. .-.-.-.- -.-.-.-. .-.-.-.- -.-.-.-.";

const BlitScenario scenarios[] = {
#include "bitmap/testdata/transparent_blt_expected.inc"
};

TEST(TransparentBlt2, DrawsCheckedInPictures) {
  for (const BlitScenario& s : scenarios) {
    SCOPED_TRACE(s.name);
    Canvas dst(destinationPicture);
    Canvas src(s.source);
    SetBkColor(dst.dc(), 0x123456u);
    SetTextColor(dst.dc(), 0x654321u);
    TransparentBlt2(dst.dc(), s.x, s.y, s.width, s.height, src.dc(), s.srcX, s.srcY, s.srcWidth,
                    s.srcHeight, ColorOf(s.transparent));
    EXPECT_EQ(dst.Picture(), s.expected);
    EXPECT_EQ(src.Picture(), s.source);
    EXPECT_EQ(GetBkColor(dst.dc()), blitWhite);
    EXPECT_EQ(GetTextColor(dst.dc()), blitBlack);
  }
}

TEST(TransparentBlt2, DrawsOntoItsOwnSource) {
  // Source and destination are one DC: the source is read before the
  // destination is written.
  Canvas canvas("rmgk wmmb kkkk");
  TransparentBlt2(canvas.dc(), 1, 1, 2, 2, canvas.dc(), 0, 0, 2, 2, ColorOf('m'));
  EXPECT_EQ(canvas.Picture(), "rmgk wrmb kwkk");
}

// Bits given at creation: monochrome rows padded to 16 bits, leftmost pixel
// in the top bit; 32-bit pixels blue, green, red and an unused byte.
TEST(CreateBitmap, TakesInitialRows) {
  const unsigned char monoBits[] = {0xA0, 0x00, 0x40, 0x00};
  const unsigned char colorBits[] = {0x00, 0x00, 0xFF, 0x77, 0xFF, 0xFF, 0x00, 0x00};
  struct Case {
    const char* name;
    int width, height;
    unsigned int bitCount;
    const void* bits;
    const char* expected;
  };
  const Case cases[] = {{"monochrome", 3, 2, 1, monoBits, "wkw kwk"},
                        {"32-bit", 2, 1, 32, colorBits, "rc"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HBITMAP__* bitmap = CreateBitmap(c.width, c.height, 1, c.bitCount, c.bits);
    ASSERT_NE(bitmap, nullptr);
    HDC__* dc = CreateCompatibleDC(nullptr);
    void* old = SelectObject(dc, bitmap);
    EXPECT_EQ(PictureOf(dc, c.width, c.height), c.expected);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
}

// Within one bitmap, every pixel is read before it is overwritten, whichever
// way the rectangles overlap.
TEST(BlockTransfer, OverlapWithinOneBitmap) {
  struct Case {
    const char* name;
    const char* picture;
    int x, y, width, height, srcX, srcY, srcWidth, srcHeight;
    const char* expected;
  };
  const Case cases[] = {
      {"rightwards", "rgbyc", 1, 0, 3, 1, 0, 0, 3, 1, "rrgbc"},
      {"leftwards", "rgbyc", 0, 0, 3, 1, 1, 0, 3, 1, "gbyyc"},
      {"down and right", "rgb ycm wkr", 1, 1, 2, 2, 0, 0, 2, 2, "rgb yrg wyc"},
      {"enlarged", "rgbyc", 0, 0, 4, 1, 0, 0, 2, 1, "rrggc"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Canvas canvas(c.picture);
    EXPECT_NE(StretchBlt(canvas.dc(), c.x, c.y, c.width, c.height, canvas.dc(), c.srcX, c.srcY,
                         c.srcWidth, c.srcHeight, ropSourceCopy),
              0);
    EXPECT_EQ(canvas.Picture(), c.expected);
  }
}

// Color to monochrome: the source DC's background color gives white, every
// other color black, n included; the source's text color plays no part.
TEST(BlitConversion, ColorToMonochromeByBackground) {
  Canvas src("mnkw rmgm");
  Canvas dst("kkkk kkkk", 1);
  SetBkColor(src.dc(), ColorOf('m'));
  SetTextColor(src.dc(), ColorOf('m'));
  EXPECT_NE(BitBlt(dst.dc(), 0, 0, 4, 2, src.dc(), 0, 0, ropSourceCopy), 0);
  EXPECT_EQ(dst.Picture(), "wkkk kwkw");
}

// Monochrome to color: 1 takes the destination DC's background color and
// 0 its text color; the source DC's colors play no part.
TEST(BlitConversion, MonochromeToColorByDestinationColors) {
  struct Case {
    const char* name;
    std::uint32_t rop;
    const char* expected;
  };
  const Case cases[] = {
      {"copy", ropSourceCopy, "rgrr ggrg"},
      {"and", ropSourceAnd, "rkrr ggrk"},
      {"or", ropSourcePaint, "ygrw gcyg"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Canvas src("wkww kkwk", 1);
    Canvas dst("ykrw gcyk");
    SetBkColor(src.dc(), ColorOf('b'));
    SetTextColor(src.dc(), ColorOf('c'));
    SetBkColor(dst.dc(), ColorOf('r'));
    SetTextColor(dst.dc(), ColorOf('g'));
    EXPECT_NE(BitBlt(dst.dc(), 0, 0, 4, 2, src.dc(), 0, 0, c.rop), 0);
    EXPECT_EQ(dst.Picture(), c.expected);
  }
}

// Color to color combines channel by channel.
TEST(BlitConversion, ColorRasterOperations) {
  struct Case {
    const char* name;
    std::uint32_t rop;
    const char* expected;
  };
  const Case cases[] = {
      {"copy", ropSourceCopy, "ymcw krgb"},
      {"and", ropSourceAnd, "rbkw kkgb"},
      {"or", ropSourcePaint, "wmww ywgm"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Canvas src("ymcw krgb");
    Canvas dst("mbrw ycgm");
    EXPECT_NE(BitBlt(dst.dc(), 0, 0, 4, 2, src.dc(), 0, 0, c.rop), 0);
    EXPECT_EQ(dst.Picture(), c.expected);
  }
}

// Shrinking ANDs the source pixels that meet in one destination pixel, in
// the destination's format: on monochrome, black wins.
TEST(BlitConversion, ShrinkingMergesWithAnd) {
  Canvas monoSrc("wwwk kwww wwww wwww", 1);
  Canvas monoDst("ww ww", 1);
  EXPECT_NE(StretchBlt(monoDst.dc(), 0, 0, 2, 2, monoSrc.dc(), 0, 0, 4, 4, ropSourceCopy), 0);
  EXPECT_EQ(monoDst.Picture(), "kk ww");

  Canvas colorSrc("ycmw");
  Canvas colorDst("kk");
  EXPECT_NE(StretchBlt(colorDst.dc(), 0, 0, 2, 1, colorSrc.dc(), 0, 0, 4, 1, ropSourceCopy), 0);
  EXPECT_EQ(colorDst.Picture(), "gm");
}

// A memory DC's first bitmap is monochrome, and so is a bitmap made
// compatible with it; a bitmap compatible with a color DC is color.
TEST(BlitConversion, CompatibleBitmapTakesTheSelectedFormat) {
  struct Case {
    const char* name;
    bool colorDc;
    const char* expected;
  };
  const Case cases[] = {{"fresh DC", false, "kww"}, {"color DC", true, "rwy"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Canvas color("kkk");
    HDC__* fresh = CreateCompatibleDC(nullptr);
    HBITMAP__* bitmap = CreateCompatibleBitmap(c.colorDc ? color.dc() : fresh, 3, 1);
    ASSERT_NE(bitmap, nullptr);
    HDC__* dc = CreateCompatibleDC(nullptr);
    void* old = SelectObject(dc, bitmap);
    SetPixel(dc, 0, 0, ColorOf('r'));
    SetPixel(dc, 1, 0, ColorOf('w'));
    SetPixel(dc, 2, 0, ColorOf('y'));
    EXPECT_EQ(PictureOf(dc, 3, 1), c.expected);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteDC(fresh);
    EXPECT_NE(DeleteObject(bitmap), 0);
  }
}

}  // namespace
