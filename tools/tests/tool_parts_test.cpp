// The tool's own parts below the command line: number parsing and printing,
// the raster, and the bitmap writer.
#include <gtest/gtest.h>
#include <tarnutil/tarnutil.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/bmp_writer.h"
#include "tools/cli_support.h"
#include "tools/clip_plumbing.h"
#include "tools/raster.h"

namespace {

using tarnutil::cli::Canvas;
using tarnutil::cli::NumberFormat;
using tarnutil::cli::PixelPoint;

TEST(NumberFormat, ShortestFormReadsBackToTheSameDouble) {
  struct Case {
    double value;
    const char* text;  // null: only the round trip is checked
  };
  const Case cases[] = {
      {0.1, "0.1"},
      {110.0, "110"},
      {571250.7146544898, "571250.7146544898"},
      {1.0 / 3.0, nullptr},
      {-2535141.7310, nullptr},
      {1e-300, nullptr},
      {5e-324, nullptr},
      {1.7976931348623157e308, nullptr},
  };
  const NumberFormat format;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.value);
    const std::string text = format.Format(c.value);
    EXPECT_EQ(std::strtod(text.c_str(), nullptr), c.value);
    if (c.text != nullptr) {
      EXPECT_EQ(text, c.text);
    }
  }
}

TEST(NumberFormat, FixedDecimalsRound) {
  NumberFormat format;
  format.SetDecimals(4);
  EXPECT_EQ(format.Format(571250.7146544898), "571250.7147");
  EXPECT_EQ(format.Format(-0.00004), "-0.0000");
  format.SetDecimals(0);
  EXPECT_EQ(format.Format(2.5), "2");
}

