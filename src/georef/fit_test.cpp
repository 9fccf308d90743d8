#include "georef/fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace kal2map {
namespace {

constexpr double kSecond = 1.0 / 3600;

GeoPoint Turned(double x, double y) {  // turned by 0.3 rad, 2 seconds per pixel
  return {0, x, y, 10 + 2 * kSecond * (std::cos(0.3) * x + std::sin(0.3) * y),
          50 + 2 * kSecond * (std::sin(0.3) * x - std::cos(0.3) * y)};
}

GeoPoint Far(double dx, double dy) {  // a huge scan at the antimeridian, 0.1 s per pixel
  return {0, 1e5 + dx, 2e5 + dy, 179.9 + 0.1 * kSecond * dx, -16 - 0.1 * kSecond * dy};
}

TEST(FitGeoPoints, RecoversTheMap) {
  const struct {
    std::vector<GeoPoint> points;
    double slopes[4];  // lon per x, lon per y, lat per x, lat per y
  } cases[] = {
      // Two points: north up as GDAL makes it, though the points suggest a turn.
      {{{1, 100, 200, 10.0, 50.0}, {2, 900, 800, 10.4, 49.7}}, {0.0005, 0, 0, -0.0005}},
      {{Turned(0, 0), Turned(4000, 0), Turned(4000, 3000), Turned(0, 3000)},
       {2 * kSecond * std::cos(0.3), 2 * kSecond * std::sin(0.3), 2 * kSecond * std::sin(0.3),
        -2 * kSecond * std::cos(0.3)}},
      {{Far(0, 0), Far(300, 7), Far(13, 290), Far(310, 280)},
       {0.1 * kSecond, 0, 0, -0.1 * kSecond}},
      {{{1, 0, 0, 179.9, 1}, {2, 1000, 0, -179.9, 1}, {3, 0, 1000, 179.9, 0}},
       {0.0002, 0, 0, -0.001}},
  };
  for (const auto& k : cases) {
    const GeoFit fit = FitGeoPoints(k.points);
    ASSERT_TRUE(fit.ok());
    const double slopes[] = {fit.lon.cu, fit.lon.cv, fit.lat.cu, fit.lat.cv};
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(slopes[i], k.slopes[i], 1e-15) << k.points[0].lon;
    for (const GeoPoint& p : k.points) {
      EXPECT_NEAR(std::remainder(fit.At(p.x, p.y).lon - p.lon, 360), 0, 1e-9) << p.lon;
      EXPECT_NEAR(fit.At(p.x, p.y).lat, p.lat, 1e-9) << p.lon;
    }
  }
}

TEST(FitGeoPoints, NamesWhyItCannotPlaceTheMap) {
  using enum FitFailure;
  const FitFailure few = kTooFewPoints, line = kOnOneLine, shared = kSharedXOrY, no_area = kNoArea;
  const struct {
    std::vector<GeoPoint> points;
    FitFailure error;
  } cases[] = {
      {{}, few},
      {{{1, 10, 10, 8, 50}}, few},
      {{{1, 0, 0, 8, 50}, {2, 100, 100, 8.1, 49.9}, {3, 200, 200, 8.2, 49.8}}, line},
      {{{1, 1e5, 1e5, 8, 50}, {2, 2e5, 2e5, 9, 49}, {3, 3e5, 3e5 + 1, 10, 48}}, line},  // 1 in 1e5
      {{{1, 0, 0, 8, 50}, {2, 2, 0, 8.1, 50}, {3, 0, 2, 8, 49.9}}, kNone},  // tiny, but a triangle
      {{{1, 100, 0, 8, 50}, {2, 100, 900, 8.1, 49.9}}, shared},
      {{{1, 0, 900, 8, 50}, {2, 100, 900, 8.1, 49.9}}, shared},
      {{{1, 0, 0, 8, 50}, {2, 100, 100, 8, 49.9}}, no_area},
      {{{1, 0, 0, 8, 50}, {2, 100, 0, 8.1, 50}, {3, 0, 100, 8, 50}}, no_area},
      {{{1, 0, 0, 8, 50}, {2, 100, 0, std::nan(""), 50}, {3, 0, 100, 8, 49}}, kNotANumber},
  };
  for (const auto& k : cases) EXPECT_EQ(FitGeoPoints(k.points).failure, k.error) << k.points.size();
}

TEST(Border, IsTheFitAtTheImageCornersInOrder) {
  const GeoFit fit =
      FitGeoPoints(std::vector<GeoPoint>{{1, 0, 0, 179.5, 1}, {2, 1000, 1000, -179.5, 0}});
  const auto corners = Border(fit, 1500, 500);
  const LonLat expected[] = {{179.5, 1}, {-179, 1}, {-179, 0.5}, {179.5, 0.5}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(corners[i].lon, expected[i].lon, 1e-12) << i;
    EXPECT_NEAR(corners[i].lat, expected[i].lat, 1e-12) << i;
  }
}

TEST(MetresPerPixel, MatchesPublishedLengthsOfADegree) {
  const struct {
    std::vector<GeoPoint> points;
    double metres_per_degree;
  } cases[] = {
      {{{1, 0, 0, 0, 0.5}, {2, 1000, 1000, 1000 * kSecond, -0.5}}, 111319.49},  // equator, lon
      {{{1, 0, 0, 0, 0}, {2, 1000, 0, 0, 1000 * kSecond}, {3, 0, 1000, 1, 0}}, 110574.27},  // lat
      {{{1, 0, 0, 8, 70}, {2, 1000, 1000, 8 + 1000 * kSecond, 50}}, 55799.98},  // 60 at the centre
  };
  for (const auto& k : cases) {
    EXPECT_NEAR(MetresPerPixel(FitGeoPoints(k.points), 1000, 1000), k.metres_per_degree / 3600,
                1e-3)
        << k.metres_per_degree;
  }
}

}  // namespace
}  // namespace kal2map
