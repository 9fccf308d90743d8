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
// Points that fit in degrees within this (pixels, root mean square) were typed on a degree grid
// of the image: nothing conformal does that, unless it fits as closely.
constexpr double kExactPixels = 0.01;
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

// The points in the plane of `projection`; empty where one lies beyond it.
std::optional<std::vector<AffineSample>> Samples(const Projection& projection,
                                                 std::span<const GeoPoint> points) {
  std::vector<AffineSample> samples;
  for (const GeoPoint& p : points) {
    const std::optional<Planar> at = Forward(projection, p.lat, p.lon);
    if (!at) return std::nullopt;
    samples.push_back({p.x, p.y, at->x, at->y});
  }
  return samples;
}

std::optional<Fitted> Fit(const Projection& projection, std::span<const AffineSample> samples) {
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

std::optional<Fitted> Fit(const Projection& projection, std::span<const GeoPoint> points) {
  const auto samples = Samples(projection, points);
  if (!samples) return std::nullopt;
  return Fit(projection, *samples);
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

// Points over less latitude than this cannot tell one cone from another.
constexpr double kConeLatitudes = 1;
// Cones are tried up to this constant: a parallel at 87 degrees, short of the pole where the
// cone is no cone.
constexpr double kMaxCone = 0.9986;
// The coarse pass over the cone's constant, before the fine search around its best.
constexpr int kConeSteps = 24;

// The tangent cone of constant `n` (the sine of the parallel it touches); northings from lat0.
Projection TangentCone(double n, double lat0, double lon0) {
  Projection p;
  p.kind = ProjectionKind::kLambertConic;
  p.lat0 = lat0;
  p.lon0 = lon0;
  p.parallel1 = p.parallel2 = std::asin(n) / kRad;
  return p;
}

// To an affine fit only a Lambert cone's constant matters (its central meridian is a turn, its
// origin a shift), so the cone that fits the points best is found along that one number.
std::optional<Fitted> FitCone(std::span<const GeoPoint> points, const Spread& spread) {
  if (points.size() < 4 || !(spread.lat_max - spread.lat_min >= kConeLatitudes)) {
    return std::nullopt;
  }
  std::optional<Fitted> best;
  double best_misfit = std::numeric_limits<double>::infinity();
  // The misfit of the points without the one that fits worst, where five and more leave enough
  // to tell: one mistyped point must not bend the cone for the others, nor the check's judgement
  // of it in that cone. Sums of the plane-to-pixel fit leave each point out at the cost of one.
  auto misfit = [&](double n) {
    double m = std::numeric_limits<double>::infinity();
    if (!(std::abs(n) >= kMinCone)) return m;
    const Projection cone = TangentCone(n, spread.lat, spread.lon);
    const auto samples = Samples(cone, points);
    std::optional<Fitted> fitted = samples ? Fit(cone, *samples) : std::nullopt;
    if (!fitted) return m;
    m = fitted->misfit;
    if (points.size() >= 5) {
      auto to_pixel = [](const AffineSample& s) { return AffineSample{s.p, s.q, s.u, s.v}; };
      AffineSums sums(to_pixel(samples->front()));
      for (const AffineSample& s : *samples) sums.Add(to_pixel(s));
      for (const AffineSample& s : *samples) {
        AffineSums rest = sums;
        rest.Add(to_pixel(s), -1);
        if (const std::optional<AffinePair> fit = rest.Fit()) m = std::min(m, rest.Residual(*fit));
      }
    }
    if (m < best_misfit) best = std::move(fitted), best_misfit = m;
    return m;
  };
  const double step = 2 * kMaxCone / kConeSteps;
  double at = 0, at_misfit = std::numeric_limits<double>::infinity();
  for (int i = 0; i <= kConeSteps; ++i) {
    const double n = -kMaxCone + i * step, m = misfit(n);
    if (m < at_misfit) at = n, at_misfit = m;
  }
  if (!best) return std::nullopt;
  // Golden section within a step either side of the coarse best.
  const double golden = (std::sqrt(5.0) - 1) / 2;
  double lo = std::max(-kMaxCone, at - step), hi = std::min(kMaxCone, at + step);
  double a = hi - golden * (hi - lo), b = lo + golden * (hi - lo);
  double fa = misfit(a), fb = misfit(b);
  while (hi - lo > 1e-6) {  // the misfit is flat there: the points tell n no closer
    if (fa < fb) {
      hi = b, b = a, fb = fa, a = hi - golden * (hi - lo), fa = misfit(a);
    } else {
      lo = a, a = b, fa = fb, b = lo + golden * (hi - lo), fb = misfit(b);
    }
  }
  return best;
}

// The sheet in degrees as FitGeoPoints fits it, for points too few to tell planes apart, and
// for points no other plane holds (a latitude typed beyond the pole).
SheetModel DegreesSheet(const GeoFit& fit, double lon0) {
  SheetModel sheet;
  sheet.projection = DegreesAround(lon0);
  sheet.plane = {fit.lon, fit.lat};
  sheet.pixel = *Invert(sheet.plane);  // FitGeoPoints made sure it spans an area
  return sheet;
}

// Within -180..180, except that the edges of a world map stay -180 and 180.
double MmpllLongitude(double lon) { return std::abs(lon) <= 180 + 1e-9 ? lon : WrapLongitude(lon); }

}  // namespace

std::optional<LonLat> SheetModel::LonLatAt(double x, double y) const {
  return Inverse(projection, plane.p(x, y), plane.q(x, y));
}

std::optional<LonLat> SheetModel::LonLatAround(double x, double y) const {
  return InverseAround(projection, plane.p(x, y), plane.q(x, y));
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

SheetFit FitSheet(std::span<const GeoPoint> given) {
  SheetFit result;
  const GeoFit guard = FitGeoPoints(given);
  if (!guard.ok()) {
    result.failure = guard.failure;
    return result;
  }
  const std::vector<GeoPoint> points = UnwrapLongitudes(given);
  const Spread spread = SpreadOf(points);
  const Projection degrees = DegreesAround(spread.lon);
  if (points.size() <= 3) {
    result.sheet = DegreesSheet(guard, spread.lon);
    return result;
  }
  std::optional<Fitted> in_degrees = Fit(degrees, points);
  if (!spread.across_antimeridian) result.planes.push_back(degrees);
  std::optional<Fitted> best;
  auto consider = [&](const std::optional<Fitted>& fitted) {
    // The first, the transverse Mercator, stays unless another is clearly better.
    if (fitted && (!best || ClearlyBetter(fitted->misfit, best->misfit))) best = fitted;
  };
  if (const auto utm = UtmZone(spread.lat, spread.lon)) {
    result.planes.push_back(*utm);
    consider(Fit(*utm, points));
  }
  result.planes.push_back(MercatorAt(spread.lon));
  consider(Fit(result.planes.back(), points));
  // A cone must fit clearly better than what fits best so far; where nothing can, it is not
  // looked for.
  const bool cone_can_win = !best || ClearlyBetter(0, best->misfit);
  if (const std::optional<Fitted> cone = cone_can_win ? FitCone(points, spread) : std::nullopt) {
    result.planes.push_back(cone->sheet.projection);
    consider(cone);
  }
  if (spread.across_antimeridian && best) in_degrees.reset();
  const bool exact_in_degrees =
      in_degrees && best && in_degrees->misfit <= kExactPixels && best->misfit > 2 * kExactPixels;
  if (in_degrees &&
      (!best || exact_in_degrees || ClearlyBetter(in_degrees->misfit, best->misfit))) {
    best = in_degrees;
  }
  result.sheet = best ? best->sheet : DegreesSheet(guard, spread.lon);
  return result;
}

std::optional<std::array<LonLat, 4>> CornersOf(const SheetModel& sheet, double width,
                                               double height) {
  const std::array<std::array<double, 2>, 4> pixels = {
      {{0, 0}, {width, 0}, {width, height}, {0, height}}};
  std::array<LonLat, 4> corners;
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    const auto [x, y] = pixels[i];
    std::optional<LonLat> at;
    if (sheet.projection.kind == ProjectionKind::kLatLon) {
      // Degrees reach beyond the poles; readers take the latitude no further than the pole.
      at = LonLat{sheet.plane.p(x, y), std::clamp(sheet.plane.q(x, y), -90.0, 90.0)};
    } else {
      at = sheet.LonLatAround(x, y);
    }
    if (!at || !std::isfinite(at->lon) || !std::isfinite(at->lat)) return std::nullopt;
    corners[i] = {MmpllLongitude(at->lon), at->lat};
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