TEST(ParseNumbers, AcceptWholeFieldsInRangeOnly) {
  struct Case {
    const char* field;
    bool int32Ok;
    std::int32_t int32Value;
    bool uint32Ok;
    bool doubleOk;
  };
  const Case cases[] = {
      {"0", true, 0, true, true},
      {"+7", true, 7, true, true},
      {"-2147483648", true, INT32_MIN, false, true},
      {"2147483647", true, INT32_MAX, true, true},
      {"2147483648", false, 0, true, true},
      {"4294967295", false, 0, true, true},
      {"4294967296", false, 0, false, true},
      {"-1", true, -1, false, true},
      {"99999999999999999999", false, 0, false, true},
      {"12x", false, 0, false, false},
      {"1e3", false, 0, false, true},
      {"2.5", false, 0, false, true},
      {"", false, 0, false, false},
      {"nan", false, 0, false, false},
      {"inf", false, 0, false, false},
      {"1e999", false, 0, false, false},
      // strtod took these; a user writing them meant something else.
      {"0x1p4", false, 0, false, false},
      {"0x10", false, 0, false, false},
      {"30abc", false, 0, false, false},
      {"+-1", false, 0, false, false},
      {"-+1", false, 0, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    std::string why;
    std::int32_t i = 123;
    EXPECT_EQ(tarnutil::cli::ParseInt32(c.field, i, why), c.int32Ok);
    EXPECT_EQ(i, c.int32Ok ? c.int32Value : 123);
    std::uint32_t u = 0;
    EXPECT_EQ(tarnutil::cli::ParseUint32(c.field, u, why), c.uint32Ok);
    double d = 0.0;
    EXPECT_EQ(tarnutil::cli::ParseDouble(c.field, d, why), c.doubleOk);
  }
}

TEST(ParseNumbers, RecordLayoutAndReason) {
  std::vector<double> v;
  std::string why;
  EXPECT_TRUE(tarnutil::cli::ParseDoubles(" 1.5\t-2  ", 2, "x y", v, why));
  EXPECT_EQ(v, (std::vector<double>{1.5, -2.0}));
  EXPECT_FALSE(tarnutil::cli::ParseDoubles("1 2 3", 2, "x y", v, why));
  EXPECT_EQ(why, "expected 2 numbers (x y), got more");
  EXPECT_FALSE(tarnutil::cli::ParseDoubles("1 b", 2, "x y", v, why));
  EXPECT_EQ(why, "'b' is not a number");
  EXPECT_EQ(v, (std::vector<double>{1.5, -2.0}));
}

TEST(ReadRecords, SeparatorsCommentsAndTrailingText) {
  struct Case {
    const char* line;
    bool ok;
    const char* fields;  // joined by '|'
    const char* trailing;
  };
  const Case cases[] = {
      {"110 30", true, "110|30", ""},
      {"110,30", true, "110|30", ""},
      {" 110 ,\t30 ", true, "110|30", ""},
      {"110, 30, Chengdu, Sichuan", true, "110|30", "Chengdu, Sichuan"},
      {"110 30 # Chengdu", true, "110|30", ""},
      {"110 30 Chengdu # the capital", true, "110|30", "Chengdu"},
      {"110", false, "", ""},
      {",110 30", false, "", ""},
      {"110,,30", false, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    tarnutil::cli::Record record;
    std::string why;
    ASSERT_EQ(tarnutil::cli::SplitRecord(c.line, 2, "lon lat", record, why), c.ok);
    if (!c.ok) {
      EXPECT_EQ(why.compare(0, 9, "expected "), 0);
      continue;
    }
    EXPECT_EQ(record.fields[0] + "|" + record.fields[1], c.fields);
    EXPECT_EQ(record.trailing, c.trailing);
  }
}

TEST(ReadRecords, AnglesAsUsersWriteThem) {
  using tarnutil::cli::Axis;
  struct Case {
    const char* field;
    bool ok;
    double degrees;
    Axis axis;
  };
  const Case cases[] = {
      {"104.5", true, 104.5, Axis::none},
      {"-30.25", true, -30.25, Axis::none},
      {"104.5E", true, 104.5, Axis::longitude},
      {"W104.5", true, -104.5, Axis::longitude},
      {"30d15'N", true, 30.25, Axis::latitude},
      {"30d15'S", true, -30.25, Axis::latitude},
      {"110d30'15\"E", true, 110.0 + 30.0 / 60.0 + 15.0 / 3600.0, Axis::longitude},
      {"110d30'15''E", true, 110.0 + 30.0 / 60.0 + 15.0 / 3600.0, Axis::longitude},
      {"30\xC2\xB0"
       "15\xE2\x80\xB2N",
       true, 30.25, Axis::latitude},
      {"30\xC2\xB0"
       "15\xE2\x80\xB2"
       "36\xE2\x80\xB3N",
       true, 30.0 + 15.0 / 60.0 + 36.0 / 3600.0, Axis::latitude},
      {"-30:15:36", true, -(30.0 + 15.0 / 60.0 + 36.0 / 3600.0), Axis::none},
      {"30d15", true, 30.25, Axis::none},
      {"30d60'", false, 0.0, Axis::none},
      {"30'15d", false, 0.0, Axis::none},
      {"-30d15'N", false, 0.0, Axis::none},
      {"30:", false, 0.0, Axis::none},
      {"N", false, 0.0, Axis::none},
      {"0x10", false, 0.0, Axis::none},
      {"30abc", false, 0.0, Axis::none},
      {"inf", false, 0.0, Axis::none},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    double degrees = 999.0;
    Axis axis = Axis::none;
    std::string why;
    ASSERT_EQ(tarnutil::cli::ParseAngle(c.field, degrees, axis, why), c.ok) << why;
    if (c.ok) {
      EXPECT_EQ(degrees, c.degrees);
      EXPECT_EQ(axis, c.axis);
    }
  }
}

TEST(ReadRecords, DmsOutputCarriesIntoMinutesAndDegrees) {
  using tarnutil::cli::Axis;
  using tarnutil::cli::FormatDms;
  EXPECT_EQ(FormatDms(110.0 + 30.0 / 60.0 + 15.0 / 3600.0, Axis::longitude, 3), "110d30'15.000\"E");
  EXPECT_EQ(FormatDms(-30.25, Axis::latitude, 0), "30d15'00\"S");
  // 59.9996 seconds rounds up to the next minute, and to the next degree.
  EXPECT_EQ(FormatDms(29.0 + 59.0 / 60.0 + 59.9996 / 3600.0, Axis::latitude, 3), "30d00'00.000\"N");
}

TEST(ReadRecords, MessagesQuoteAShortPrefix) {
  const std::string huge(5000000, '7');
  std::string why;
  double value = 0.0;
  EXPECT_FALSE(tarnutil::cli::ParseDouble(huge + "x", value, why));
  EXPECT_LT(why.size(), 80u);
  EXPECT_EQ(tarnutil::cli::Quote("short"), "'short'");
  // Never cut inside a UTF-8 character.
  const std::string accents(30, 'a');
  const std::string quoted = tarnutil::cli::Quote(std::string(23, 'a') + "\xC3\xA9" + accents);
  EXPECT_EQ(quoted.compare(0, 25, "'" + std::string(23, 'a') + "."), 0);
}

TEST(ClipPlumbing, CornersInAnyOrderClipTheSame) {
  using tarnutil::cli::ClipPolygon;
  using tarnutil::cli::ClipPolyline;
  using tarnutil::cli::RectFromCorners;
  auto pt = [](std::int32_t x, std::int32_t y) {
    tagPOINT p;
    p.x = x;
    p.y = y;
    return p;
  };
  // A zigzag in and out of the square: three visible pieces.
  const std::vector<tagPOINT> line = {pt(-50, 10), pt(50, 10),  pt(50, 150), pt(60, 150),
                                      pt(60, 50),  pt(150, 50), pt(150, 90), pt(90, 90)};
  const std::vector<tagPOINT> square = {pt(-10, -10), pt(50, -10), pt(50, 50), pt(-10, 50)};
  const auto reference = ClipPolyline(RectFromCorners(0, 0, 100, 100), line);
  ASSERT_EQ(reference.size(), 3u);
  const auto referenceArea = ClipPolygon(RectFromCorners(0, 0, 100, 100), square, false);
  ASSERT_FALSE(referenceArea.empty());
  const std::int32_t orders[][4] = {{100, 100, 0, 0}, {0, 100, 100, 0}, {100, 0, 0, 100}};
  for (const auto& o : orders) {
    SCOPED_TRACE(testing::Message() << o[0] << " " << o[1] << " " << o[2] << " " << o[3]);
    const auto pieces = ClipPolyline(RectFromCorners(o[0], o[1], o[2], o[3]), line);
    ASSERT_EQ(pieces.size(), reference.size());
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      ASSERT_EQ(pieces[i].size(), reference[i].size());
      for (std::size_t j = 0; j < pieces[i].size(); ++j) {
        EXPECT_EQ(pieces[i][j].x, reference[i][j].x);
        EXPECT_EQ(pieces[i][j].y, reference[i][j].y);
      }
    }
    const auto area = ClipPolygon(RectFromCorners(o[0], o[1], o[2], o[3]), square, false);
    ASSERT_EQ(area.size(), referenceArea.size());
    for (std::size_t j = 0; j < area.size(); ++j) {
      EXPECT_EQ(area[j].x, referenceArea[j].x);
      EXPECT_EQ(area[j].y, referenceArea[j].y);
    }
  }
}

// A small 24-bit bitmap to draw on, and the set pixels as a picture.
class CanvasTest : public testing::Test {
 protected:
  void Make(int width, int height) {
    block_ = tarnutil::cli::MakePackedDib24(width, height);
    ASSERT_EQ(dib_.AttachDIB(reinterpret_cast<tagBITMAPINFO*>(block_.data()), nullptr, 0), 1);
  }

  // One text row per pixel row: '#' for a pixel of colour ink, '.' else.
  std::string Picture(std::uint32_t ink) const {
    std::string out;
    for (int y = 0; y < dib_.GetHeight(); ++y) {
      for (int x = 0; x < dib_.GetWidth(); ++x) {
        out += dib_.GetRGBValue(x, y) == ink ? '#' : '.';
      }
      out += '\n';
    }
    return out;
  }

  std::vector<unsigned char> block_;
  CDIB dib_;
};

constexpr std::uint32_t ink = 0x123456;

TEST_F(CanvasTest, FillPolygonCoversPixelCentresInside) {
  struct Case {
    std::vector<PixelPoint> polygon;
    const char* picture;
  };
  const Case cases[] = {
      // Edges on pixel boundaries: exactly the pixels between them.
      {{{1, 1}, {4, 1}, {4, 3}, {1, 3}}, ".....\n.###.\n.###.\n.....\n"},
      // Edges through pixel centres: left and top centres in, right and
      // bottom out, so neighbouring shapes never share a pixel.
      {{{0.5, 0.5}, {3.5, 0.5}, {3.5, 2.5}, {0.5, 2.5}}, "###..\n###..\n.....\n.....\n"},
      // A triangle, wound the other way.
      {{{0, 0}, {0, 4}, {4, 4}}, ".....\n#....\n##...\n###..\n"},
      // Even-odd: the loop round the middle pixel twice leaves it out.
      {{{0, 0}, {3, 0}, {3, 3}, {0, 3}, {0, 0}, {1, 1}, {1, 2}, {2, 2}, {2, 1}, {1, 1}},
       "###..\n#.#..\n###..\n.....\n"},
      // Too few points to enclose anything.
      {{{0, 0}, {4, 4}}, ".....\n.....\n.....\n.....\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.picture);
    Make(5, 4);
    Canvas canvas(dib_);
    canvas.Clear(0);
    canvas.FillPolygon(c.polygon, ink);
    EXPECT_EQ(Picture(ink), c.picture);
  }
}

TEST_F(CanvasTest, LinesIncludeBothEndsAndStayInside) {
  struct Case {
    int x0, y0, x1, y1, width;
    const char* picture;
  };
  const Case cases[] = {
      {1, 2, 4, 2, 1, ".......\n.......\n.####..\n.......\n.......\n"},
      {0, 0, 3, 3, 1, "#......\n.#.....\n..#....\n...#...\n.......\n"},
      {5, 1, 1, 3, 1, ".......\n.....#.\n...##..\n.##....\n.......\n"},
      {3, 2, 3, 2, 3, ".......\n..###..\n..###..\n..###..\n.......\n"},
      {3, 2, 3, 2, 5, "..###..\n.#####.\n.#####.\n.#####.\n..###..\n"},
      // Running off the edges draws what is inside and nothing else.
      {-5, 4, 20, 4, 1, ".......\n.......\n.......\n.......\n#######\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.picture);
    Make(7, 5);
    Canvas canvas(dib_);
    canvas.Clear(0);
    canvas.Line(c.x0, c.y0, c.x1, c.y1, c.width, ink);
    EXPECT_EQ(Picture(ink), c.picture);
  }
}

TEST(WriteBmp24, WritesHeadersAndPaddedRowsBottomUp) {
  std::vector<unsigned char> block = tarnutil::cli::MakePackedDib24(3, 2);
  CDIB dib;
  ASSERT_EQ(dib.AttachDIB(reinterpret_cast<tagBITMAPINFO*>(block.data()), nullptr, 0), 1);
  const std::uint32_t colours[2][3] = {{0x010203, 0x040506, 0x070809},
                                       {0x0A0B0C, 0x0D0E0F, 0x101112}};
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      ASSERT_EQ(dib.SetPixelIndex(x, y, colours[y][x]), 1);
    }
  }
  const std::string path = "write_bmp24_test.bmp";
  ASSERT_TRUE(tarnutil::cli::WriteBmp24(dib, path));
  std::ifstream in(path, std::ios::binary);
  const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
  in.close();
  std::remove(path.c_str());

  // 14 + 40 header bytes, then two rows of 9 pixel bytes padded to 12.
  const std::vector<unsigned char> expected = {
      'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header
      40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0,             // size, width, height
      1, 0, 24, 0, 0, 0, 0, 0, 24, 0, 0, 0,            // planes, bits, compression, image bytes
      0x13, 0x0B, 0, 0, 0x13, 0x0B, 0, 0,              // 72 dots per inch both ways
      0, 0, 0, 0, 0, 0, 0, 0,                          // no colour table
      // The bottom row comes first, each pixel blue, green, red.
      0x0C, 0x0B, 0x0A, 0x0F, 0x0E, 0x0D, 0x12, 0x11, 0x10, 0, 0, 0, 0x03, 0x02, 0x01, 0x06, 0x05,
      0x04, 0x09, 0x08, 0x07, 0, 0, 0};
  EXPECT_EQ(bytes, expected);
}

}  // namespace
