#include "calibration/point_fields.h"

#include <gtest/gtest.h>

#include <charconv>

namespace kal2map {
namespace {

constexpr const char* kKeep = "<old>";  // a cell's text before the line is parsed

struct LineCase {
  std::string line;
  PointRow expected;  // columns 1..6; kKeep where the cell must keep its earlier text
};

TEST(ParsePointLine, CutsFieldsIntoTheCurrentRow) {
  const LineCase cases[] = {
      {"Latitude = 52.15560", {"", kKeep, kKeep, "52", " 9.336", kKeep, kKeep}},
      {"Longitude=13.5", {"", kKeep, kKeep, kKeep, kKeep, "13", " 30"}},
      {"Latitude = -33.25", {"", kKeep, kKeep, "-33", " 15", kKeep, kKeep}},
      // Whole degrees read as if they ended in a point, so the minutes field is never empty.
      {"Latitude = 52", {"", kKeep, kKeep, "52", " 0", kKeep, kKeep}},
      {"Longitude = -41", {"", kKeep, kKeep, kKeep, kKeep, "-41", " 0"}},
      {"Latitude = 0", {"", kKeep, kKeep, "0", " 0", kKeep, kKeep}},
      {"Latitude = -", {"", kKeep, kKeep, "-", kKeep, kKeep, kKeep}},
      {"Latitude = 5 2", {"", kKeep, kKeep, "5 2", kKeep, kKeep, kKeep}},
      {"Latitude = +52", {"", kKeep, kKeep, "+52", kKeep, kKeep, kKeep}},
      {"Latitude = 52N", {"", kKeep, kKeep, "52N", kKeep, kKeep, kKeep}},
      {"Latitude = 52.", {"", kKeep, kKeep, "52", " 0", kKeep, kKeep}},
      {"Latitude = .5", {"", kKeep, kKeep, ".5", kKeep, kKeep, kKeep}},
      {"Latitude = 52,5", {"", kKeep, kKeep, "52,5", kKeep, kKeep, kKeep}},
      {"Latitude = 52.1.5", {"", kKeep, kKeep, "52", " 6", kKeep, kKeep}},
      {"Latitude = 52.5 N", {"", kKeep, kKeep, "52", " 30", kKeep, kKeep}},
      {"Latitude = 52.15 560", {"", kKeep, kKeep, "52", " 9.336", kKeep, kKeep}},
      {"Latitude = 52.5e3", {"", kKeep, kKeep, "52", " 30", kKeep, kKeep}},
      {"Latitude =\t52.5", {"", kKeep, kKeep, "\t52", " 30", kKeep, kKeep}},
      {"latitude = 52.5", {"", kKeep, kKeep, kKeep, kKeep, kKeep, kKeep}},
      {"Latitude 52.5", {"", kKeep, kKeep, kKeep, kKeep, kKeep, kKeep}},
      {"Latitude = 52.5, Longitude = 13.25", {"", kKeep, kKeep, "52", " 30", "52", " 30"}},
      {"Pixel = (410, 385)", {"", "410", " 385", kKeep, kKeep, kKeep, kKeep}},
      {"Pixel=(410,385)", {"", "410", "385", kKeep, kKeep, kKeep, kKeep}},
      {"Pixel = (410, 385", {"", "410", " 385", kKeep, kKeep, kKeep, kKeep}},
      {"Pixel = (  410 , 385 )", {"", "410 ", " 385 ", kKeep, kKeep, kKeep, kKeep}},
      {"Pixel = 410, 385", {"", "410, 385", kKeep, kKeep, kKeep, kKeep, kKeep}},
      {"Pixel = (410)", {"", "410", kKeep, kKeep, kKeep, kKeep, kKeep}},
      {"Pixel = (,385)", {"", ",385", kKeep, kKeep, kKeep, kKeep, kKeep}},
      {"Pixel = ", {"", "", kKeep, kKeep, kKeep, kKeep, kKeep}},
      {"", {"", kKeep, kKeep, kKeep, kKeep, kKeep, kKeep}},
  };
  for (const LineCase& c : cases) {
    State state;
    state.PointCount = 3;
    for (int col = PixelX; col <= LonMin; ++col) state.Points[3][col] = kKeep;
    ParsePointLine(state, c.line);
    for (int col = PixelX; col <= LonMin; ++col) {
      EXPECT_EQ(state.Points[3][col], c.expected[col]) << "'" << c.line << "' column " << col;
    }
    for (int r : {2, 4}) EXPECT_EQ(state.Points[r], PointRow{}) << "row " << r << " touched";
  }
}

TEST(ParsePointLine, PixelLineWithoutEqualsWorksOnTheStoredValue) {
  State state;
  state.PointCount = 1;
  ParsePointLine(state, "Pixel = (410, 385)");
  ParsePointLine(state, "Pixel without value");
  EXPECT_EQ(state.Points[1][PixelX], "410");
  EXPECT_EQ(state.Points[1][PixelY], " 385");
}

TEST(ParsePointLine, LaterLatitudeLineWinsOnlyWhereItSetsCells) {
  State state;
  state.PointCount = 1;
  ParsePointLine(state, "Latitude = 52.5");
  ParsePointLine(state, "Latitude = 48,5");
  EXPECT_EQ(state.Points[1][LatDeg], "48,5");
  EXPECT_EQ(state.Points[1][LatMin], " 30");
  ParsePointLine(state, "Latitude = 48");
  EXPECT_EQ(state.Points[1][LatMin], " 0");
}

TEST(ParsePointLine, RowsOutsideTheTableAreNeverWritten) {
  for (std::int64_t count : {std::int64_t{0}, kMaxPoints + 1, std::int64_t{1} << 40}) {
    State state;
    state.PointCount = count;
    ParsePointLine(state, "Latitude = 52.5 Pixel = (1, 2)");
    for (const auto& row : state.Points) EXPECT_EQ(row, PointRow{}) << count;
  }
}

TEST(FractionToMinutes, GivesMinutesText) {
  const std::pair<std::string, std::string> cases[] = {
      {"15560", " 9.336"},
      {"5", " 30"},
      {"25", " 15"},
      {"51763", " 31.0578"},
      {"", " 0"},
      {"9999999999999999", " 60"},
      {"01", " 0.6"},
      {"0000001", " 0.000006"},
      {"00000000000000000001", " 0." + std::string(18, '0') + "6"},
      {"1 5\t5\n60", " 9.336"},
      {"5e3", " 30"},
      {"x5", " 0"},
      {"-5", " 0"},
      {"333333333333333333333333", " 20"},
      {"123456789", " 7.40740734"},
      // Exactly 15 significant digits: 14 would give 12.345678901235, 16 12.34567890123456.
      {"205761315020576", " 12.3456789012346"},
      {"987654321987654321", " 59.2592593192593"},
      {std::string(5000, '3'), " 20"},
      {std::string(2000, '0') + "5", " 0"},
  };
  for (const auto& [fraction, minutes] : cases) {
    EXPECT_EQ(FractionToMinutes(fraction), minutes) << fraction.substr(0, 40);
  }
}

TEST(FractionToMinutes, AlwaysOneBlankThenANumberFromZeroToSixty) {
  std::string fraction;
  for (int i = 0; i < 2000; ++i) {
    fraction += static_cast<char>('0' + (i * 7919 + i / 3) % 10);
    std::string text = FractionToMinutes(fraction);
    ASSERT_EQ(text[0], ' ');
    ASSERT_NE(text[1], ' ');
    ASSERT_EQ(text.find_first_of("eE+-"), std::string::npos) << text;
    double value = -1;
    auto [end, ec] = std::from_chars(text.data() + 1, text.data() + text.size(), value);
    ASSERT_EQ(end, text.data() + text.size()) << text;
    ASSERT_GE(value, 0);
    ASSERT_LE(value, 60);
    if (text.find('.') != std::string::npos) {
      ASSERT_NE(text.back(), '0') << text;
    }
  }
}

}  // namespace
}  // namespace kal2map
