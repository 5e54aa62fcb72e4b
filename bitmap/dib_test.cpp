#include "bitmap/dib.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/resources/test_bitmap.h"

namespace {

using tarnutil::detail::DibProbe;
using Bytes = std::vector<unsigned char>;

constexpr std::uint32_t outside = 0xFFFFFFFFu;
constexpr std::int32_t int32Min = std::numeric_limits<std::int32_t>::min();

void Put16(Bytes& b, std::size_t at, std::uint32_t v) {
  b[at] = static_cast<unsigned char>(v);
  b[at + 1] = static_cast<unsigned char>(v >> 8);
}
void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  Put16(b, at, v);
  Put16(b, at + 2, v >> 16);
}

// Fields of a 40-byte header: 3 by 2 at 24 bits unless changed.
Bytes With32(Bytes b, std::size_t at, std::uint32_t v) {
  Put32(b, at, v);
  return b;
}

struct Info {
  std::int32_t width = 3;
  std::int32_t height = 2;
  std::uint32_t planes = 1;
  std::uint32_t bitCount = 24;
  std::uint32_t compression = 0;
  std::uint32_t imageSize = 0;
  std::uint32_t colorsUsed = 0;
  std::uint32_t colorsImportant = 0;

  Info& Size(std::int32_t w, std::int32_t h) {
    width = w;
    height = h;
    return *this;
  }
  Info& Bits(std::uint32_t bits, std::uint32_t compressionValue = 0) {
    bitCount = bits;
    compression = compressionValue;
    return *this;
  }
  Info& Planes(std::uint32_t count) {
    planes = count;
    return *this;
  }
  Info& Colors(std::uint32_t used, std::uint32_t important = 0) {
    colorsUsed = used;
    colorsImportant = important;
    return *this;
  }
  Info& Image(std::uint32_t bytes) {
    imageSize = bytes;
    return *this;
  }
};

// A packed bitmap: the 40-byte header, then tail bytes (masks, table and
// pixels), all zero unless set later.
Bytes InfoBlock(const Info& h, std::size_t tail) {
  Bytes b(40 + tail, 0);
  Put32(b, 0, 40);
  Put32(b, 4, static_cast<std::uint32_t>(h.width));
  Put32(b, 8, static_cast<std::uint32_t>(h.height));
  Put16(b, 12, h.planes);
  Put16(b, 14, h.bitCount);
  Put32(b, 16, h.compression);
  Put32(b, 20, h.imageSize);
  Put32(b, 32, h.colorsUsed);
  Put32(b, 36, h.colorsImportant);
  return b;
}

Bytes WithMasks(Bytes b, std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
  Put32(b, 40, red);
  Put32(b, 44, green);
  Put32(b, 48, blue);
  return b;
}

Bytes CoreBlock(std::uint32_t width, std::uint32_t height, std::uint32_t bitCount,
                std::size_t tail) {
  Bytes b(12 + tail, 0);
  Put32(b, 0, 12);
  Put16(b, 4, width);
  Put16(b, 6, height);
  Put16(b, 8, 1);
  Put16(b, 10, bitCount);
  return b;
}

tagBITMAPINFO* Bmi(Bytes& b) {
  return reinterpret_cast<tagBITMAPINFO*>(b.data());
}

std::ptrdiff_t OffsetIn(const Bytes& b, const void* p) {
  return p == nullptr ? -1 : static_cast<const unsigned char*>(p) - b.data();
}

