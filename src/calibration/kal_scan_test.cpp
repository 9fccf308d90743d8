#include "calibration/kal_scan.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>

#include "platform/line_reader.h"

namespace kal2map {
namespace {

// Joins lines with CR LF, the line end calibration files usually have.
std::string Crlf(std::initializer_list<const char*> lines) {
  std::string text;
  for (const char* line : lines) text += std::string(line) + "\r\n";
  return text;
}

const std::string kTwoPoints =
    Crlf({"[Calibration Point1]", "Latitude = 52.5", "Longitude = 13.25", "Pixel = (10, 20)",
          "[Calibration Point2]", "Latitude = 52.4", "Longitude = 13.3", "Pixel = (500, 600)"});

TEST(ReadKal, FillsOneRowPerPointSection) {
  State state;
  ReadKalText(state, kTwoPoints);
  EXPECT_EQ(state.PointCount, 2);
  EXPECT_EQ(state.Points[1], (PointRow{"", "10", " 20", "52", " 30", "13", " 15"}));
  EXPECT_EQ(state.Points[2], (PointRow{"", "500", " 600", "52", " 24", "13", " 18"}));
  EXPECT_EQ(state.Points[3], PointRow{});
}

TEST(ReadKal, EveryLineEndReadsTheSame) {
  for (const std::string end : {"\r", "\n", "\r\n"}) {
    std::string text = std::regex_replace(kTwoPoints, std::regex("\r\n"), end);
    for (bool final_end : {true, false}) {
      if (!final_end) text.resize(text.size() - end.size());
      State state;
      ReadKalText(state, text);
      EXPECT_EQ(state.PointCount, 2);
      EXPECT_EQ(state.Points[2], (PointRow{"", "500", " 600", "52", " 24", "13", " 18"}));
    }
  }
}

TEST(ReadKal, SectionsAndHeaders) {
  struct Case {
    std::string text;
    std::int64_t count;
    PointRow row1;
  };
  const Case cases[] = {
      {"", 0, {}},
      // Numbers in headers do not matter; order in the file does.
      {Crlf({"[Calibration Point5]", "Latitude = 1.5"}), 1, {"", "", "", "1", " 30", "", ""}},
      // Field lines before the first point header or after another header change no row.
      {Crlf({"Latitude = 1.5", "[Calibration Point1]", "[Other]", "Latitude = 2.5"}), 1, {}},
      // A header with blanks in front is a line of the open section before it opens its own.
      {Crlf({"[Calibration Point1]", "Pixel = (1, 2)", "  [Calibration Point2] Latitude = 3.5"}),
       2,
       {"", "1", " 2", "3", " 30", "", ""}},
      {Crlf({"[calibration point1]", "Latitude = 1.5"}), 0, {}},
      {std::string("[Calibration Point1]\r\nLatitude = 1.\0"
                   "5\r\n",
                   39),
       1,
       {"", "", "", "1", " 0", "", ""}},
  };
  for (const Case& c : cases) {
    State state;
    ReadKalText(state, c.text);
    EXPECT_EQ(state.PointCount, c.count) << c.text;
    EXPECT_EQ(state.Points[1], c.row1) << c.text;
  }
}

TEST(ReadKal, SectionsPastTheTableAreCountedOnly) {
  std::string text;
  for (int i = 1; i <= 200000; ++i) text += "[Calibration Point]\nLatitude = 7.5\nPixel = (1,2)\n";
  State state;
  ReadKalText(state, text);
  EXPECT_EQ(state.PointCount, 200000);
  for (int r = 1; r <= kMaxPoints; ++r) EXPECT_EQ(state.Points[r][LatDeg], "7");
  EXPECT_EQ(state.Points[0], PointRow{});
}

// Past the 30th section only lines holding "[Calibration Point" or "Bitmap" are looked at;
// the outcome must be that of taking every line, whatever the mix of lines and line ends.
TEST(ReadKal, FullTableGivesTheSameStateAsEveryLine) {
  const char* pieces[] = {"[Calibration Point]",
                          "  [Calibration Point] x",
                          "[Other]",
                          "Latitude = 7.5",
                          "Pixel = (1, 2)",
                          "Bitmap = b.png",
                          "Bitmap b.png",
                          "x Bitmap = c = d",
                          "[Calibration PointBitmap=e",
                          "",
                          "[Calibration Point][Calibration Point]"};
  const char* ends[] = {"\r\n", "\r", "\n"};
  std::mt19937 random(5);
  for (int round = 0; round < 50; ++round) {
    std::string text;
    for (int i = 0; i < 400; ++i) {
      text += pieces[random() % std::size(pieces)];
      text += ends[random() % std::size(ends)];
    }
    if (round % 2) text.pop_back();
    State fast;
    fast.BitmapExt = round % 3 ? "" : ".jpg";
    ReadKalText(fast, text);

    State each;
    each.BitmapExt = fast.BitmapExt;
    ScanState scan;
    LineSplitter splitter(text);
    for (std::string_view line; splitter.Next(line);) ScanLine(each, scan, line);
    EXPECT_EQ(fast.PointCount, each.PointCount) << round;
    EXPECT_EQ(fast.BitmapName, each.BitmapName) << round;
    EXPECT_EQ(fast.Points, each.Points) << round;
  }
}

TEST(ReadKal, NextFileStartsFromAnEmptyTable) {
  State state;
  std::string many;
  for (int i = 0; i < 40; ++i) many += "[Calibration Point]\rPixel = (9, 9)\r";
  ReadKalText(state, many + "Bitmap = a.png\r");
  EXPECT_EQ(state.PointCount, 40);  // not lowered: no map was written for it
  ReadKalText(state, Crlf({"[Calibration Point1]", "Latitude = 1.5"}));
  EXPECT_EQ(state.PointCount, 1);
  EXPECT_EQ(state.Points[1], (PointRow{"", "", "", "1", " 30", "", ""}));
  for (int r = 2; r <= kMaxPoints; ++r) EXPECT_EQ(state.Points[r], PointRow{}) << r;
  EXPECT_EQ(state.BitmapName, "");
}

TEST(ReadKal, ImageReference) {
  struct Case {
    std::string lines, ext, bitmap;
  };
  const Case cases[] = {
      {"Bitmap = Karte.png", "", "Karte.png"},
      {"Bitmap = Karte.png", ".bmp", "Karte.bmp"},
      {"Bitmap = Karte", ".jpg", "Karte.jpg"},
      {"Bitmap = .png", ".bmp", ".png.bmp"},
      {"Bitmap = C:\\Karten\\Karte.png", ".bmp", "C:\\Karten\\Karte.bmp"},
      {"Bitmap = C:\\Karten.neu\\Karte", ".bmp", "C:\\Karten.neu\\Karte.bmp"},
      {"Bitmap = /karten.neu/Karte", ".bmp", "/karten.neu/Karte.bmp"},
      {"Bitmap = C:\\Karten\\.png", ".bmp", "C:\\Karten\\.png.bmp"},
      {"Bitmap =", "", ""},
      {"Bitmap =", ".bmp", ".bmp"},
      {"Bitmap Karte.png", ".bmp", ""},
      {"bitmap = Karte.png", "", ""},
      {"Bitmap = a.png\nBitmap = b.png", "", "b.png"},
      {"Bitmap = M\xFC\x6Cheim a.d. Ruhr.JPG", "", "M\xFC\x6Cheim a.d. Ruhr.JPG"},
      {"[Calibration Point1]\nBitmap = x.png = y", "", "x.png = y"},
      {"Latitude = 1.5", ".png", ""},
  };
  for (const Case& c : cases) {
    State state;
    state.BitmapExt = c.ext;
    ReadKalText(state, c.lines);
    EXPECT_EQ(state.BitmapName, c.bitmap) << c.lines << " " << c.ext;
  }
}

}  // namespace
}  // namespace kal2map
