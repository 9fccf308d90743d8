#include "control/frame_job.h"

#include <cmath>

#include "image/image.h"

namespace kal2map {

bool WantsFrames(const State& state) {
  return state.FrameMaps || !state.OverviewPath.empty() || !state.MbtilesPath.empty() ||
         !state.KmzAllPath.empty();
}

SheetFrame FrameOfSheet(std::span<const GeoPoint> points, const SheetFit& fit,
                        const SheetImage& image) {
  SheetFrame out;
  if (!image.path) return out;
  std::error_code ec;
  const std::unique_ptr<ImageRows> rows = OpenImageRows(*image.path, ec);
  if (!rows) return out;
  out.width = rows->width();
  out.height = rows->height();
  if (fit.sheet) out.frame = FindFrame(points, *fit.sheet, *rows);
  return out;
}

void FrameBorder(MapBorder& border, const Frame& frame, const SheetModel& sheet) {
  MapBorder framed = border;
  framed.frame.emplace();
  for (std::size_t i = 0; i < 4; ++i) {
    // Readers take the border's pixels as whole numbers; the degrees must be those of the
    // pixel written, not of the point clicked.
    const std::int64_t x = std::llround(frame.corners[i].x), y = std::llround(frame.corners[i].y);
    const std::optional<LonLat> at = sheet.LonLatAt(static_cast<double>(x), static_cast<double>(y));
    if (!at) return;
    (*framed.frame)[i] = {x, y};
    framed.corners[i] = {at->lon, at->lat};
  }
  border = framed;
}

}  // namespace kal2map