TEST(DibAttach, LayoutFromHeader) {
  struct Case {
    const char* name;
    Bytes block;
    std::ptrdiff_t pixels, colors, coreColors, masks;
    std::int32_t colorsUsed, colorsImportant, width, height, bps, depth, imageSize;
    bool topDown;
    std::int32_t format;
  };
  const Case cases[] = {
      {"8 bits, colors used 0", InfoBlock(Info().Bits(8), 1100), 1064, 40, -1, -1, 256, 256, 3, 2,
       4, 8, 8, false, 4},
      {"height -3", InfoBlock(Info().Size(3, -3), 40), 40, -1, -1, -1, 0, 0, 3, 3, 12, 24, 36, true,
       8},
      {"height 3", InfoBlock(Info().Size(3, 3), 40), 40, -1, -1, -1, 0, 0, 3, 3, 12, 24, 36, false,
       8},
      {"width 1 at 1 bit", InfoBlock(Info().Size(1, 2).Bits(1), 20), 48, 40, -1, -1, 2, 2, 1, 2, 4,
       1, 8, false, 0},
      {"width 33 at 1 bit", InfoBlock(Info().Size(33, 2).Bits(1), 30), 48, 40, -1, -1, 2, 2, 33, 2,
       8, 1, 16, false, 0},
      {"2 bits", InfoBlock(Info().Size(5, 2).Bits(2), 30), 56, 40, -1, -1, 4, 4, 5, 2, 4, 2, 8,
       false, 1},
      {"16 bits plain", InfoBlock(Info().Bits(16), 20), 40, -1, -1, -1, 0, 0, 3, 2, 8, 16, 16,
       false, 6},
      {"16 bits 5-6-5 masks", WithMasks(InfoBlock(Info().Bits(16, 3), 30), 0xF800, 0x7E0, 0x1F), 52,
       -1, -1, 40, 0, 0, 3, 2, 8, 16, 16, false, 7},
      {"16 bits 5-5-5 masks", WithMasks(InfoBlock(Info().Bits(16, 3), 30), 0x7C00, 0x3E0, 0x1F), 52,
       -1, -1, 40, 0, 0, 3, 2, 8, 16, 16, false, 6},
      {"16 bits other masks", WithMasks(InfoBlock(Info().Bits(16, 3), 30), 0x7C00, 0x3E0, 0x3F), 52,
       -1, -1, 40, 0, 0, 3, 2, 8, 16, 16, false, 11},
      {"32 bits 8-8-8 masks", WithMasks(InfoBlock(Info().Bits(32, 3), 40), 0xFF0000, 0xFF00, 0xFF),
       52, -1, -1, 40, 0, 0, 3, 2, 12, 32, 24, false, 9},
      {"32 bits other masks", WithMasks(InfoBlock(Info().Bits(32, 3), 40), 0xFF, 0xFF00, 0xFF0000),
       52, -1, -1, 40, 0, 0, 3, 2, 12, 32, 24, false, 12},
      {"32 bits with 5-6-5 masks",
       WithMasks(InfoBlock(Info().Bits(32, 3), 40), 0xF800, 0x7E0, 0x1F), 52, -1, -1, 40, 0, 0, 3,
       2, 12, 32, 24, false, 7},
      {"run-length 4", InfoBlock(Info().Bits(4, 2), 80), 104, 40, -1, -1, 16, 16, 3, 2, 4, 4, 8,
       false, 3},
      {"run-length 8", InfoBlock(Info().Bits(8, 1), 1100), 1064, 40, -1, -1, 256, 256, 3, 2, 4, 8,
       8, false, 5},
      {"24 bits with 5 colors", InfoBlock(Info().Colors(5, 2), 60), 60, 40, -1, -1, 5, 2, 3, 2,
       12, 24, 24, false, 8},
      {"masks before the table", WithMasks(InfoBlock(Info().Bits(8, 3).Colors(2), 30), 1, 2, 3),
       60, 52, -1, 40, 2, 2, 3, 2, 4, 8, 8, false, 4},
      {"2 planes", InfoBlock(Info().Planes(2), 60), 40, -1, -1, -1, 0, 0, 3, 2, 12, 48, 48, false,
       8},
      {"image size kept", InfoBlock(Info().Image(1000), 30), 40, -1, -1, -1, 0, 0, 3, 2, 12, 24,
       1000, false, 8},
      {"core 8 bits", CoreBlock(3, 2, 8, 800), 780, -1, 12, -1, 256, 256, 3, 2, 4, 8, 8, false, 4},
      {"core 1 bit", CoreBlock(9, 2, 1, 20), 18, -1, 12, -1, 2, 2, 9, 2, 4, 1, 8, false, 0},
      {"core 24 bits", CoreBlock(3, 2, 24, 30), 12, -1, -1, -1, 0, 0, 3, 2, 12, 24, 24, false, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes block = c.block;
    CDIB dib;
    ASSERT_EQ(dib.AttachDIB(Bmi(block), nullptr, 0), 1);
    EXPECT_EQ(OffsetIn(block, dib.GetBits()), c.pixels);
    EXPECT_EQ(OffsetIn(block, DibProbe::Colors(dib)), c.colors);
    EXPECT_EQ(OffsetIn(block, DibProbe::CoreColors(dib)), c.coreColors);
    EXPECT_EQ(OffsetIn(block, DibProbe::Masks(dib)), c.masks);
    EXPECT_EQ(DibProbe::ColorsUsed(dib), c.colorsUsed);
    EXPECT_EQ(DibProbe::ColorsImportant(dib), c.colorsImportant);
    EXPECT_EQ(dib.GetWidth(), c.width);
    EXPECT_EQ(dib.GetHeight(), c.height);
    EXPECT_EQ(dib.GetBPS(), c.bps);
    EXPECT_EQ(dib.GetDepth(), c.depth);
    EXPECT_EQ(DibProbe::ImageSize(dib), c.imageSize);
    EXPECT_EQ(DibProbe::Format(dib), c.format);
    EXPECT_EQ(dib.IsCompressed(), c.format == 3 || c.format == 5 ? 1 : 0);
    EXPECT_EQ(dib.GetBMI(), Bmi(block));
    // Top-down rows start at the pixels; bottom-up ones (height - 1) rows
    // times the planes further on, and step back by one row.
    const std::ptrdiff_t planes = DibProbe::Planes(dib);
    const std::ptrdiff_t top = c.topDown ? c.pixels : c.pixels + (c.height - 1) * c.bps * planes;
    EXPECT_EQ(OffsetIn(block, DibProbe::TopRow(dib)), top);
    EXPECT_EQ(DibProbe::RowStep(dib), c.topDown ? c.bps : -c.bps);
    unsigned char* const* rows = DibProbe::Rows(dib);
    ASSERT_NE(rows, nullptr);
    for (std::int32_t y = 0; y < c.height; ++y) {
      EXPECT_EQ(OffsetIn(block, rows[y]), top + (c.topDown ? y : -y) * c.bps) << "row " << y;
    }
  }
}

TEST(DibAttach, SeparatePixelsAndFlag) {
  Bytes block = InfoBlock(Info(), 0);
  Bytes pixels(24, 0);
  CDIB dib;
  ASSERT_EQ(dib.AttachDIB(Bmi(block), pixels.data(), 0x2A), 1);
  EXPECT_EQ(dib.GetBits(), pixels.data());
  EXPECT_EQ(DibProbe::TopRow(dib), pixels.data() + 12);
  EXPECT_EQ(dib.GetFlag(), 0x2A);
  dib.ReleaseDIB();
  // Bit 2 and 8 own nothing; 0x2A has neither 1 nor 4, so both stay.
  EXPECT_EQ(dib.GetBMI(), Bmi(block));
  EXPECT_EQ(dib.GetBits(), pixels.data());
  EXPECT_EQ(DibProbe::Rows(dib), nullptr);
  EXPECT_EQ(dib.GetWidth(), 3);
}

// A copy of model from array new, extra zero bytes after it.
unsigned char* NewBlock(const Bytes& model, std::size_t extra) {
  auto* block = new unsigned char[model.size() + extra]();
  std::copy(model.begin(), model.end(), block);
  return block;
}

TEST(DibAttach, RefusedHeaderStillReleasesOwnedPixels) {
  // The leak checker shows owned pixels that a refused attach forgets; a
  // stale pointer released under the new flag would be a bad free.
  Bytes pixels(24, 0);
  Bytes good = InfoBlock(Info(), 0);
  Bytes bad = good;
  Put32(bad, 0, 124);
  CDIB dib;
  ASSERT_EQ(dib.AttachDIB(Bmi(good), pixels.data(), 0), 1);
  EXPECT_EQ(dib.AttachDIB(Bmi(bad), new unsigned char[24](), 4), 0);
  EXPECT_NE(dib.GetBits(), pixels.data());
  EXPECT_EQ(dib.AttachDIB(Bmi(bad), nullptr, 4), 0);
  EXPECT_EQ(dib.GetBits(), nullptr);
}

TEST(DibAttach, OwnedBlocksAreReleased) {
  // Leaks of any block show under the leak checker.
  const Bytes model = InfoBlock(Info(), 0);
  auto* header = reinterpret_cast<tagBITMAPINFO*>(NewBlock(model, 0));
  CDIB dib;
  ASSERT_EQ(dib.AttachDIB(header, new unsigned char[24](), 1 | 4 | 8), 1);
  dib.ReleaseDIB();
  EXPECT_EQ(dib.GetBMI(), nullptr);
  EXPECT_EQ(dib.GetBits(), nullptr);
  EXPECT_EQ(dib.GetFlag(), 8);

  // A second attach releases the first blocks; the destructor the second.
  auto* first = reinterpret_cast<tagBITMAPINFO*>(NewBlock(model, 0));
  auto* second = reinterpret_cast<tagBITMAPINFO*>(NewBlock(model, 24));
  ASSERT_EQ(dib.AttachDIB(first, new unsigned char[24](), 5), 1);
  ASSERT_EQ(dib.AttachDIB(second, nullptr, 1), 1);
  EXPECT_EQ(dib.GetFlag(), 1);
}

TEST(DibAttach, RowTableFromTheHeap) {
  tarnutil::platform::HeapHooks* hooks = tarnutil::platform::HeapTestHooks();
  if (hooks == nullptr) GTEST_SKIP() << "no heap hooks on this back end";
  Bytes block = InfoBlock(Info(), 24);
  {
    CDIB dib;
    *hooks = tarnutil::platform::HeapHooks{};
    hooks->counting = true;
    ASSERT_EQ(dib.AttachDIB(Bmi(block), nullptr, 0), 1);
    EXPECT_EQ(hooks->allocations, 1u);
    // The failing allocation of a row table: 0, and no row to read.
    hooks->failNext = 1;
    EXPECT_EQ(dib.AttachDIB(Bmi(block), nullptr, 0), 0);
    EXPECT_EQ(hooks->releases, 1u);
    EXPECT_EQ(dib.GetPixelIndex(0, 0), outside);
    EXPECT_EQ(dib.SetPixelIndex(0, 0, 1), 0);
    ASSERT_EQ(dib.AttachDIB(Bmi(block), nullptr, 0), 1);
  }
  EXPECT_EQ(hooks->allocations, 2u);
  EXPECT_EQ(hooks->releases, 2u);
  *hooks = tarnutil::platform::HeapHooks{};
}

TEST(DibAttach, Refusals) {
  struct Case {
    const char* name;
    Bytes block;
  };
  Bytes unknown = InfoBlock(Info(), 30);
  Put32(unknown, 0, 124);
  const Case cases[] = {
      {"header size 124", unknown},
      {"height 0", InfoBlock(Info().Size(3, 0), 30)},
      {"core height 0", CoreBlock(3, 0, 24, 30)},
      {"height INT_MIN", InfoBlock(Info().Size(3, int32Min), 30)},
      {"row size", InfoBlock(Info().Size(0x7FFFFFFF, 2).Bits(32), 30)},
      // (height - 1) * bps * planes past 2^31: alone, or only times 2 planes.
      {"top-row offset", InfoBlock(Info().Size(30000, 30000), 30)},
      {"top-row offset with planes", InfoBlock(Info().Size(10000, 60000).Planes(2), 30)},
      // Top-down: no top-row offset, but bps * planes * height.
      {"image size", InfoBlock(Info().Size(30000, -30000), 30)},
      {"colors used 0xFFFFFFFF", InfoBlock(Info().Colors(0xFFFFFFFFu), 30)},
      {"colors used 2^29", InfoBlock(Info().Colors(0x20000000u), 30)},
      {"depth", InfoBlock(Info().Size(1, 2).Bits(0xFFFF).Planes(0xFFFF), 30)},
  };
  Bytes previous = InfoBlock(Info(), 24);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes block = c.block;
    CDIB dib;
    ASSERT_EQ(dib.AttachDIB(Bmi(previous), nullptr, 0), 1);
    EXPECT_EQ(dib.AttachDIB(Bmi(block), nullptr, 2), 0);
    // The earlier bitmap is released, the new block held under the new flag.
    EXPECT_EQ(dib.GetBMI(), Bmi(block));
    EXPECT_EQ(dib.GetFlag(), 2);
    EXPECT_EQ(DibProbe::Rows(dib), nullptr);
    EXPECT_EQ(dib.GetPixelIndex(0, 0), outside);
    EXPECT_EQ(dib.GetRGBValue(0, 0), outside);
    EXPECT_EQ(dib.SetPixelIndex(0, 0, 7), 0);
  }
}

