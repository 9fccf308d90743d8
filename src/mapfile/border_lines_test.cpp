#include "mapfile/border_lines.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kal2map
