#include "mapfile/border_lines.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "mapfile/map_reader.h"
#include "mapfile/map_writer.h"
#include "test_util.h"

namespace kal2map {
namespace {

TEST(BorderLines, ThirteenLinesInTheOrderMapToolsWrite) {
  MapBorder border;
  border.width = 6000;
  border.height = 4000;
  border.corners = {{{13.2, 52.6}, {-13.5, 52.6}, {13.5, -2.25}, {179.9999994, 0}}};
  border.metres_per_pixel = 2.5;
  EXPECT_EQ(BorderLines(border),
            "MM0,Yes\r\nMMPNUM,4\r\nMMPXY,1,0,0\r\nMMPXY,2,6000,0\r\nMMPXY,3,6000,4000\r\n"
            "MMPXY,4,0,4000\r\nMMPLL,1,  13.200000,  52.600000\r\n"
            "MMPLL,2, -13.500000,  52.600000\r\nMMPLL,3,  13.500000,  -2.250000\r\n"
            "MMPLL,4, 179.999999,   0.000000\r\nMM1B,2.500000\r\nMOP,Map Open Position,0,0\r\n"
            "IWH,Map Image Width/Height,6000,4000\r\n");
}

TEST(UsablePoints, TakesPointsAsReadersDoFromTheWrittenLines) {
  struct Case {
    PointRow row;
    bool usable;
    double x = 0, y = 0, lon = 0, lat = 0;
  };
  const Case cases[] = {
      {{"", "410", " 385", "52", " 9", "13", " 30"}, true, 410, 385, 13.5, 52.15},
      {{"", "1.5", "2", "-33", " 15", "-7", " 30"}, true, 1.5, 2, -7.5, -33.25},
      {{"", "1", "2", "-", " 30", "0", " 0"}, true, 1, 2, 0, -0.5},
      {{"", "1", "2", "52", "", "13", " 0"}, false},      // empty minutes
      {{"", "1", "2", "", " 0", "13", " 0"}, false},      // empty degrees
      {{"", "a", "2", "52", " 0", "13", " 0"}, false},    // pixel not a number
      {{"", "1,5", "2", "52", " 0", "13", " 0"}, false},  // a comma shifts every field
      {{"", "1", "2", "52,5", " 0", "13", " 0"}, false},
      {{"", "1", "2", "inf", " 0", "13", " 0"}, false},
  };
  for (const Case& c : cases) {
    State state;
    state.Points[2] = c.row;
    state.PointCount = 2;
    const auto points = UsablePoints(BuildMap(state));
    ASSERT_EQ(points.size(), c.usable ? 1u : 0u) << c.row[PixelX] << " " << c.row[LatDeg];
    if (!c.usable) continue;
    EXPECT_EQ(points[0].number, 2);
    EXPECT_DOUBLE_EQ(points[0].x, c.x);
    EXPECT_DOUBLE_EQ(points[0].y, c.y);
    EXPECT_DOUBLE_EQ(points[0].lon, c.lon);
    EXPECT_DOUBLE_EQ(points[0].lat, c.lat);
  }
}

TEST(DeclareProjection, LineNineAndTheSetupLineInTheFieldsReadersTake) {
  Projection cone{
      ProjectionKind::kLambertConic, 0, 152, 1, 2500000, 100000, -24.666667, -27.333333};
  Projection utm{ProjectionKind::kTransverseMercator, 0, -177, 0.9996, 500000, 10000000};
  Projection mercator{ProjectionKind::kMercator, 0, 8.25};
  const std::pair<Projection, std::string> cases[] = {
      {cone,
       "Lambert Conformal Conic|Projection Setup, 0.000000000, 152.000000000, 1.000000000, "
       "2500000.00, 100000.00, -24.666667000, -27.333333000,,,"},
      {utm,
       "Transverse Mercator|Projection Setup, 0.000000000, -177.000000000, 0.999600000, "
       "500000.00, 10000000.00,,,,,"},
      {mercator,
       "Mercator|Projection Setup, 0.000000000, 8.250000000, 1.000000000, 0.00, 0.00,,,,,"},
  };
  for (const auto& [projection, lines] : cases) {
    std::string map = BuildMap(State{});
    DeclareProjection(map, projection);
    const std::string name = lines.substr(0, lines.find('|'));
    EXPECT_EQ(test::Line(map, 9),
              "Map Projection," + name + ",PolyCal,No,AutoCalOnly,No,BSBUseWPX,No");
    EXPECT_EQ(test::Line(map, 40), lines.substr(lines.find('|') + 1));
    EXPECT_EQ(std::count(map.begin(), map.end(), '\n'), 43);
  }
}

}  // namespace
}  // namespace kal2map