TEST(DibAttach, UnreadableHeaderChangesNothing) {
  Bytes block = InfoBlock(Info(), 24);
  CDIB dib;
  ASSERT_EQ(dib.AttachDIB(Bmi(block), nullptr, 2), 1);
  EXPECT_EQ(dib.AttachDIB(nullptr, nullptr, 1), 0);
  EXPECT_EQ(dib.GetBMI(), Bmi(block));
  EXPECT_EQ(dib.GetFlag(), 2);
  EXPECT_NE(DibProbe::Rows(dib), nullptr);
}

TEST(DibAttach, BitCountOutsideTheSet) {
  for (std::uint32_t bits : {0u, 3u, 7u, 12u, 64u}) {
    SCOPED_TRACE(bits);
    Bytes block = InfoBlock(Info().Bits(bits), 2000);
    std::fill(block.begin() + 40, block.end(), 0x5A);
    Bytes earlier = InfoBlock(Info(), 24);
    CDIB dib;
    ASSERT_EQ(dib.AttachDIB(Bmi(earlier), nullptr, 0), 1);
    EXPECT_EQ(dib.AttachDIB(Bmi(block), nullptr, 0), 0);
    // Geometry and rows are those of the new block; no format serves it.
    EXPECT_EQ(dib.GetDepth(), static_cast<int>(bits));
    EXPECT_NE(DibProbe::Rows(dib), nullptr);
    EXPECT_EQ(dib.GetRGBValue(0, 0), 0u);
    EXPECT_EQ(dib.SetPixelIndex(0, 0, 1), 0);
  }
}

