#include "georef/projection.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kal2map {
namespace {

using enum ProjectionKind;
const Projection kUtm32{kTransverseMercator, 0, 9, 0.9996, 500000, 0};
const Projection kUtm21S{kTransverseMercator, 0, -57, 0.9996, 500000, 10000000};
const Projection kTmDateLine{kTransverseMercator, 0, 180, 0.9996, 500000, 0};
const Projection kTmLat0{kTransverseMercator, 49, -2, 0.9996012717, 400000, -100000};
const Projection kMerc{kMercator, 0, 0, 1, 0, 0};
const Projection kMercScaled{kMercator, 0, -177, 0.97, 100, 200};
const Projection kQueensland{kLambertConic, 0, 152, 1, 2500000, 100000, -24.666667, -27.333333};
const Projection kFrance{kLambertConic, 46.5, 3, 1, 700000, 6600000, 49, 44};
const Projection kBering{kLambertConic, 60, -177, 1, 0, 0, 55, 65};
const Projection kFlatCone{kLambertConic, 30, 58, 1, 452400, -8840654, -10.7, -1.8};

TEST(Projection, AgreesWithProjAndReturnsToThePoint) {
  // From PROJ 9.1.1: echo "lon lat" | cs2cs +proj=lonlat +datum=WGS84 +to <the projection,
  // e.g. +proj=tmerc +lat_0=0 +lon_0=9 +k=0.9996 +x_0=500000 +y_0=0 +datum=WGS84> -f %.4f
  const struct {
    const Projection& p;
    double lat, lon, x, y;
  } cases[] = {
      {kUtm32, 50, 9, 500000, 5538630.7029},
      {kUtm32, 50.5, 13, 783640.3542, 5601870.8268},
      {kUtm32, 67, 5, 325688.7186, 7436983.9923},
      {kUtm32, 0, 9.5, 555638.1924, 0},
      {kUtm32, 40, 34, 2644174.3256, 4739287.9760},
      {kUtm21S, -20, -61, 81316.7616, 7783514.4366},
      {kTmDateLine, 65, 179, 452844.8776, 7208827.5457},
      {kTmDateLine, 65, -179, 547155.1224, 7208827.5457},
      {kTmDateLine, -16, -177, 821099.9968, -1771254.0183},
      {kTmLat0, 52, 1, 605929.1809, 237832.9035},
      {kMerc, 50, 10, 1113194.9079, 6413524.5942},
      {kMerc, -70, -170, -18924313.4349, -11028513.6309},
      {kMercScaled, 50, 179, -431819.6243, 6221318.8563},
      {kQueensland, -26, 153, 2600089.7767, -2874339.7929},
      {kQueensland, -28, 155, 2795159.6467, -3098937.0152},
      {kQueensland, -90, 30, 2500000, -15954764.9673},
      {kFrance, 48.85, 2.35, 652301.5648, 6861302.7259},
      {kFrance, 90, 40, 700000, 12655612.0498},
      {kBering, 66, 179, -181835.1563, 672925.3543},
      {kBering, 52, -170, 482519.0019, -864620.7774},
      {kFlatCone, -90, 58, 452400, -71135642.5646},
  };
  for (const auto& k : cases) {
    const Planar q = Forward(k.p, k.lat, k.lon).value_or(Planar{NAN, NAN});
    EXPECT_NEAR(q.x, k.x, 1e-3) << k.lat << " " << k.lon;
    EXPECT_NEAR(q.y, k.y, 1e-3) << k.lat << " " << k.lon;
    const LonLat back = Inverse(k.p, q.x, q.y).value_or(LonLat{0, -999});
    EXPECT_NEAR(back.lat, k.lat, 1e-9) << k.lon;
    // At a pole every longitude is the same point.
    EXPECT_NEAR(std::remainder(back.lon - k.lon, 360) * std::cos(k.lat * kRad), 0, 1e-9);
  }
}

TEST(Projection, ReachesItsEdgesAndNoFurther) {
  const Projection no_scale{kTransverseMercator, 0, 9, 0},
      equator_cone{kLambertConic, 0, 0, 1, 0, 0, -20.0 / 3, 20.0 / 3};
  const struct {
    const Projection& p;
    double lat, lon;
  } forward[] = {
      {kMerc, 90, 0},         {kMerc, -89.7, 0},   {kUtm32, 50, 89},       {kUtm32, 0, 40},
      {kUtm32, 91, 9},        {kUtm32, NAN, 9},    {no_scale, 50, 9},      {equator_cone, 5, 1},
      {kQueensland, 90, 152}, {kFrance, -89.9, 3}, {kUtm32, 50, INFINITY},
  };
  for (const auto& k : forward) EXPECT_FALSE(Forward(k.p, k.lat, k.lon)) << k.lat << " " << k.lon;
  const struct {
    const Projection& p;
    double x, y, lat;  // lat NaN: nothing there
  } inverse[] = {
      {kMerc, 0, 4e7, NAN},                 // beyond the pole's margin
      {kMerc, 2.1e7, 0, NAN},               // more than half a turn east
      {kUtm32, 500000, 1.1e7, NAN},         // beyond the north pole
      {kUtm32, 4.5e6, 0, NAN},              // 34 degrees east on the equator
      {kUtm32, 1e300, 0, NAN},              // the series would overflow
      {kFrance, 700000, 2e7, NAN},          // in the cone's gap, north of its apex
      {kFrance, 700000, -1e9, NAN},         // beyond the far pole
      {kQueensland, 2500000, -1.7e7, NAN},  // past the apex at the south pole
      {kUtm32, 0, INFINITY, NAN},
      // A rounding's width from a pole, where every direction is a step beyond the edge.
      {kUtm32, 500000 + 1e-7, 9997964.9431, 90},
      {kFlatCone, 452400 - 1e-7, -71135642.5646 + 1e-7, -90},
  };
  for (const auto& k : inverse) {
    const std::optional<LonLat> q = Inverse(k.p, k.x, k.y);
    EXPECT_EQ(q.has_value(), !std::isnan(k.lat)) << k.x << " " << k.y;
    EXPECT_TRUE(!q || std::abs(q->lat - k.lat) < 1e-9) << k.x << " " << k.y;
  }
}

}  // namespace
}  // namespace kal2map
