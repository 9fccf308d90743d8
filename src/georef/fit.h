#pragma once

#include <array>
#include <span>

#include "georef/affine.h"

namespace kal2map {

// One usable calibration point: pixel position and decimal degrees (negative for S and W).
struct GeoPoint {
  int number = 0;  // its number in the map, 1..30
  double x = 0, y = 0, lon = 0, lat = 0;
};

struct LonLat {
  double lon = 0, lat = 0;
};

// Why points place no map (the cases of FitGeoPoints below).
enum class FitFailure { kNone, kTooFewPoints, kNotANumber, kSharedXOrY, kOnOneLine, kNoArea };

// Longitude and latitude as affine functions of the pixel position. The longitude may leave
// -180..180 on a map across the antimeridian; At() wraps it back.
struct GeoFit {
  AffineFn lon, lat;
  FitFailure failure = FitFailure::kNone;
  bool ok() const { return failure == FitFailure::kNone; }
  LonLat At(double x, double y) const;
};

// Least squares for three or more points; for two, a north-up image as GDAL makes it (x scale
// from the longitudes, y scale from the latitudes, no rotation). Fails for fewer than two
// points, points on one line, two points sharing an x or a y, and coordinates that span no
// area, e.g. every point on the same latitude.
GeoFit FitGeoPoints(std::span<const GeoPoint> points);

// The fit (which must be ok()) at the image corners (0,0), (W,0), (W,H), (0,H).
std::array<LonLat, 4> Border(const GeoFit& fit, double width, double height);

// The WGS 84 ellipsoid, which every map here is on: semi-major axis in metres, flattening, and
// the square of the eccentricity.
inline constexpr double kWgs84A = 6378137.0;
inline constexpr double kWgs84F = 1 / 298.257223563;
inline constexpr double kWgs84E2 = kWgs84F * (2 - kWgs84F);

// Lengths on the WGS 84 ellipsoid of one degree of latitude and one of longitude at `lat`, in
// metres.
struct DegreeLengths {
  double lat = 0, lon = 0;
};
DegreeLengths MetresPerDegree(double lat);

// Length on the WGS 84 ellipsoid of a one-pixel step along x at the image centre, in metres;
// `fit` must be ok().
double MetresPerPixel(const GeoFit& fit, double width, double height);

// Where points lie: their middle, longitudes seen from the first point so that 179.9 and -179.9
// are near, their latitudes' span, and whether they straddle 180 degrees. Not finite when a
// coordinate is no number; `points` must not be empty.
struct Spread {
  double lon = 0, lat = 0, lat_min = 90, lat_max = -90;
  bool across_antimeridian = false;
};
Spread SpreadOf(std::span<const GeoPoint> points);

// `lon` moved by whole turns into -180..180.
double WrapLongitude(double lon);

}  // namespace kal2map