// One 3 by 2 bitmap per served format, pixel (1, 1) set from bytes.
struct PixelCase {
  const char* name;
  Info header;
  std::vector<std::uint32_t> masks;
  Bytes stored;  // the bytes of pixel (1, 1)
  std::uint32_t index, rgb;
};

Bytes BlockFor(const PixelCase& c) {
  const std::size_t table = c.header.bitCount == 8 ? 256 * 4 : 0;
  Bytes block = InfoBlock(c.header, 12 + table + 2 * 12);
  if (!c.masks.empty()) block = WithMasks(block, c.masks[0], c.masks[1], c.masks[2]);
  return block;
}

TEST(DibPixels, ReadByFormat) {
  const Info i8 = Info().Bits(8);
  const Info i16 = Info().Bits(16);
  const Info m16 = Info().Bits(16, 3);
  const Info i32 = Info().Bits(32);
  const Info m32 = Info().Bits(32, 3);
  const PixelCase cases[] = {
      {"8 bits", i8, {}, {0x03}, 3, 0x302010},
      {"5-5-5 0x7FFF", i16, {}, {0xFF, 0x7F}, 0xFFDF, 0x7FFF},
      {"5-5-5 0x7C1F", i16, {}, {0x1F, 0x7C}, 0xF81F, 0x7C1F},
      {"5-6-5 0xFFFF", m16, {0xF800, 0x7E0, 0x1F}, {0xFF, 0xFF}, 0xFFFF, 0xFFFF},
      {"5-6-5 0x0820", m16, {0xF800, 0x7E0, 0x1F}, {0x20, 0x08}, 0x0820, 0x0820},
      {"24 bits", Info(), {}, {0x10, 0x20, 0x30}, 0x3102, 0x302010},
      {"24 bits white", Info(), {}, {0xFF, 0xFF, 0xFF}, 0xFFDF, 0xFFFFFF},
      {"32 bits white", i32, {}, {0xFF, 0xFF, 0xFF, 0x00}, 0xFFDF, 0xFFDF},
      {"32 bits red", i32, {}, {0x00, 0x00, 0xFF, 0x00}, 0xF800, 0xF800},
      {"32 bits top byte ignored", i32, {}, {0x08, 0x40, 0x80, 0xFF}, 0x8201, 0x8201},
      {"32 bits 8-8-8 masks", m32, {0xFF0000, 0xFF00, 0xFF}, {0x10, 0x20, 0x30, 0}, 0x3102, 0x3102},
      {"16 bits other masks", m16, {1, 2, 3}, {0xFF, 0xFF}, 0, 0},
      {"32 bits other masks", m32, {1, 2, 3}, {0xFF, 0xFF, 0xFF, 0xFF}, 0, 0},
  };
  for (const PixelCase& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes block = BlockFor(c);
    CDIB dib;
    ASSERT_EQ(dib.AttachDIB(Bmi(block), nullptr, 0), 1);
    if (DibProbe::Colors(dib) != nullptr) {
      unsigned char* entry = block.data() + 40 + 4 * 3;
      entry[0] = 0x30;  // blue
      entry[1] = 0x20;  // green
      entry[2] = 0x10;  // red
    }
    // Row 1 from the top is the first row stored.
    const std::size_t at = static_cast<std::size_t>(dib.GetBits() - block.data()) + c.stored.size();
    std::copy(c.stored.begin(), c.stored.end(), block.begin() + static_cast<std::ptrdiff_t>(at));
    EXPECT_EQ(dib.GetPixelIndex(1, 1), c.index);
    EXPECT_EQ(dib.GetRGBValue(1, 1), c.rgb);
  }
}

