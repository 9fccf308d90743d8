#include "frame/frame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

namespace kal2map {
namespace {

// A white scan whose pixels `dark` says are black, decoded from the top as a codec would.
class Drawn : public ImageRows {
 public:
  Drawn(std::uint32_t w, std::uint32_t h, std::function<bool(double, double)> dark)
      : w_(w), h_(h), dark_(std::move(dark)) {}
  std::uint32_t width() const override { return w_; }
  std::uint32_t height() const override { return h_; }
  std::error_code NextRow(std::uint8_t* rgb) override {
    for (std::uint32_t x = 0; x < w_; ++x) std::memset(rgb + 3 * x, dark_(x, y_) ? 30 : 255, 3);
    return ++y_, std::error_code{};
  }

 private:
  std::uint32_t w_, h_, y_ = 0;
  std::function<bool(double, double)> dark_;
};

// A 1:250,000 sheet of the UTM zone, 1.5 x 1 degrees, 100 m a pixel, with a 50 px collar,
// calibrated at its corners and centre: the parallels bow by pixels across it.
struct Sheet {
  Projection utm = *UtmZone(47.5, 14.75);
  double e0 = Forward(utm, 48, 14)->x - 5000, n0 = Forward(utm, 48, 14.75)->y + 5000;
  ScanPoint Pixel(double lat, double lon) const {
    const Planar p = *Forward(utm, lat, lon);
    return {(p.x - e0) / 100, (n0 - p.y) / 100};
  }
  std::vector<GeoPoint> Points() const {
    std::vector<GeoPoint> points;
    for (auto [lat, lon] :
         {std::pair{48.0, 14.0}, {48, 15.5}, {47, 15.5}, {47, 14}, {47.5, 14.75}}) {
      const ScanPoint at = Pixel(lat, lon);
      points.push_back({static_cast<int>(points.size()) + 1, at[0], at[1], lon, lat});
    }
    return points;
  }
};

TEST(FrameTest, TracesTheBowingParallelsWithinHalfAPixelAndFindsTheNeatline) {
  const Sheet s;
  const std::vector<GeoPoint> points = s.Points();
  const std::optional<SheetModel> model = FitSheetIn(s.utm, points);
  const auto corners = FrameCornersOf(points, 1200, 1250);
  ASSERT_TRUE(model && corners);
  const std::optional<Frame> frame = TraceFrame(*model, *corners);
  ASSERT_TRUE(frame);
  EXPECT_GT(frame->corner_index[1], 2u);  // the northern parallel is no straight line
  const auto off_frame = [&](ScanPoint p) {
    double nearest = 1e9;
    for (std::size_t i = 0; i < frame->outline.size(); ++i) {
      const ScanPoint a = frame->outline[i], b = frame->outline[(i + 1) % frame->outline.size()];
      const double t = std::clamp(((p[0] - a[0]) * (b[0] - a[0]) + (p[1] - a[1]) * (b[1] - a[1])) /
                                      (std::pow(b[0] - a[0], 2) + std::pow(b[1] - a[1], 2)),
                                  0.0, 1.0);
      nearest = std::min(
          nearest, std::hypot(a[0] + t * (b[0] - a[0]) - p[0], a[1] + t * (b[1] - a[1]) - p[1]));
    }
    return nearest;
  };
  for (double t = 0; t <= 1; t += 1.0 / 64) {
    for (const ScanPoint p : {s.Pixel(48, 14 + 1.5 * t), s.Pixel(47, 14 + 1.5 * t),
                              s.Pixel(47 + t, 14), s.Pixel(47 + t, 15.5)}) {
      EXPECT_LT(off_frame(p), kTraceTolerance) << p[0] << " " << p[1];
    }
  }
  // The neatline as printed, broken along a third of one edge, and 5 px outside the frame.
  const struct {
    std::function<bool(double, double)> dark;
    bool found;
  } scans[] = {
      {[&](double x, double y) {
         return off_frame({x + 0.5, y + 0.5}) < 1.5;
       },
       true},
      {[&](double x, double y) {
         return off_frame({x + 0.5, y + 0.5}) < 1.5 && (y > 100 || x < 750);
       },
       false},
      {[&](double x, double y) {
         return std::abs(off_frame({x + 0.5, y + 0.5}) - 5) < 1;
       },
       false},
  };
  for (const auto& scan : scans) {
    Drawn image(1200, 1250, scan.dark);
    EXPECT_EQ(FindFrame(points, *model, image).has_value(), scan.found);
  }
}

TEST(FrameTest, NeedsAPointNearEveryImageCornerSpanningHalfTheImage) {
  const std::vector<std::vector<GeoPoint>> no_frame = {
      {{1, 50, 40}, {2, 950, 40}, {3, 950, 760}, {5, 500, 400}},     // three corners
      {{1, 300, 240}, {2, 700, 240}, {3, 700, 560}, {4, 300, 560}},  // inner grid
      {{1, 190, 150}, {2, 810, 150}, {3, 810, 150}, {4, 190, 155}},  // no area
  };
  for (const auto& points : no_frame) EXPECT_FALSE(FrameCornersOf(points, 1000, 800));
  const std::vector<GeoPoint> grid = {{1, 60, 50},  {2, 940, 50}, {3, 940, 750},
                                      {4, 60, 750}, {5, 100, 90}, {6, 500, 400}};
  const auto corners = FrameCornersOf(grid, 1000, 800);
  ASSERT_TRUE(corners);
  EXPECT_EQ((*corners)[0].number, 1);  // the nearest to its image corner
}

}  // namespace
}  // namespace kal2map
