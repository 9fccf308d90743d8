#include "georef/fit.h"

#include <algorithm>
#include <cmath>
#include <numbers>
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
    const double east = WrapLongitude(p.lon - points[0].lon);
    s.lon += east / static_cast<double>(points.size());
    s.lat += p.lat / static_cast<double>(points.size());
    s.lat_min = std::min(s.lat_min, p.lat);
    s.lat_max = std::max(s.lat_max, p.lat);
    s.across_antimeridian |= std::abs(points[0].lon + east) > 180;
  }
  s.lon = WrapLongitude(points[0].lon + s.lon);
  return s;
}

LonLat GeoFit::At(double x, double y) const { return {WrapLongitude(lon(x, y)), lat(x, y)}; }

GeoFit FitGeoPoints(std::span<const GeoPoint> points) {
  if (points.size() < 2) return Failed(FitFailure::kTooFewPoints);
  for (const GeoPoint& p : points) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.lon) ||
        !std::isfinite(p.lat)) {
      return Failed(FitFailure::kNotANumber);
    }
  }
  // Longitudes as seen from the first point, so that a map across 180 degrees stays in one
  // piece: 179.9 and -179.9 are 0.2 degrees apart, not 359.8.
  const double lon_ref = points[0].lon;
  auto unwrapped = [lon_ref](double lon) { return lon_ref + WrapLongitude(lon - lon_ref); };
  GeoFit fit;
  if (points.size() == 2) {
    const GeoPoint& a = points[0];
    const GeoPoint& b = points[1];
    if (a.x == b.x || a.y == b.y) {
      return Failed(FitFailure::kSharedXOrY);
    }
    fit.lon.cu = (unwrapped(b.lon) - a.lon) / (b.x - a.x);
    fit.lon.c0 = a.lon - fit.lon.cu * a.x;
    fit.lat.cv = (b.lat - a.lat) / (b.y - a.y);
    fit.lat.c0 = a.lat - fit.lat.cv * a.y;
  } else {
    std::vector<AffineSample> samples;
    for (const GeoPoint& p : points) samples.push_back({p.x, p.y, unwrapped(p.lon), p.lat});
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

std::array<LonLat, 4> Border(const GeoFit& fit, double width, double height) {
  return {fit.At(0, 0), fit.At(width, 0), fit.At(width, height), fit.At(0, height)};
}

DegreeLengths MetresPerDegree(double lat) {
  constexpr double kA = kWgs84A, kE2 = kWgs84E2;
  constexpr double kRad = std::numbers::pi / 180;
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