TEST(DibPixels, WriteByFormat) {
  struct Case {
    const char* name;
    Info header;
    int result;
    Bytes written;  // bytes of pixel (1, 0) and the next byte after SetPixelIndex
  };
  const Case cases[] = {
      {"8 bits: low byte", Info().Bits(8), 1, {0x44, 0xEE}},
      {"16 bits: low 16 bits", Info().Bits(16), 1, {0x44, 0x33, 0xEE}},
      {"24 bits: three bytes", Info(), 1, {0x44, 0x33, 0x22, 0xEE}},
      {"32 bits: all", Info().Bits(32), 1, {0x44, 0x33, 0x22, 0x11}},
      {"1 bit: unserved", Info().Bits(1), 0, {0xEE}},
      {"4 bits: unserved", Info().Bits(4), 0, {0xEE}},
      {"run-length 8: unserved", Info().Bits(8, 1), 0, {0xEE, 0xEE}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes block = InfoBlock(c.header, 1100);
    CDIB dib;
    ASSERT_EQ(dib.AttachDIB(Bmi(block), nullptr, 0), 1);
    unsigned char* pixels = dib.GetBits();
    std::fill(pixels, block.data() + block.size(), 0xEE);
    // Row 0 from the top is the second row stored (3 by 2, bottom-up).
    const std::size_t bytesPerPixel = c.header.bitCount / 8;
    unsigned char* pixel = pixels + dib.GetBPS() + bytesPerPixel;
    EXPECT_EQ(dib.SetPixelIndex(1, 0, 0x11223344u), c.result);
    EXPECT_EQ(Bytes(pixel, pixel + c.written.size()), c.written);
  }
}

TEST(DibPixels, RowZeroIsTheTopRow) {
  // The same picture stored bottom-up and top-down reads alike.
  Bytes bottomUp = InfoBlock(Info(), 24);
  Bytes topDown = InfoBlock(Info().Size(3, -2), 24);
  for (int i = 0; i < 12; ++i) {
    bottomUp[40 + 12 + static_cast<std::size_t>(i)] = static_cast<unsigned char>(i + 1);
    topDown[40 + static_cast<std::size_t>(i)] = static_cast<unsigned char>(i + 1);
    bottomUp[40 + static_cast<std::size_t>(i)] = static_cast<unsigned char>(i + 101);
    topDown[40 + 12 + static_cast<std::size_t>(i)] = static_cast<unsigned char>(i + 101);
  }
  CDIB a;
  CDIB b;
  ASSERT_EQ(a.AttachDIB(Bmi(bottomUp), nullptr, 0), 1);
  ASSERT_EQ(b.AttachDIB(Bmi(topDown), nullptr, 0), 1);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      const std::uint32_t first = static_cast<std::uint32_t>(3 * x + 1 + 100 * y);
      EXPECT_EQ(a.GetRGBValue(x, y), first | (first + 1) << 8 | (first + 2) << 16);
      EXPECT_EQ(b.GetRGBValue(x, y), a.GetRGBValue(x, y));
    }
  }
}

TEST(DibPixels, OutsideTheBitmap) {
  Bytes block = InfoBlock(Info(), 24);
  CDIB dib;
  ASSERT_EQ(dib.AttachDIB(Bmi(block), nullptr, 0), 1);
  const int positions[][2] = {{-1, 0}, {3, 0}, {0, -1}, {0, 2}, {int32Min, 0}, {0, 0x7FFFFFFF}};
  for (const auto& p : positions) {
    SCOPED_TRACE(testing::Message() << p[0] << "," << p[1]);
    EXPECT_EQ(dib.GetPixelIndex(p[0], p[1]), outside);
    EXPECT_EQ(dib.GetRGBValue(p[0], p[1]), outside);
    EXPECT_EQ(dib.SetPixelIndex(p[0], p[1], 0), 0);
  }
  EXPECT_EQ(dib.GetPixelIndex(2, 1), 0u);
  // Before any attach there is no pixel at all.
  CDIB empty;
  EXPECT_EQ(empty.GetPixelIndex(0, 0), outside);
}

TEST(DibPixels, ColorTableBounds) {
  Bytes block = InfoBlock(Info().Bits(8).Colors(2), 8 + 8 + 1024);
  // Whatever follows the two entries is no color of the table.
  std::fill(block.begin() + 48, block.end(), 0x77);
  Put32(block, 40, 0x00030201);
  Put32(block, 44, 0x00060504);
  CDIB dib;
  ASSERT_EQ(dib.AttachDIB(Bmi(block), nullptr, 0), 1);
  struct Case {
    unsigned char index;
    std::uint32_t rgb;
  };
  const Case cases[] = {{0, 0x010203}, {1, 0x040506}, {2, 0}, {255, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.index));
    ASSERT_EQ(dib.SetPixelIndex(0, 0, c.index), 1);
    EXPECT_EQ(dib.GetPixelIndex(0, 0), c.index);
    EXPECT_EQ(dib.GetRGBValue(0, 0), c.rgb);
  }

  // The 12-byte header's table has 3-byte entries.
  Bytes core = CoreBlock(2, 1, 8, 768 + 4);
  for (std::size_t i = 0; i < 768; ++i) core[12 + i] = static_cast<unsigned char>(i);
  CDIB coreDib;
  ASSERT_EQ(coreDib.AttachDIB(Bmi(core), nullptr, 0), 1);
  ASSERT_EQ(coreDib.SetPixelIndex(1, 0, 5), 1);
  EXPECT_EQ(coreDib.GetRGBValue(1, 0), 0x0F1011u);  // bytes 15, 16, 17: blue, green, red
}

