// Bitmap files that ImageMagick and Pillow wrote, and variants crafted from
// their pixels, read through CDIB and compared with what Pillow decoded
// (bitmap/testdata/make_bitmaps.py writes both at build time).
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "bitmap/dib.h"

namespace {

using tarnutil::detail::DibProbe;

const std::string dataDir = TARNUTIL_DIB_DATA_DIR;

struct Pixel {
  std::uint32_t r, g, b;
  std::int32_t index;  // -1 without a color table
};

struct Expected {
  std::string file;
  std::int32_t format, width, height, bitCount;
  bool topDown;
  std::uint32_t pixelOffset;  // where the rows start in the file
  std::vector<Pixel> pixels;  // top row first
};

struct Refused {
  std::string file;
  int reason;
};

struct Manifest {
  std::vector<Expected> bitmaps;
  std::vector<Refused> refused;
};

const Manifest& Files() {
  static const Manifest manifest = [] {
    Manifest m;
    std::ifstream in(dataDir + "/manifest.txt");
    std::string kind;
    while (in >> kind) {
      if (kind == "refused") {
        Refused r;
        in >> r.file >> r.reason;
        m.refused.push_back(r);
        continue;
      }
      Expected e;
      int topDown = 0;
      in >> e.file >> e.format >> e.width >> e.height >> e.bitCount >> topDown >> e.pixelOffset;
      e.topDown = topDown != 0;
      e.pixels.resize(static_cast<std::size_t>(e.width) * static_cast<std::size_t>(e.height));
      for (Pixel& p : e.pixels) in >> p.r >> p.g >> p.b >> p.index;
      if (!in) break;
      m.bitmaps.push_back(e);
    }
    return m;
  }();
  return manifest;
}

std::wstring WidePath(const std::string& file) {
  const std::string path = dataDir + "/" + file;
  return std::wstring(path.begin(), path.end());
}

std::vector<unsigned char> FileBytes(const std::string& file) {
  std::ifstream in(dataDir + "/" + file, std::ios::binary);
  return std::vector<unsigned char>((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
}

const Pixel& At(const Expected& e, int x, int y) {
  return e.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(e.width) +
                  static_cast<std::size_t>(x)];
}

// What the two readers give for a decoded pixel, by the rules of each format:
// color tables as red + green * 256 + blue * 65536, 24 bits with blue in the
// low byte, and every high-color pixel reduced to 5-6-5 by GetPixelIndex.
struct Reading {
  std::uint32_t index, rgb;
};

Reading Expect(std::int32_t format, const Pixel& p) {
  const std::uint32_t reduced = (p.r >> 3) << 11 | (p.g >> 3) << 6 | (p.b >> 3);
  switch (format) {
    case 4:
      return {static_cast<std::uint32_t>(p.index), p.r | p.g << 8 | p.b << 16};
    case 6: {
      const std::uint32_t stored = (p.r >> 3) << 10 | (p.g >> 3) << 5 | (p.b >> 3);
      return {(stored & 0x1F) | (stored & 0x7FE0) << 1, stored};
    }
    case 7: {
      const std::uint32_t stored = (p.r >> 3) << 11 | (p.g >> 2) << 5 | (p.b >> 3);
      return {stored, stored};
    }
    case 8:
      return {reduced, p.b | p.g << 8 | p.r << 16};
    case 9:
      return {reduced, reduced};
    default:
      return {0, 0};
  }
}

// The color index stored for a 1- or 4-bit pixel, found through the row
// table: the leftmost pixel in the high bits of a byte.
std::int32_t StoredIndex(const CDIB& dib, int bitCount, int x, int y) {
  const unsigned char* row = DibProbe::Rows(dib)[y];
  const int perByte = 8 / bitCount;
  const int shift = (perByte - 1 - x % perByte) * bitCount;
  return (row[x / perByte] >> shift) & ((1 << bitCount) - 1);
}

TEST(DibWriterFiles, ManifestCoversEveryVariant) {
  const Manifest& m = Files();
  ASSERT_GE(m.bitmaps.size(), 30u) << "generated data missing in " << dataDir;
  std::set<std::int32_t> formats;
  int topDown = 0;
  for (const Expected& e : m.bitmaps) {
    formats.insert(e.format);
    topDown += e.topDown ? 1 : 0;
  }
  EXPECT_EQ(formats, (std::set<std::int32_t>{0, 2, 3, 4, 5, 6, 7, 8, 9, 12}));
  EXPECT_GE(topDown, 5);
  EXPECT_EQ(m.refused.size(), 6u);
}

TEST(DibWriterFiles, GeometryAndFormat) {
  for (const Expected& e : Files().bitmaps) {
    SCOPED_TRACE(e.file);
    CDIB dib;
    ASSERT_EQ(dib.LoadFile(WidePath(e.file).c_str()), 1);
    EXPECT_EQ(dib.GetWidth(), e.width);
    EXPECT_EQ(dib.GetHeight(), e.height);
    EXPECT_EQ(dib.GetDepth(), e.bitCount);
    EXPECT_EQ(dib.GetBPS(), (e.width * e.bitCount + 31) / 32 * 4);
    EXPECT_EQ(DibProbe::Format(dib), e.format);
    EXPECT_EQ(dib.IsCompressed(), e.format == 3 || e.format == 5 ? 1 : 0);
    EXPECT_EQ(dib.GetFlag(), 1);
    EXPECT_EQ(DibProbe::RowStep(dib), e.topDown ? dib.GetBPS() : -dib.GetBPS());
    // Whatever header the file has, the block carries a 12- or 40-byte one.
    const unsigned char* block = reinterpret_cast<const unsigned char*>(dib.GetBMI());
    ASSERT_NE(block, nullptr);
    const std::uint32_t headerBytes = block[0];
    EXPECT_TRUE(headerBytes == 12 || headerBytes == 40) << headerBytes;
    // The rows as stored, from the file's pixel offset on: each row the
    // table names, and the run-length data as a whole.
    const std::vector<unsigned char> file = FileBytes(e.file);
    const unsigned char* bits = dib.GetBits();
    const std::size_t bps = static_cast<std::size_t>(dib.GetBPS());
    if (dib.IsCompressed() == 1) {
      const std::size_t dataBytes = file.size() - e.pixelOffset;
      EXPECT_EQ(std::vector<unsigned char>(bits, bits + dataBytes),
                std::vector<unsigned char>(file.begin() + e.pixelOffset, file.end()));
      continue;
    }
    for (int y = 0; y < e.height; ++y) {
      const std::size_t stored = static_cast<std::size_t>(e.topDown ? y : e.height - 1 - y);
      ASSERT_EQ(DibProbe::Rows(dib)[y], bits + stored * bps) << "row " << y;
      const auto from = file.begin() + static_cast<std::ptrdiff_t>(e.pixelOffset + stored * bps);
      EXPECT_EQ(std::vector<unsigned char>(bits + stored * bps, bits + (stored + 1) * bps),
                std::vector<unsigned char>(from, from + static_cast<std::ptrdiff_t>(bps)))
          << "row " << y;
    }
  }
}

TEST(DibWriterFiles, PixelsMatchTheDecoder) {
  for (const Expected& e : Files().bitmaps) {
    SCOPED_TRACE(e.file);
    CDIB dib;
    ASSERT_EQ(dib.LoadFile(WidePath(e.file).c_str()), 1);
    const bool packedIndex = e.format == 0 || e.format == 2;
    int mismatches = 0;
    std::ostringstream first;
    for (int y = 0; y < e.height; ++y) {
      for (int x = 0; x < e.width; ++x) {
        const Pixel& p = At(e, x, y);
        const Reading want = Expect(e.format, p);
        const std::uint32_t index = dib.GetPixelIndex(x, y);
        const std::uint32_t rgb = dib.GetRGBValue(x, y);
        const std::int32_t stored = packedIndex ? StoredIndex(dib, e.bitCount, x, y) : p.index;
        if (index == want.index && rgb == want.rgb && stored == p.index) continue;
        if (mismatches++ == 0) {
          first << "(" << x << "," << y << "): index " << index << " want " << want.index
                << ", rgb " << rgb << " want " << want.rgb << ", stored " << stored << " want "
                << p.index;
        }
      }
    }
    EXPECT_EQ(mismatches, 0) << first.str();
  }
}

TEST(DibWriterFiles, WritingBackReadValuesChangesNothing) {
  for (const Expected& e : Files().bitmaps) {
    if (e.format != 4 && e.format != 6 && e.format != 7 && e.format != 8) continue;
    SCOPED_TRACE(e.file);
    CDIB dib;
    ASSERT_EQ(dib.LoadFile(WidePath(e.file).c_str()), 1);
    const unsigned char* block = reinterpret_cast<const unsigned char*>(dib.GetBMI());
    const std::size_t blockBytes = static_cast<std::size_t>(dib.GetBits() - block) +
                                   static_cast<std::size_t>(dib.GetBPS() * dib.GetHeight());
    const std::vector<unsigned char> before(block, block + blockBytes);
    for (int y = 0; y < e.height; ++y) {
      for (int x = 0; x < e.width; ++x) {
        const std::uint32_t value = e.format == 4 ? dib.GetPixelIndex(x, y) : dib.GetRGBValue(x, y);
        ASSERT_EQ(dib.SetPixelIndex(x, y, value), 1);
      }
    }
    EXPECT_EQ(std::vector<unsigned char>(block, block + before.size()), before);
  }
}

TEST(DibWriterFiles, RefusedWithTheirReason) {
  for (const Refused& r : Files().refused) {
    SCOPED_TRACE(r.file);
    CDIB dib;
    EXPECT_EQ(dib.LoadFile(WidePath(r.file).c_str()), 0);
    EXPECT_EQ(dib.GetBMI(), nullptr);
    EXPECT_EQ(DIBRefusalReason(WidePath(r.file).c_str(), nullptr, 0, nullptr), r.reason);
  }
}

}  // namespace
