#include "mapfile/border_lines.h"

#include <gtest/gtest.h>

#include <algorithm>

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