TEST(DibPixels, RgbWrittenBackLeavesPixel) {
  Bytes block = InfoBlock(Info(), 24);
  for (std::size_t i = 40; i < block.size(); ++i) block[i] = static_cast<unsigned char>(i * 7);
  const Bytes before = block;
  CDIB dib;
  ASSERT_EQ(dib.AttachDIB(Bmi(block), nullptr, 0), 1);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) EXPECT_EQ(dib.SetPixelIndex(x, y, dib.GetRGBValue(x, y)), 1);
  }
  EXPECT_EQ(block, before);
}

TEST(DibBrush, KeptUntilRelease) {
  Bytes block = InfoBlock(Info().Size(8, 8).Bits(8), 1024 + 64);
  CDIB dib;
  EXPECT_EQ(dib.GetDIBPatternBrush(0), nullptr);
  ASSERT_EQ(dib.AttachDIB(Bmi(block), nullptr, 0), 1);
  HBRUSH__* brush = dib.GetDIBPatternBrush(0);
  ASSERT_NE(brush, nullptr);
  EXPECT_EQ(dib.GetDIBPatternBrush(1), brush);
  dib.ReleaseDIB();
  EXPECT_EQ(DibProbe::Brush(dib), nullptr);
  // Still attached to the caller's block, so a new brush can be made.
  EXPECT_NE(dib.GetDIBPatternBrush(1), nullptr);
}

TEST(DibResources, LoadByNameAndId) {
  ASSERT_TRUE(tarnutil::testing::InstallTestBitmapResource());
  namespace t = tarnutil::testing;
  // The same packed bitmap attached from the file's bytes, for comparison.
  Bytes packed(t::testBitmapFile + t::testBitmapFileHeaderBytes,
               t::testBitmapFile + t::testBitmapFileBytes);
  CDIB model;
  ASSERT_EQ(model.AttachDIB(Bmi(packed), nullptr, 0), 1);
  ASSERT_EQ(model.GetRGBValue(0, 0), 0xFF0000u);  // top left: red, blue in the low byte
  const wchar_t* id = reinterpret_cast<const wchar_t*>(std::uintptr_t{t::testBitmapId});
  const wchar_t* names[] = {L"TESTBMP", id};
  for (const wchar_t* name : names) {
    SCOPED_TRACE(name == id ? "by id" : "by name");
    CDIB dib;
    ASSERT_EQ(dib.LoadBitmapW(nullptr, name), 1);
    EXPECT_EQ(dib.GetFlag(), 10);
    EXPECT_EQ(dib.GetWidth(), model.GetWidth());
    EXPECT_EQ(dib.GetHeight(), model.GetHeight());
    for (int y = 0; y < model.GetHeight(); ++y) {
      for (int x = 0; x < model.GetWidth(); ++x) {
        EXPECT_EQ(dib.GetRGBValue(x, y), model.GetRGBValue(x, y)) << x << "," << y;
      }
    }
    // The module keeps its memory: releasing gives nothing back.
    const tagBITMAPINFO* bmi = dib.GetBMI();
    dib.ReleaseDIB();
    EXPECT_EQ(dib.GetBMI(), bmi);
  }
  const wchar_t* otherId = reinterpret_cast<const wchar_t*>(std::uintptr_t{t::testBitmapId + 1});
  CDIB missing;
  EXPECT_EQ(missing.LoadBitmapW(nullptr, L"NOSUCHBMP"), 0);
  EXPECT_EQ(missing.LoadBitmapW(nullptr, otherId), 0);
  EXPECT_EQ(missing.GetBMI(), nullptr);
}

// Bitmap files crafted byte by byte: each malformed one is refused without
// a leak, a crash or an out-of-bounds read (the sanitizer build checks).
class DibLoadFile : public ::testing::Test {
 protected:
  void TearDown() override {
    if (!path_.empty()) std::remove(path_.c_str());
  }

  // Writes the file header (declared size: the whole file) and block.
  std::wstring Write(const Bytes& block, std::int64_t declaredDelta = 0) {
    Bytes file = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    file.insert(file.end(), block.begin(), block.end());
    const std::int64_t declared = static_cast<std::int64_t>(file.size()) + declaredDelta;
    Put32(file, 2, static_cast<std::uint32_t>(declared));
    return WriteRaw(file);
  }

