#include "georef/sheet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace kal2map {
namespace {

// A sheet drawn in `drawn`, scanned 1.2 degrees turned, calibrated at its corners and centre
// in whole pixels and six decimals.
std::vector<GeoPoint> Sheet(const Projection& drawn, double lat, double lon, double degrees) {
  std::vector<GeoPoint> points;
  const Planar centre = *Forward(drawn, lat, lon);
  const double turn = 1.2 * std::numbers::pi / 180;
  const double scale = drawn.kind == ProjectionKind::kLatLon ? 20000 : 0.2;  // pixels per unit
  for (const auto& [dx, dy] : {std::pair{-1, -1}, {1, -1}, {1, 1}, {-1, 1}, {0, 0}}) {
    GeoPoint p;
    p.number = static_cast<int>(points.size()) + 1;
    p.lat = std::round((lat - dy * degrees / 4) * 1e6) / 1e6;
    p.lon = WrapLongitude(std::round((lon + dx * degrees / 2) * 1e6) / 1e6);
    const Planar at = *Forward(drawn, p.lat, p.lon);
    const double u = (at.x - centre.x) * scale, v = (centre.y - at.y) * scale;
    p.x = std::round(5000 + u * std::cos(turn) - v * std::sin(turn));
    p.y = std::round(4000 + u * std::sin(turn) + v * std::cos(turn));
    points.push_back(p);
  }
  return points;
}

TEST(FitSheet, ChoosesThePlaneTheSheetWasDrawnIn) {
  Projection degrees;
  struct Case {
    Projection drawn;
    double lat, lon, degrees;
    ProjectionKind chosen;
  };
  const Case cases[] = {
      {*UtmZone(67, 25), 67, 25, 3, ProjectionKind::kTransverseMercator},
      {*UtmZone(-33, 151), -33.5, 150.8, 1, ProjectionKind::kTransverseMercator},
      {LambertForSpan(44, 54, 10), 49, 10, 6, ProjectionKind::kLambertConic},
      {MercatorAt(8), 50, 8, 2, ProjectionKind::kMercator},
      {degrees, 50, 8, 2, ProjectionKind::kLatLon},
      // Too small to tell: degrees stay.
      {*UtmZone(48, 11), 48, 11.4, 0.01, ProjectionKind::kLatLon},
      // Across the antimeridian degrees would tear the sheet apart in every reader.
      {*UtmZone(-17, 179.9), -17, 179.9, 1, ProjectionKind::kTransverseMercator},
  };
  for (const Case& c : cases) {
    const std::vector<GeoPoint> points = Sheet(c.drawn, c.lat, c.lon, c.degrees);
    const std::optional<SheetModel> sheet = FitSheet(points);
    ASSERT_TRUE(sheet) << c.lat << " " << c.lon;
    EXPECT_EQ(sheet->projection.kind, c.chosen) << c.lat << " " << c.lon;
    // The model places every point within its rounding, both ways.
    for (const GeoPoint& p : points) {
      const auto pixel = sheet->PixelAt(p.lat, p.lon);
      ASSERT_TRUE(pixel);
      EXPECT_NEAR((*pixel)[0], p.x, 2) << c.lat << " " << c.lon;
      EXPECT_NEAR((*pixel)[1], p.y, 2) << c.lat << " " << c.lon;
    }
  }
  const std::vector<GeoPoint> four = Sheet(degrees, 50, 8, 1);
  EXPECT_FALSE(FitSheet(std::span(four).first(3)));
}

}  // namespace
}  // namespace kal2map
