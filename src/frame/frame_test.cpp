#include "frame/frame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <tuple>

namespace kal2map {
namespace {

// A white scan, black where `dark` says, decoded from the top as a codec would.
struct Drawn : ImageRows {
  std::function<bool(double, double)> dark;
  std::uint32_t y = 0;
  std::uint32_t width() const override { return 1200; }
  std::uint32_t height() const override { return 1250; }
  std::error_code NextRow(std::uint8_t* rgb) override {
    for (std::uint32_t x = 0; x < width(); ++x) std::memset(rgb + 3 * x, dark(x, y) ? 30 : 255, 3);
    return ++y, std::error_code{};
  }
};

// A 1:250,000 sheet of 1.5 x 1 degrees in its UTM zone, 100 m a pixel, with a collar, whose
// parallels bow by pixels; calibrated at its corners and centre.
TEST(FrameTest, TracesTheBowingParallelsWithinHalfAPixelAndNeedsTheNeatline) {
  const Projection utm = *UtmZone(47.5, 14.75);
  const double e0 = Forward(utm, 48, 14)->x - 5000, n0 = Forward(utm, 48, 14.75)->y + 5000;
  const auto pixel = [&](double lat, double lon) {
    const Planar p = *Forward(utm, lat, lon);
    return ScanPoint{(p.x - e0) / 100, (n0 - p.y) / 100};
  };
  std::vector<GeoPoint> points;
  for (auto [lat, lon] : {std::pair{48.0, 14.0}, {48, 15.5}, {47, 15.5}, {47, 14}, {47.5, 14.75}}) {
    const ScanPoint at = pixel(lat, lon);
    points.push_back({static_cast<int>(points.size()) + 1, at[0], at[1], lon, lat});
  }
  const std::optional<SheetModel> model = FitSheetIn(utm, points);
  const auto corners = FrameCornersOf(points, 1200, 1250);
  const std::optional<Frame> frame = model && corners ? TraceFrame(*model, *corners) : std::nullopt;
  ASSERT_TRUE(frame);
  const auto off_frame = [&](ScanPoint p) {
    double nearest = 1e9;
    for (std::size_t i = 0; i < frame->outline.size(); ++i) {
      const ScanPoint a = frame->outline[i], b = frame->outline[(i + 1) % frame->outline.size()];
      const double dx = b[0] - a[0], dy = b[1] - a[1];
      const double t =
          std::clamp(((p[0] - a[0]) * dx + (p[1] - a[1]) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
      nearest = std::min(nearest, std::hypot(a[0] + t * dx - p[0], a[1] + t * dy - p[1]));
    }
    return nearest;
  };
  for (double t = 0; t <= 1; t += 1.0 / 64) {
    for (const ScanPoint p : {pixel(48, 14 + 1.5 * t), pixel(47, 14 + 1.5 * t), pixel(47 + t, 14),
                              pixel(47 + t, 15.5)}) {
      EXPECT_LT(off_frame(p), kTraceTolerance);
    }
  }
  // The neatline as printed, broken along a third of one edge, and 5 px off the frame.
  for (const auto& [offset, broken, found] :
       {std::tuple{0.0, false, true}, {0.0, true, false}, {5.0, false, false}}) {
    Drawn image;
    image.dark = [&](double x, double y) {
      return std::abs(off_frame({x + 0.5, y + 0.5}) - offset) < 1.5 &&
             !(broken && y < 100 && x > 750);
    };
    EXPECT_EQ(FindFrame(points, *model, image).has_value(), found);
  }
}

}  // namespace
}  // namespace kal2map
