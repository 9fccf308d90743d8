#pragma once

#include <optional>

#include "georef/fit.h"

namespace kal2map {

// The planes a map sheet may be drawn in, all on the WGS 84 ellipsoid.
enum class ProjectionKind { kLatLon, kMercator, kTransverseMercator, kLambertConic };

// Angles in degrees, lengths in metres. Which fields count depends on the kind:
//   kLatLon              lon0 only: the plane is (lon, lat) in degrees, lon taken within half a
//                        turn of lon0, so that a sheet across the antimeridian stays in one piece.
//   kMercator            lon0, scale, false easting and northing; northings count from the
//                        equator whatever lat0 says.
//   kTransverseMercator  lat0 (where northings count from), lon0, scale, false easting and
//                        northing.
//   kLambertConic        lat0, lon0, parallel1 and parallel2 (equal for a tangent cone), false
//                        easting and northing; the scale follows from the parallels.
struct Projection {
  ProjectionKind kind = ProjectionKind::kLatLon;
  double lat0 = 0, lon0 = 0, scale = 1, false_easting = 0, false_northing = 0;
  double parallel1 = 0, parallel2 = 0;
};

// Easting and northing.
struct Planar {
  double x = 0, y = 0;
};

// Where the projections end; beyond, Forward and Inverse are empty.
// Mercator and the pole opposite a cone's apex run to infinity: both stop this short of the pole.
inline constexpr double kPoleMargin = 0.5;
// Transverse Mercator holds this many degrees from its central meridian: the series stays within
// nanometres there (3300 km on the equator), and beyond, a sheet has no business being in it.
inline constexpr double kTransverseMercatorReach = 30;
// A cone whose constant (the sine of the latitude a tangent cone touches) is below this has its
// apex so far off that eastings and northings would lose their digits in its distance, some
// 1e11 m. Mercator is the plane there.
inline constexpr double kMinCone = 1e-4;

// The point (lat, lon) in the plane of `p`. Empty for non-finite input, a latitude beyond
// +-90, a point beyond the projection's reach, and parameters that make no projection: a scale
// outside 0.001..1000 (where the kind has one), lat0 beyond +-90, lon0 beyond +-360, a false
// easting or northing beyond 1e9 m, a standard parallel at a pole, a cone flatter than kMinCone.
std::optional<Planar> Forward(const Projection& p, double lat, double lon);

// The point whose Forward is (x, y), its longitude in -180..180. Empty where Forward reaches
// no point (x, y): beyond the reach above, beyond the poles, in a cone's gap. Within a micron
// of that edge, the point on it.
std::optional<LonLat> Inverse(const Projection& p, double x, double y);

// Inverse with the longitude within half a turn of lon0, not wrapped: the edges of a world map
// centred on lon0 stay apart.
std::optional<LonLat> InverseAround(const Projection& p, double x, double y);

// The UTM zone that holds (lat, lon): zones 6 degrees wide from 180 W, without the exceptions
// around Norway and Svalbard; false northing 10000 km south of the equator. Empty for a
// non-finite position.
std::optional<Projection> UtmZone(double lat, double lon);

// Mercator with scale 1 on the central meridian lon0, no false easting or northing.
Projection MercatorAt(double lon0);

}  // namespace kal2map
