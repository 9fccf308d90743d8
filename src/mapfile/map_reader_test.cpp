#include "mapfile/map_reader.h"

#include <gtest/gtest.h>

#include "mapfile/map_writer.h"

namespace kal2map {
namespace {

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

}  // namespace
}  // namespace kal2map