  std::wstring WriteRaw(const Bytes& file) {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    path_ = std::string("dib_test_") + info->name() + ".bmp";
    std::FILE* f = std::fopen(path_.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    if (f == nullptr) return std::wstring();
    EXPECT_EQ(std::fwrite(file.data(), 1, file.size(), f), file.size());
    std::fclose(f);
    return std::wstring(path_.begin(), path_.end());
  }

  std::string path_;
};

// 3 by 2 at 24 bits with distinct pixel bytes.
Bytes GoodBlock() {
  Bytes block = InfoBlock(Info(), 24);
  for (std::size_t i = 40; i < block.size(); ++i) block[i] = static_cast<unsigned char>(i);
  return block;
}

TEST_F(DibLoadFile, SoundFile) {
  const Bytes block = GoodBlock();
  const std::wstring path = Write(block);
  CDIB dib;
  ASSERT_EQ(dib.LoadFile(path.c_str()), 1);
  EXPECT_EQ(dib.GetFlag(), 1);
  EXPECT_EQ(dib.GetWidth(), 3);
  EXPECT_EQ(dib.GetHeight(), 2);
  // Row 0 is the second row stored: bytes 52, 53, 54 at column 0.
  EXPECT_EQ(dib.GetRGBValue(0, 0), 0x363534u);
  EXPECT_EQ(dib.GetRGBValue(2, 1), 0x302F2Eu);
  // The block has the declared size; what follows the read is zero.
  const unsigned char* bmi = reinterpret_cast<const unsigned char*>(dib.GetBMI());
  EXPECT_EQ(Bytes(bmi, bmi + block.size()), block);
  EXPECT_EQ(Bytes(bmi + block.size(), bmi + block.size() + 14), Bytes(14, 0));
}

TEST_F(DibLoadFile, MissingOrForeign) {
  CDIB dib;
  EXPECT_EQ(dib.LoadFile(nullptr), 0);
  EXPECT_EQ(dib.LoadFile(L"dib_test_no_such_file.bmp"), 0);
  Bytes file = {'B', 'M', 14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(dib.LoadFile(WriteRaw(file).c_str()), 0);  // 13 bytes: no full file header
  Bytes foreign = GoodBlock();
  foreign.insert(foreign.begin(), {'M', 'B', 78, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(dib.LoadFile(WriteRaw(foreign).c_str()), 0);
  EXPECT_EQ(dib.LoadFile(Write(GoodBlock(), 1).c_str()), 0);  // declared past the end
  EXPECT_EQ(dib.GetBMI(), nullptr);
}

TEST_F(DibLoadFile, MalformedFilesAreRefused) {
  struct Case {
    const char* name;
    int reason;
    Bytes block;
    // A declared size below the file's makes the block end with the data.
    std::int64_t declaredDelta = 0;
  };
  auto with = [](Bytes b, std::size_t at, std::uint32_t v, bool wide = true) {
    if (wide) {
      Put32(b, at, v);
    } else {
      Put16(b, at, v);
    }
    return b;
  };
  auto cut = [](Bytes b, std::size_t bytes) {
    b.resize(b.size() - bytes);
    return b;
  };
  const Bytes good = GoodBlock();
  const Info m16 = Info().Bits(16, 3);
  const Case cases[] = {
      {"header shorter than 40", tarnutilDibShortData, Bytes(good.begin(), good.begin() + 30)},
      {"header size 124", tarnutilDibShortData, with(good, 0, 124)},
      {"header size 0", tarnutilDibHeaderSize, with(good, 0, 0)},
      {"header size 41", tarnutilDibHeaderSize, with(good, 0, 41)},
      {"width 0", tarnutilDibBadHeader, with(good, 4, 0)},
      {"height 0", tarnutilDibNoRows, with(good, 8, 0)},
      {"negative width", tarnutilDibBadHeader, with(good, 4, 0xFFFFFFFDu)},
      {"height INT_MIN", tarnutilDibTooLarge, with(good, 8, 0x80000000u)},
      {"bit count 0", tarnutilDibBadHeader, with(good, 14, 0, false)},
      {"bit count 3", tarnutilDibBadHeader, with(good, 14, 3, false)},
      {"bit count 64", tarnutilDibBadHeader, with(good, 14, 64, false)},
      {"core header cut", tarnutilDibShortData, Bytes{12, 0, 0, 0, 3, 0}},
      {"core width 0", tarnutilDibBadHeader, CoreBlock(0, 2, 24, 24)},
      {"core table past the data", tarnutilDibShortData, CoreBlock(3, 2, 8, 700)},
      {"table past the data", tarnutilDibShortData, InfoBlock(Info().Bits(8), 1000)},
      {"colors used 2^30", tarnutilDibTooLarge, with(good, 32, 0x40000000u)},
      {"colors used 0xFFFFFFFF", tarnutilDibTooLarge, with(good, 32, 0xFFFFFFFFu)},
      {"masks past the data", tarnutilDibShortData, InfoBlock(m16, 8)},
      {"masks past the block", tarnutilDibShortData, InfoBlock(m16, 8), -14},
      {"header past the block", tarnutilDibShortData, Bytes(good.begin(), good.begin() + 40), -24},
      {"last row short", tarnutilDibShortData, cut(good, 1)},
      {"top-down last row short", tarnutilDibShortData, cut(InfoBlock(Info().Size(3, -2), 24), 1)},
      {"second plane missing", tarnutilDibShortData, with(good, 12, 2, false)},
      {"plane count 0", tarnutilDibBadHeader, with(good, 12, 0, false)},
      {"rows overflow", tarnutilDibTooLarge, with(with(good, 4, 0x7FFFFFFF), 14, 32, false)},
      {"height past the data", tarnutilDibTooLarge, with(good, 8, 0x7FFFFFFF)},
      {"8-8-8 masks on 8 bits", tarnutilDibBadHeader,
       WithMasks(InfoBlock(Info().Bits(8, 3), 12 + 1024 + 8), 0xFF0000, 0xFF00, 0xFF)},
      {"8-8-8 masks on 24 bits", tarnutilDibBadHeader,
       WithMasks(InfoBlock(Info().Bits(24, 3), 12 + 24), 0xFF0000, 0xFF00, 0xFF)},
      {"run-length without data", tarnutilDibShortData, InfoBlock(Info().Bits(8, 1), 1024)},
      {"run-length image size past the data", tarnutilDibShortData, with(InfoBlock(Info().Bits(8, 1), 1024 + 4), 20, 5)},
      {"compression 4, JPEG", tarnutilDibEmbeddedImage, with(good, 16, 4)},
      {"compression 5, PNG", tarnutilDibEmbeddedImage, with(good, 16, 5)},
      {"compression 6", tarnutilDibBadHeader, with(good, 16, 6)},
      {"header size 64, OS/2", tarnutilDibHeaderSize, with(Bytes(64 + 24), 0, 64)},
      {"run-length rows past 2^24", tarnutilDibRunLengthRows,
       with(InfoBlock(Info().Bits(8, 1), 1024 + 4), 8, (1u << 24) + 1)},
  };
  tarnutil::platform::HeapHooks* hooks = tarnutil::platform::HeapTestHooks();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CDIB dib;
    const std::wstring path = Write(c.block, c.declaredDelta);
    if (hooks != nullptr) {
      *hooks = tarnutil::platform::HeapHooks{};
      hooks->counting = true;
    }
    EXPECT_EQ(dib.LoadFile(path.c_str()), 0);
    EXPECT_EQ(dib.GetBMI(), nullptr);
    EXPECT_EQ(dib.GetPixelIndex(0, 0), outside);
    EXPECT_EQ(DIBRefusalReason(path.c_str(), nullptr, 0, nullptr), c.reason);
    if (hooks != nullptr) {
      EXPECT_EQ(hooks->allocations, 0u);
    }
  }
  if (hooks != nullptr) *hooks = tarnutil::platform::HeapHooks{};
}

TEST_F(DibLoadFile, EdgesThatAreSound) {
  // 4 bytes of run-length data for 2 rows of 4 bytes.
  const Bytes rle = InfoBlock(Info().Bits(8, 1), 1024 + 4);
  Bytes rleStated = rle;
  Put32(rleStated, 20, 4);
  Bytes twoPlanes = InfoBlock(Info().Planes(2), 36);  // top row 2 * 12 bytes on
  twoPlanes[40 + 24] = 0x55;
  struct Case {
    const char* name;
    Bytes block;
    std::int64_t declaredDelta;
    std::uint32_t rgbTopLeft;
  };
  Bytes longer = GoodBlock();
  longer.push_back(0x99);
  const Case cases[] = {
      {"run-length shorter than its rows", rle, 0, 0},
      {"run-length image size of its data", rleStated, 0, 0},
      {"two planes", twoPlanes, 0, 0x55},
      {"bytes past the declared size", longer, -15, 0x363534},
      // Only the end-of-bitmap escape: any number of rows in two bytes.
      {"run-length far taller than its data", With32(rle, 8, 4 * 64 + 1), 0, 0},
      {"declared size 0", GoodBlock(), -78, 0x363534},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CDIB dib;
    ASSERT_EQ(dib.LoadFile(Write(c.block, c.declaredDelta).c_str()), 1);
    EXPECT_EQ(dib.GetRGBValue(0, 0), c.rgbTopLeft);
  }
}

// The codes and texts are fixed: other interfaces hand them on.
TEST(DIBRefusalReason, FixedCodesAndTexts) {
  const char* const texts[] = {"loads",
                               "missing or unreadable",
                               "not a bitmap",
                               "header size not supported",
                               "embedded JPEG or PNG image",
                               "pixel offset outside the file",
                               "shorter than its headers, color table or rows",
                               "run-length bitmap taller than its row table may be",
                               "too large",
                               "header describes no bitmap that can be read",
                               "height 0: no rows"};
  for (int code = 0; code <= tarnutilDibNoRows; ++code) {
    EXPECT_STREQ(tarnutil::detail::DibRefusalText(code), texts[code]) << code;
  }
  EXPECT_STREQ(tarnutil::detail::DibRefusalText(tarnutilDibNoRows + 1), "unknown");
  const char* text = nullptr;
  EXPECT_EQ(DIBRefusalReason(nullptr, nullptr, 40, &text), tarnutilDibUnreadable);
  EXPECT_STREQ(text, texts[tarnutilDibUnreadable]);
  const Bytes good = GoodBlock();
  EXPECT_EQ(DIBRefusalReason(nullptr, good.data(), 3, &text), tarnutilDibNotBitmap);
  EXPECT_EQ(DIBRefusalReason(nullptr, good.data(), static_cast<std::uint32_t>(good.size()), &text),
            tarnutilDibLoads);
  EXPECT_STREQ(text, "loads");
}

TEST_F(DibLoadFile, RefusedFileKeepsThePreviousBitmap) {
  CDIB dib;
  ASSERT_EQ(dib.LoadFile(Write(GoodBlock()).c_str()), 1);
  const tagBITMAPINFO* loaded = dib.GetBMI();
  Bytes zeroWidth = GoodBlock();
  Put32(zeroWidth, 4, 0);
  EXPECT_EQ(dib.LoadFile(Write(zeroWidth).c_str()), 0);
  EXPECT_EQ(dib.GetBMI(), loaded);
  EXPECT_EQ(dib.GetRGBValue(0, 0), 0x363534u);
}

}  // namespace
