#pragma once

#include <array>
#include <numbers>
#include <span>
#include <vector>

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

// Radians per degree.
inline constexpr double kRad = std::numbers::pi / 180;

// Longitude and latitude as affine functions of the pixel position, in the points' unwrapped
// longitudes (UnwrapLongitudes), which may leave -180..180; At() wraps them back.
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

// The points with whole turns added to their longitudes so that the map is one piece: maps are
// never drawn mirrored, so of the ways that put every longitude within one turn, the one whose
// fit keeps a map's handedness and fits best, the narrowest among equals; mirrored ways only
// when none keeps it. A longitude already within the turn stays as typed, so that a world map
// from -180 to 180 keeps both ends.
std::vector<GeoPoint> UnwrapLongitudes(std::span<const GeoPoint> points);

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

// Where points lie, their longitudes taken as given (unwrapped): the middle meridian of their
// span, their mean latitude, the spans, and whether they leave -180..180. Not finite when a
// coordinate is no number; `points` must not be empty.
struct Spread {
  double lon = 0, lat = 0, lat_min = 90, lat_max = -90, lon_min = 180, lon_max = -180;
  bool across_antimeridian = false;
};
Spread SpreadOf(std::span<const GeoPoint> points);

// `lon` moved by whole turns into -180..180.
double WrapLongitude(double lon);

}  // namespace kal2map
