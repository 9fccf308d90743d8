#include "georef/sheet.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace kal2map {
namespace {

// Whole pixels and coordinates typed to a few decimals leave this much misfit (pixels, root
// mean square) in any plane; differences below it tell nothing about the plane.
constexpr double kNoisePixels = 0.3;
// A plane must fit better than another by this share of the worse one's misfit, beyond the
// noise, to be preferred to it.
constexpr double kClearlyBetter = 0.5;

std::optional<AffinePair> Invert(const AffinePair& a) {
  const double det = a.p.cu * a.q.cv - a.p.cv * a.q.cu;
  if (!(std::abs(det) > 0) || !std::isfinite(det)) return std::nullopt;
  AffinePair inv;
  inv.p.cu = a.q.cv / det;
  inv.p.cv = -a.p.cv / det;
  inv.q.cu = -a.q.cu / det;
  inv.q.cv = a.p.cu / det;
  inv.p.c0 = -(inv.p.cu * a.p.c0 + inv.p.cv * a.q.c0);
  inv.q.c0 = -(inv.q.cu * a.p.c0 + inv.q.cv * a.q.c0);
  return inv;
}

struct Fitted {
  SheetModel sheet;
  double misfit = 0;  // root mean square, in pixels, of the points around where the fit puts them
};

std::optional<Fitted> Fit(const Projection& projection, std::span<const GeoPoint> points) {
  std::vector<AffineSample> samples;
  for (const GeoPoint& p : points) {
    const std::optional<Planar> at = Forward(projection, p.lat, p.lon);
    if (!at) return std::nullopt;
    samples.push_back({p.x, p.y, at->x, at->y});
  }
  const std::optional<AffinePair> plane = FitAffine(samples);
  if (!plane) return std::nullopt;
  const std::optional<AffinePair> pixel = Invert(*plane);
  if (!pixel) return std::nullopt;
  double sum = 0;
  for (const AffineSample& s : samples) {
    const double x = pixel->p(s.p, s.q), y = pixel->q(s.p, s.q);
    sum += (x - s.u) * (x - s.u) + (y - s.v) * (y - s.v);
  }
  return Fitted{{projection, *plane, *pixel}, std::sqrt(sum / static_cast<double>(samples.size()))};
}

// Whether `a` fits clearly better than `b`; no misfit counts as below the noise.
bool ClearlyBetter(double a, double b) {
  return std::max(a, kNoisePixels) + kClearlyBetter * std::max(b, kNoisePixels) < b;
}

Projection DegreesAround(double lon) {
  Projection degrees;
  degrees.lon0 = lon;
  return degrees;
}

}  // namespace

std::optional<LonLat> SheetModel::LonLatAt(double x, double y) const {
  return Inverse(projection, plane.p(x, y), plane.q(x, y));
}

std::optional<std::array<double, 2>> SheetModel::PixelAt(double lat, double lon) const {
  const std::optional<Planar> at = Forward(projection, lat, lon);
  if (!at) return std::nullopt;
  return std::array<double, 2>{pixel.p(at->x, at->y), pixel.q(at->x, at->y)};
}

std::optional<SheetModel> FitSheetIn(const Projection& projection,
                                     std::span<const GeoPoint> points) {
  const std::optional<Fitted> fitted = Fit(projection, points);
  if (!fitted) return std::nullopt;
  return fitted->sheet;
}

std::optional<SheetModel> FitSheet(std::span<const GeoPoint> points) {
  if (points.size() < 4) return std::nullopt;
  const auto [lon, lat, lat_min, lat_max, across_antimeridian] = SpreadOf(points);
  if (!std::isfinite(lon) || !std::isfinite(lat)) return std::nullopt;

  const Projection degrees = DegreesAround(lon);
  const std::optional<Fitted> in_degrees =
      across_antimeridian ? std::nullopt : Fit(degrees, points);
  // Within twice the noise no plane can fit clearly better: most sheets end here, cheaply.
  if (in_degrees && !ClearlyBetter(0, in_degrees->misfit)) return in_degrees->sheet;
  std::vector<Projection> others;
  if (const auto utm = UtmZone(lat, lon)) others.push_back(*utm);
  others.push_back(MercatorAt(lon));
  others.push_back(LambertForSpan(lat_min, lat_max, lon));

  std::optional<Fitted> best;
  for (const Projection& projection : others) {
    const std::optional<Fitted> fitted = Fit(projection, points);
    // The first, the transverse Mercator, stays unless another is clearly better.
    if (fitted && (!best || ClearlyBetter(fitted->misfit, best->misfit))) best = fitted;
  }
  if (best && (!in_degrees || ClearlyBetter(best->misfit, in_degrees->misfit))) return best->sheet;
  if (in_degrees) return in_degrees->sheet;
  return std::nullopt;
}

SheetFit FitMapSheet(std::span<const GeoPoint> points) {
  const GeoFit fit = FitGeoPoints(points);
  if (!fit.ok()) return {std::nullopt, fit.failure};
  std::optional<SheetModel> sheet;
  if (points.size() >= 4) sheet = FitSheet(points);
  if (!sheet) {
    // The map's own fit in degrees, as readers make it from two or three points.
    const double lon = fit.At(0, 0).lon;
    AffinePair plane{fit.lon, fit.lat};
    plane.p.c0 -= lon - WrapLongitude(lon);
    const std::optional<AffinePair> pixel = Invert(plane);
    if (!pixel) return {std::nullopt, FitFailure::kNoArea};
    sheet = SheetModel{DegreesAround(WrapLongitude(lon)), plane, *pixel};
  }
  return {sheet, FitFailure::kNone};
}

std::optional<std::array<LonLat, 4>> CornersOf(const SheetModel& sheet, double width,
                                               double height) {
  const std::array<std::array<double, 2>, 4> pixels = {
      {{0, 0}, {width, 0}, {width, height}, {0, height}}};
  std::array<LonLat, 4> corners;
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    const std::optional<LonLat> at = sheet.LonLatAt(pixels[i][0], pixels[i][1]);
    if (!at) return std::nullopt;
    corners[i] = *at;
  }
  return corners;
}

std::optional<double> MetresPerPixelAt(const SheetModel& sheet, double x, double y) {
  const std::optional<LonLat> a = sheet.LonLatAt(x, y), b = sheet.LonLatAt(x + 1, y);
  if (!a || !b) return std::nullopt;
  const DegreeLengths degree = MetresPerDegree(a->lat);
  return std::hypot(degree.lat * (b->lat - a->lat), degree.lon * WrapLongitude(b->lon - a->lon));
}

}  // namespace kal2map
