#include "georef/fit.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kal2map {

namespace {

// Gradients of longitude and latitude this close to parallel (sine of their angle) leave the
// map without area: every corner would land on one line.
constexpr double kMinGradientSine = 1e-3;

GeoFit Failed(FitFailure failure) {
  GeoFit fit;
  fit.failure = failure;
  return fit;
}

}  // namespace

double WrapLongitude(double lon) { return std::remainder(lon, 360.0); }

Spread SpreadOf(std::span<const GeoPoint> points) {
  Spread s;
  for (const GeoPoint& p : points) {
    s.lat += p.lat / static_cast<double>(points.size());
    s.lat_min = std::min(s.lat_min, p.lat);
    s.lat_max = std::max(s.lat_max, p.lat);
    s.lon_min = std::min(s.lon_min, p.lon);
    s.lon_max = std::max(s.lon_max, p.lon);
    s.across_antimeridian |= std::abs(p.lon) > 180;
  }
  s.lon = (s.lon_min + s.lon_max) / 2;
  // A longitude that is no number leaves min and max alone; the middle must say so.
  for (const GeoPoint& p : points) {
    if (!std::isfinite(p.lon)) s.lon = p.lon;
  }
  return s;
}

LonLat GeoFit::At(double x, double y) const { return {WrapLongitude(lon(x, y)), lat(x, y)}; }

namespace {

// FitGeoPoints for points whose longitudes are already unwrapped, and known to be numbers.
GeoFit FitAsGiven(std::span<const GeoPoint> points) {
  GeoFit fit;
  if (points.size() == 2) {
    const GeoPoint& a = points[0];
    const GeoPoint& b = points[1];
    if (a.x == b.x || a.y == b.y) {
      return Failed(FitFailure::kSharedXOrY);
    }
    fit.lon.cu = (b.lon - a.lon) / (b.x - a.x);
    fit.lon.c0 = a.lon - fit.lon.cu * a.x;
    fit.lat.cv = (b.lat - a.lat) / (b.y - a.y);
    fit.lat.c0 = a.lat - fit.lat.cv * a.y;
  } else {
    std::vector<AffineSample> samples;
    for (const GeoPoint& p : points) samples.push_back({p.x, p.y, p.lon, p.lat});
    const std::optional<AffinePair> pair = FitAffine(samples);
    if (!pair) return Failed(FitFailure::kOnOneLine);
    fit.lon = pair->p;
    fit.lat = pair->q;
  }
  const double det = fit.lon.cu * fit.lat.cv - fit.lon.cv * fit.lat.cu;
  const double norms = std::hypot(fit.lon.cu, fit.lon.cv) * std::hypot(fit.lat.cu, fit.lat.cv);
  if (!(std::abs(det) > kMinGradientSine * norms)) {
    return Failed(FitFailure::kNoArea);
  }
  return fit;
}

// Root mean square of the points around the fit, in degrees.
double Misfit(const GeoFit& fit, std::span<const GeoPoint> points) {
  double sum = 0;
  for (const GeoPoint& p : points) {
    sum += std::pow(fit.lon(p.x, p.y) - p.lon, 2) + std::pow(fit.lat(p.x, p.y) - p.lat, 2);
  }
  return std::sqrt(sum / static_cast<double>(points.size()));
}

// Pixel y runs south: a map not mirrored has a negative determinant.
bool KeepsHandedness(const GeoFit& fit) {
  return fit.lon.cu * fit.lat.cv - fit.lon.cv * fit.lat.cu < 0;
}

// Longitudes typed at 180 and -180 name one meridian; either may be the sheet's edge.
constexpr double kTurnSlack = 1e-9;

}  // namespace

std::vector<GeoPoint> UnwrapLongitudes(std::span<const GeoPoint> points) {
  std::vector<GeoPoint> best(points.begin(), points.end());
  struct {
    bool kept_hand = false;
    double misfit = 0, span = 0;
    bool found = false;
  } chosen;
  // Less than half a turn wide and not mirrored as typed: one piece already, for any other way
  // opens a gap of half a turn between its points.
  const auto [west, east] = std::ranges::minmax(points, {}, &GeoPoint::lon);
  if (east.lon - west.lon < 180) {
    const GeoFit fit = FitAsGiven(points);
    if (fit.ok() && KeepsHandedness(fit)) return best;
  }
  std::vector<GeoPoint> way(points.begin(), points.end());
  // Each point's longitude as the west end of one turn: every way that puts all within a turn
  // is one of these, up to a shift of all by a turn.
  for (const GeoPoint& start : points) {
    const double from = start.lon;
    if (!std::isfinite(from)) return best;
    double to = from;
    for (std::size_t i = 0; i < points.size(); ++i) {
      const double lon = points[i].lon;
      way[i].lon = lon >= from - kTurnSlack && lon <= from + 360 + kTurnSlack
                       ? lon
                       : from + std::fmod(std::fmod(lon - from, 360.0) + 360, 360.0);
      to = std::max(to, way[i].lon);
    }
    const GeoFit fit = FitAsGiven(way);
    if (!fit.ok()) continue;
    const bool kept_hand = KeepsHandedness(fit);
    const double misfit = Misfit(fit, way), span = to - from;
    const double tie = 1e-9 * (1 + std::max(misfit, chosen.misfit));
    const bool better =
        !chosen.found || (kept_hand && !chosen.kept_hand) ||
        (kept_hand == chosen.kept_hand &&
         (misfit < chosen.misfit - tie ||
          (std::abs(misfit - chosen.misfit) <= tie && span < chosen.span - kTurnSlack)));
    if (better) {
      chosen = {kept_hand, misfit, span, true};
      best = way;
    }
  }
  return best;
}

GeoFit FitGeoPoints(std::span<const GeoPoint> points) {
  if (points.size() < 2) return Failed(FitFailure::kTooFewPoints);
  for (const GeoPoint& p : points) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.lon) ||
        !std::isfinite(p.lat)) {
      return Failed(FitFailure::kNotANumber);
    }
  }
  return FitAsGiven(UnwrapLongitudes(points));
}

std::array<LonLat, 4> Border(const GeoFit& fit, double width, double height) {
  return {fit.At(0, 0), fit.At(width, 0), fit.At(width, height), fit.At(0, height)};
}

DegreeLengths MetresPerDegree(double lat) {
  constexpr double kA = kWgs84A, kE2 = kWgs84E2;
  const double phi = lat * kRad;
  const double w = 1 - kE2 * std::sin(phi) * std::sin(phi);
  const double meridian = kA * (1 - kE2) / (w * std::sqrt(w));
  const double prime_vertical = kA / std::sqrt(w);
  return {meridian * kRad, prime_vertical * std::cos(phi) * kRad};
}

double MetresPerPixel(const GeoFit& fit, double width, double height) {
  const DegreeLengths degree = MetresPerDegree(fit.lat(width / 2, height / 2));
  return std::hypot(degree.lat * fit.lat.cu, degree.lon * fit.lon.cu);
}

}  // namespace kal2map
