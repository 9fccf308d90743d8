#include "frame/frame.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace kal2map {
namespace {

// A printed neatline: every channel below this, within kLineReach pixels of the traced edge,
// along at least kLineShare of each edge's length.
constexpr int kDarkBelow = 100;
constexpr double kLineReach = 3;
constexpr double kLineShare = 0.8;
// Halving an edge this often follows any parallel a sheet can show, and bounds the vertices.
constexpr int kMaxDepth = 12;

double Cross(ScanPoint o, ScanPoint a, ScanPoint b) {
  return (a[0] - o[0]) * (b[1] - o[1]) - (a[1] - o[1]) * (b[0] - o[0]);
}

double DistanceToSegment(ScanPoint p, ScanPoint a, ScanPoint b) {
  const double dx = b[0] - a[0], dy = b[1] - a[1];
  const double length2 = dx * dx + dy * dy;
  const double t =
      length2 > 0 ? std::clamp(((p[0] - a[0]) * dx + (p[1] - a[1]) * dy) / length2, 0.0, 1.0) : 0;
  return std::hypot(p[0] - a[0] - t * dx, p[1] - a[1] - t * dy);
}

bool Inside(const std::vector<ScanPoint>& polygon, ScanPoint p) {
  bool inside = false;
  for (std::size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
    const ScanPoint a = polygon[i], b = polygon[j];
    if ((a[1] > p[1]) != (b[1] > p[1]) &&
        p[0] < a[0] + (p[1] - a[1]) / (b[1] - a[1]) * (b[0] - a[0])) {
      inside = !inside;
    }
  }
  return inside;
}

// One edge from corner a to corner b along a parallel or meridian: the sheet's curve, shifted
// along the way so that it starts and ends on the corners' own pixels, which the sheet's fit
// misses by the points' noise.
class CurvedEdge {
 public:
  CurvedEdge(const SheetModel& sheet, const GeoPoint& a, const GeoPoint& b)
      : sheet_(sheet), a_(a), dlat_(b.lat - a.lat), dlon_(WrapLongitude(b.lon - a.lon)) {
    const auto start = sheet.PixelAt(a.lat, a.lon), end = sheet.PixelAt(b.lat, a.lon + dlon_);
    if (!start || !end) {
      ok_ = false;
      return;
    }
    shift_start_ = {a.x - (*start)[0], a.y - (*start)[1]};
    shift_end_ = {b.x - (*end)[0], b.y - (*end)[1]};
  }

  bool ok() const { return ok_; }

  ScanPoint At(double t) {
    const auto at = sheet_.PixelAt(a_.lat + t * dlat_, a_.lon + t * dlon_);
    if (!at) {
      ok_ = false;
      return {};
    }
    return {(*at)[0] + (1 - t) * shift_start_[0] + t * shift_end_[0],
            (*at)[1] + (1 - t) * shift_start_[1] + t * shift_end_[1]};
  }

  // Appends the vertices strictly between t0 and t1 that keep the chords on the curve.
  void Trace(double t0, ScanPoint p0, double t1, ScanPoint p1, std::vector<ScanPoint>& out,
             int depth = 0) {
    const double tm = (t0 + t1) / 2;
    const ScanPoint pm = At(tm);
    if (!ok_) return;
    // The quarter points too: an S-bend can pass through the chord's middle.
    const ScanPoint q1 = At((t0 + tm) / 2), q3 = At((tm + t1) / 2);
    const double off = std::max({DistanceToSegment(pm, p0, p1), DistanceToSegment(q1, p0, p1),
                                 DistanceToSegment(q3, p0, p1)});
    if (!ok_ || off <= kTraceTolerance / 2 || depth >= kMaxDepth) return;
    Trace(t0, p0, tm, pm, out, depth + 1);
    out.push_back(pm);
    Trace(tm, pm, t1, p1, out, depth + 1);
  }

 private:
  const SheetModel& sheet_;
  GeoPoint a_;
  double dlat_, dlon_;
  ScanPoint shift_start_{}, shift_end_{};
  bool ok_ = true;
};

struct Sample {
  double x = 0, y = 0;
  int edge = 0;
  bool covered = false;
};

// Points about a pixel apart along each edge of `frame`, sorted top down.
std::vector<Sample> SamplesAlong(const Frame& frame) {
  std::vector<Sample> samples;
  const std::size_t n = frame.outline.size();
  for (int edge = 0; edge < 4; ++edge) {
    const std::size_t first = frame.corner_index[edge];
    const std::size_t last = edge == 3 ? n : frame.corner_index[edge + 1];
    for (std::size_t i = first; i < last; ++i) {
      const ScanPoint a = frame.outline[i], b = frame.outline[(i + 1) % n];
      const double steps = std::max(1.0, std::ceil(std::hypot(b[0] - a[0], b[1] - a[1])));
      for (double s = 0; s < steps; ++s) {
        samples.push_back(
            {a[0] + s / steps * (b[0] - a[0]), a[1] + s / steps * (b[1] - a[1]), edge});
      }
    }
  }
  std::ranges::sort(samples, {}, &Sample::y);
  return samples;
}

}  // namespace

