// The georeferencing of a whole sheet: the plane it was drawn in, chosen from its calibration
// points, and the affine map from its pixels into that plane. Readers fit the same affine map
// from the same points in the plane a map declares, so a map that declares this plane is placed
// right between its points too, not only at them.
#pragma once

#include <array>
#include <optional>
#include <span>

#include "georef/affine.h"
#include "georef/fit.h"
#include "georef/projection.h"

namespace kal2map {

struct SheetModel {
  Projection projection;
  AffinePair plane;  // plane position of a pixel, fitted by least squares as readers fit it
  AffinePair pixel;  // its inverse: the pixel of a plane position

  // Empty where the plane holds no point.
  std::optional<LonLat> LonLatAt(double x, double y) const;
  // The pixel (x, y) that shows (lat, lon); empty beyond the projection's reach.
  std::optional<std::array<double, 2>> PixelAt(double lat, double lon) const;
};

// The plane among latitude/longitude, Mercator, the UTM zone's transverse Mercator and a
// Lambert cone over the points' latitudes in which the points agree best, and the sheet's fit
// in it. Degrees are kept unless another plane fits clearly better than the points' noise;
// among the others the transverse Mercator is kept unless one fits clearly better still. A
// sheet across the antimeridian is never put in degrees, where readers would tear it apart.
// Empty for fewer than four points (which cannot tell planes apart), points on one line, and
// points that no plane holds.
std::optional<SheetModel> FitSheet(std::span<const GeoPoint> points);

// The sheet's model, or why its points place no map.
struct SheetFit {
  std::optional<SheetModel> sheet;
  FitFailure failure = FitFailure::kNone;  // set exactly when sheet is empty
};

// The model of a map's points, fitted once and passed to all that needs it: FitSheet's plane, or
// for two and three points (which cannot tell planes apart) their fit in degrees, which is the
// plane readers take for them. Refuses exactly the points FitGeoPoints refuses.
SheetFit FitMapSheet(std::span<const GeoPoint> points);

// The image corners (0,0), (W,0), (W,H), (0,H) in longitude and latitude; empty where a corner
// has no place.
std::optional<std::array<LonLat, 4>> CornersOf(const SheetModel& sheet, double width,
                                               double height);

// The fit of `points` in the plane of `projection`; empty where a point lies beyond it or the
// points lie on one line.
std::optional<SheetModel> FitSheetIn(const Projection& projection,
                                     std::span<const GeoPoint> points);

// Length on the WGS 84 ellipsoid of a one-pixel step along x at the pixel (x, y), in metres.
std::optional<double> MetresPerPixelAt(const SheetModel& sheet, double x, double y);

}  // namespace kal2map
