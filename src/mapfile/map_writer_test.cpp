#include "mapfile/map_writer.h"

#include <gtest/gtest.h>

#include "record/map_format.h"

namespace kal2map {
namespace {

std::vector<std::string> Lines(const std::string& file) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = file.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(file.substr(start, end - start));
  }
  EXPECT_EQ(start, file.size()) << "text after the last CR LF";
  return lines;
}

// Line k (1-based) of a map whose points are all empty, from lines 4 on.
std::string TemplateLine(int k) {
  if (k <= 9) return std::string(map_format::kLinesAfterImage[k - 4]);
  if (k <= 39) return std::string(map_format::EmptyPointLine(k - 9));
  return std::string(map_format::kClosingLines[k - 40]);
}

void SetRow(State& state, int r, PointRow row) { state.Points[r] = row; }

TEST(BuildMap, TwoPointsGiveTheirPointLinesAndTheRestOfTheTemplate) {
  State state;
  state.BitmapName = "C:\\Karten\\Stadtplan.BMP";
  SetRow(state, 1, {"", "410", " 385", "52", " 9.336", "13", " 30"});
  SetRow(state, 2, {"", "980", " 760", "52", " 30", "13", " 15"});
  state.PointCount = 2;
  const auto lines = Lines(BuildMap(state));
  ASSERT_EQ(lines.size(), 43u);
  EXPECT_EQ(lines[0], "OziExplorer Map Data File Version 2.2");
  EXPECT_EQ(lines[1], "stadtplan.bmp");
  EXPECT_EQ(lines[2], "C:\\Karten\\Stadtplan.BMP");
  EXPECT_EQ(lines[9],
            "Point01,xy,  410,  385,in, deg,  52,  9.336,N,  13,  30,E, grid,   ,           ,"
            "           ,N");
  EXPECT_EQ(lines[10],
            "Point02,xy,  980,  760,in, deg,  52,  30,N,  13,  15,E, grid,   ,           ,"
            "           ,N");
  for (int k = 4; k <= 9; ++k) EXPECT_EQ(lines[k - 1], TemplateLine(k));
  for (int k = 12; k <= 43; ++k) EXPECT_EQ(lines[k - 1], TemplateLine(k)) << k;
  // The writer pads copies: the table keeps the cells as the reader stored them.
  EXPECT_EQ(state.Points[1][PixelX], "410");
  EXPECT_EQ(state.Points[1][LatDeg], "52");
}

TEST(BuildMap, PointCountDecidesWhereTheTemplateResumes) {
  struct Case {
    std::int64_t count;
    std::int64_t clamped;
  };
  for (Case c : {Case{0, 0}, Case{2, 2}, Case{30, 30}, Case{35, 30}, Case{200000, 30}}) {
    State state;
    for (int r = 1; r <= kMaxPoints; ++r) SetRow(state, r, {"", "1", " 2", "3", " 4", "5", " 6"});
    state.PointCount = c.count;
    const auto lines = Lines(BuildMap(state));
    EXPECT_EQ(state.PointCount, c.count);  // clamped where it is read, not in the record
    ASSERT_EQ(lines.size(), 43u) << c.count;
    for (int k = 10; k <= 43; ++k) {
      if (k - 9 <= c.clamped) {
        EXPECT_NE(lines[k - 1], TemplateLine(k)) << c.count << " line " << k;
        EXPECT_EQ(lines[k - 1].substr(0, 7), TemplateLine(k).substr(0, 7));
      } else {
        EXPECT_EQ(lines[k - 1], TemplateLine(k)) << c.count << " line " << k;
      }
    }
  }
}

TEST(BuildMap, CellsArePaddedButNeverCut) {
  struct Case {
    PointRow row;
    std::string line;
  };
  const Case cases[] = {
      {{"", "5", "", "7", " 1", "123", " 2"},
       "Point01,xy,    5,     ,in, deg,   7,  1,N, 123,  2,E, grid,   ,           ,           ,N"},
      {{"", "12345", " 6", "52", "", "13", ""},
       "Point01,xy, 12345,    6,in, deg,  52, ,N,  13, ,E, grid,   ,           ,           ,N"},
      // Southern and western values lose their sign and name their hemisphere instead.
      {{"", "1", " 2", "-33", " 15", "-7", " 30"},
       "Point01,xy,    1,    2,in, deg,  33,  15,S,   7,  30,W, grid,   ,           ,           "
       ",N"},
      {{"", "1", " 2", "-0", " 30", "151", " 12.5"},
       "Point01,xy,    1,    2,in, deg,   0,  30,S, 151,  12.5,E, grid,   ,           ,           "
       ",N"},
      {{"", "1", " 2", "-", " 30", "-123", " 1"},
       "Point01,xy,    1,    2,in, deg,   0,  30,S, 123,  1,W, grid,   ,           ,           ,N"},
      // Text that is not a number reaches the map unchanged.
      {{"", "a,b", "", "52,5", "", "x", ""},
       "Point01,xy,  a,b,     ,in, deg, 52,5, ,N,   x, ,E, grid,   ,           ,           ,N"},
  };
  for (const Case& c : cases) {
    State state;
    SetRow(state, 1, c.row);
    state.PointCount = 1;
    const auto lines = Lines(BuildMap(state));
    EXPECT_EQ(lines[9], c.line);
    // Writing the same record again changes nothing.
    EXPECT_EQ(Lines(BuildMap(state))[9], c.line);
  }
}

TEST(BuildMap, ImageNameLines) {
  struct Case {
    std::string bitmap, line2;
  };
  const Case cases[] = {
      {"C:\\Karten\\Stadtplan.BMP", "stadtplan.bmp"},
      {"Stadtplan.BMP", "stadtplan.bmp"},
      {"D:/karten/Plan.PNG", "d:/karten/plan.png"},
      {"C:\\Karten\\", ""},
      {"", ""},
      {"\xC4RGER \xDC\xDF.PNG", "\xE4rger \xFC\xDF.png"},  // Windows-1252: ÄRGER Üß
      {"\x8A\x8C\x8E\x9F\xC0\xD7\xDE.JPG", "\x9A\x9C\x9E\xFF\xE0\xD7\xFE.jpg"},
  };
  for (const Case& c : cases) {
    State state;
    state.BitmapName = c.bitmap;
    const auto lines = Lines(BuildMap(state));
    EXPECT_EQ(lines[1], c.line2) << c.bitmap;
    EXPECT_EQ(lines[2], c.bitmap);
  }
}

TEST(BuildMap, LongTextsAreWrittenWhole) {
  State state;
  state.BitmapName = std::string(100000, 'A') + "\\" + std::string(70000, 'B');
  SetRow(state, 1, {"", std::string(40000, '9'), "", "", "", "", ""});
  state.PointCount = 1;
  const auto lines = Lines(BuildMap(state));
  EXPECT_EQ(lines[1], std::string(70000, 'b'));
  EXPECT_NE(lines[9].find(std::string(40000, '9')), std::string::npos);
}

}  // namespace
}  // namespace kal2map