std::optional<FrameCorners> FrameCornersOf(std::span<const GeoPoint> points, double width,
                                           double height) {
  const std::array<ScanPoint, 4> image_corners{{{0, 0}, {width, 0}, {width, height}, {0, height}}};
  FrameCorners corners;
  for (std::size_t k = 0; k < 4; ++k) {
    const GeoPoint* nearest = nullptr;
    double best = 0;
    for (const GeoPoint& p : points) {
      const double dx = std::abs(p.x - image_corners[k][0]),
                   dy = std::abs(p.y - image_corners[k][1]);
      if (!(dx <= kCornerReach * width && dy <= kCornerReach * height)) continue;
      if (!nearest || std::hypot(dx, dy) < best) {
        nearest = &p;
        best = std::hypot(dx, dy);
      }
    }
    if (!nearest) return std::nullopt;
    corners[k] = *nearest;
  }
  double twice_area = 0;
  for (std::size_t k = 0; k < 4; ++k) {
    const GeoPoint &a = corners[k], &b = corners[(k + 1) % 4], &c = corners[(k + 2) % 4];
    // Clockwise on the scan, whose y runs down: every turn the same way, or no quadrilateral.
    if (!(Cross({a.x, a.y}, {b.x, b.y}, {c.x, c.y}) > 0)) return std::nullopt;
    twice_area += a.x * b.y - b.x * a.y;
  }
  if (!(twice_area / 2 >= kLeastFrameShare * width * height)) return std::nullopt;
  return corners;
}

std::optional<Frame> TraceFrame(const SheetModel& sheet, const FrameCorners& corners) {
  Frame frame;
  frame.corners = corners;
  for (std::size_t edge = 0; edge < 4; ++edge) {
    const GeoPoint &a = corners[edge], &b = corners[(edge + 1) % 4];
    frame.corner_index[edge] = frame.outline.size();
    frame.outline.push_back({a.x, a.y});
    const bool parallel = std::abs(a.lat - b.lat) <= kSameDegree;
    const bool meridian = std::abs(WrapLongitude(a.lon - b.lon)) <= kSameDegree;
    if (parallel == meridian) continue;  // straight in the scan, or one place twice
    CurvedEdge curve(sheet, a, b);
    if (curve.ok()) curve.Trace(0, {a.x, a.y}, 1, {b.x, b.y}, frame.outline);
    if (!curve.ok()) return std::nullopt;
  }
  return frame;
}

bool HoldsPoints(const std::vector<ScanPoint>& outline, std::span<const GeoPoint> points) {
  return std::ranges::all_of(points, [&](const GeoPoint& p) {
    const ScanPoint at{p.x, p.y};
    if (Inside(outline, at)) return true;
    for (std::size_t i = 0; i < outline.size(); ++i) {
      if (DistanceToSegment(at, outline[i], outline[(i + 1) % outline.size()]) <= kPointSlack) {
        return true;
      }
    }
    return false;
  });
}

bool ShowsNeatline(ImageRows& image, const Frame& frame) {
  std::vector<Sample> samples = SamplesAlong(frame);
  if (samples.empty()) return false;
  const std::int64_t width = image.width(), height = image.height();
  const std::int64_t last_row =
      std::min<std::int64_t>(height - 1, static_cast<std::int64_t>(samples.back().y + kLineReach));
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * 3);
  std::size_t first = 0;  // the first sample not yet above the rows to come
  for (std::int64_t row = 0; row <= last_row; ++row) {
    if (image.NextRow(rgb.data())) return false;
    const double cy = static_cast<double>(row) + 0.5;
    while (first < samples.size() && samples[first].y < cy - kLineReach) ++first;
    for (std::size_t i = first; i < samples.size() && samples[i].y <= cy + kLineReach; ++i) {
      Sample& s = samples[i];
      if (s.covered) continue;
      const double reach2 = kLineReach * kLineReach - (cy - s.y) * (cy - s.y);
      const double reach = std::sqrt(std::max(0.0, reach2));
      const auto x0 = std::max<std::int64_t>(0, std::llround(std::ceil(s.x - reach - 0.5)));
      const auto x1 =
          std::min<std::int64_t>(width - 1, std::llround(std::floor(s.x + reach - 0.5)));
      for (std::int64_t x = x0; x <= x1 && !s.covered; ++x) {
        const std::uint8_t* p = &rgb[static_cast<std::size_t>(x) * 3];
        s.covered = p[0] < kDarkBelow && p[1] < kDarkBelow && p[2] < kDarkBelow;
      }
    }
  }
  std::array<double, 4> covered{}, total{};
  for (const Sample& s : samples) {
    total[s.edge] += 1;
    covered[s.edge] += s.covered ? 1 : 0;
  }
  for (int edge = 0; edge < 4; ++edge) {
    if (!(covered[edge] >= kLineShare * total[edge])) return false;
  }
  return true;
}

std::optional<Frame> FindFrame(std::span<const GeoPoint> points, const SheetModel& sheet,
                               ImageRows& image) {
  const std::optional<FrameCorners> corners = FrameCornersOf(
      points, static_cast<double>(image.width()), static_cast<double>(image.height()));
  if (!corners) return std::nullopt;
  std::optional<Frame> frame = TraceFrame(sheet, *corners);
  if (!frame || !HoldsPoints(frame->outline, points)) return std::nullopt;
  // A frame within the image is not much longer than its border; a sheet whose curves run far
  // off it would only cost samples that no line can confirm.
  double length = 0;
  for (std::size_t i = 0; i < frame->outline.size(); ++i) {
    const ScanPoint a = frame->outline[i], b = frame->outline[(i + 1) % frame->outline.size()];
    length += std::hypot(b[0] - a[0], b[1] - a[1]);
  }
  const double border = 2.0 * (image.width() + image.height());
  if (!(length <= 2 * border) || !ShowsNeatline(image, *frame)) return std::nullopt;
  return frame;
}

}  // namespace kal2map
