#include "dibformat/dib_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

namespace d = tarnutil::detail;

// Fields sit at any alignment, low byte first.
TEST(DibFormatFields, LittleEndianAtAnyOffset) {
  unsigned char bytes[7] = {};
  d::StoreLe32(bytes + 1, 0x12345678u);
  d::StoreLe16(bytes + 5, 0xABCDu);
  const unsigned char expected[7] = {0, 0x78, 0x56, 0x34, 0x12, 0xCD, 0xAB};
  EXPECT_EQ(std::vector<unsigned char>(bytes, bytes + 7),
            std::vector<unsigned char>(expected, expected + 7));
  EXPECT_EQ(d::LoadLe32(bytes + 3), 0xABCD1234u);
  EXPECT_EQ(d::LoadLe16(bytes + 4), 0xCD12u);
}

// A 2 by 1 header of each size: the masks are read at byte 40 whichever
// header holds them, and the table starts behind the header (and behind
// the masks of a 40-byte header with bit fields).
TEST(ParseDibHeader, EveryKnownHeaderSize) {
  struct Case {
    std::uint32_t headerBytes;
    std::uint16_t bitCount;
    std::uint32_t compression;
    std::uint32_t span;
    std::int32_t colorOffset, pixelOffset;
    std::int32_t presentedColor, presentedPixel;
    std::int32_t format;
  };
  const Case cases[] = {
      {40, 16, 3, 52, 52, 52, 52, 52, d::dibFormat565},
      {40, 8, 0, 40, 40, 1064, 40, 1064, d::dibFormat8Bit},
      {52, 16, 3, 52, 52, 52, 52, 52, d::dibFormat565},
      {56, 32, 3, 56, 56, 56, 52, 52, d::dibFormat32Masks},
      {108, 8, 0, 108, 108, 1132, 40, 1064, d::dibFormat8Bit},
      {124, 16, 0, 124, 124, 124, 40, 40, d::dibFormat555},  // masks ignored
      {124, 16, 3, 124, 124, 124, 52, 52, d::dibFormat565},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.headerBytes << " bytes, " << c.bitCount << " bits");
    std::vector<unsigned char> header(124, 0);
    d::StoreLe32(header.data(), c.headerBytes);
    d::StoreLe32(header.data() + d::infoWidthAt, 2);
    d::StoreLe32(header.data() + d::infoHeightAt, 1);
    d::StoreLe16(header.data() + d::infoPlanesAt, 1);
    d::StoreLe16(header.data() + d::infoBitCountAt, c.bitCount);
    d::StoreLe32(header.data() + d::infoCompressionAt, c.compression);
    const std::uint32_t masks[] = {0xF800u, 0x7E0u, c.bitCount == 32 ? 0x1Fu << 8 : 0x1Fu};
    for (int i = 0; i < 3; ++i) d::StoreLe32(header.data() + d::redMaskAt + 4 * i, masks[i]);
    EXPECT_EQ(d::HeaderSpan(header.data()), c.span);
    d::DibLayout layout{};
    ASSERT_EQ(d::ParseDibHeader(header.data(), &layout), d::DibLayoutStatus::ok);
    EXPECT_EQ(layout.colorOffset, c.colorOffset);
    EXPECT_EQ(layout.pixelOffset, c.pixelOffset);
    EXPECT_EQ(layout.format, c.format);
    EXPECT_EQ(layout.hasMasks, c.compression == 3);
    if (layout.hasMasks) {
      EXPECT_EQ(layout.masks[2], masks[2]);
    }
    const d::DibLayout presented = d::InfoPresentation(layout);
    EXPECT_EQ(presented.headerBytes, 40u);
    EXPECT_EQ(presented.colorOffset, c.presentedColor);
    EXPECT_EQ(presented.pixelOffset, c.presentedPixel);
  }
}

// The pixels span every row, planes counted in the top row's offset as the
// attach places it; run-length pixels span what the header states.
TEST(ParseDibHeader, PixelSpan) {
  struct Case {
    const char* what;
    std::int32_t height;
    std::uint16_t planes, bitCount;
    std::uint32_t compression, imageBytes;
    std::int64_t span;
  };
  const Case cases[] = {
      {"3 rows of 12 bytes", 3, 1, 24, 0, 0, 36},
      {"top-down", -3, 1, 24, 0, 0, 36},
      {"two planes", 3, 2, 24, 0, 0, 2 * 12 * 2 + 12},
      {"no planes", 3, 0, 24, 0, 0, -1},
      {"stated size ignored without run lengths", 3, 1, 24, 0, 5, 36},
      {"run-length 8", 3, 1, 8, 1, 10, 10},
      {"run-length 4 without a size", 3, 1, 4, 2, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    unsigned char header[40] = {};
    d::StoreLe32(header, 40);
    d::StoreLe32(header + d::infoWidthAt, 3);
    d::StoreLe32(header + d::infoHeightAt, static_cast<std::uint32_t>(c.height));
    d::StoreLe16(header + d::infoPlanesAt, c.planes);
    d::StoreLe16(header + d::infoBitCountAt, c.bitCount);
    d::StoreLe32(header + d::infoCompressionAt, c.compression);
    d::StoreLe32(header + d::infoImageSizeAt, c.imageBytes);
    d::DibLayout layout{};
    ASSERT_EQ(d::ParseDibHeader(header, &layout), d::DibLayoutStatus::ok);
    EXPECT_EQ(layout.pixelSpan, c.span);
  }
}

TEST(ParseDibHeader, UnknownSizesAreRefused) {
  // 16 and 64 bytes are OS/2 2.x headers; 41 is no header at all.
  for (std::uint32_t size : {0u, 16u, 41u, 64u, 125u}) {
    SCOPED_TRACE(size);
    unsigned char header[124] = {};
    d::StoreLe32(header, size);
    d::DibLayout layout{};
    EXPECT_FALSE(d::KnownHeaderBytes(size));
    EXPECT_EQ(d::HeaderSpan(header), 0u);
    EXPECT_EQ(d::ParseDibHeader(header, &layout), d::DibLayoutStatus::badHeaderSize);
  }
}

}  // namespace
