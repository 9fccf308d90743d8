// The georeferencing of a whole sheet: the plane it was drawn in, chosen from its calibration
// points, and the affine map from its pixels into that plane. Readers fit the same affine map
// from the same points in the plane a map declares, so a map that declares this plane is placed
// right between its points too, not only at them.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <vector>

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
  // LonLatAt with the longitude within half a turn of the plane's central meridian, unwrapped,
  // so that it runs on across 180 degrees within the sheet.
  std::optional<LonLat> LonLatAround(double x, double y) const;
  // The pixel (x, y) that shows (lat, lon); empty beyond the projection's reach.
  std::optional<std::array<double, 2>> PixelAt(double lat, double lon) const;
};

// The sheet's model, or why its points place no map. One guard for both: the model refuses
// exactly the points FitGeoPoints refuses (fewer than two, not a number, shared x or y for
// two, one line, no area).
struct SheetFit {
  std::optional<SheetModel> sheet;
  FitFailure failure = FitFailure::kNone;  // set exactly when sheet is empty
  // The planes the sheet was chosen among, its own included, for the check to judge points in;
  // none for fewer than four points, which cannot tell planes apart.
  std::vector<Projection> planes;
};

// Two points and more, their longitudes unwrapped (UnwrapLongitudes). Two points: north-up as
// GDAL places them, in degrees. Three: in degrees, the plane readers take for them. Four and
// more: degrees only where they fit clearly better than every conformal plane (the UTM zone's
// transverse Mercator, Mercator, and a Lambert cone whose constant is fitted to the points), or
// to a hundredth of a pixel where none does (points typed on the image's degree grid);
// else the conformal plane that fits best, the transverse Mercator where they tie. A sheet
// across the antimeridian is put in degrees only where nothing else holds its points, for
// readers would tear it apart.
SheetFit FitSheet(std::span<const GeoPoint> points);

// The image corners (0,0), (W,0), (W,H), (0,H) of the sheet as MMPLL gives them: longitudes
// continuous with the sheet's middle meridian, so that a world map's corners are -180 and
// 180, else within -180..180; latitudes beyond +-90 clamped. Empty where a corner has no place.
std::optional<std::array<LonLat, 4>> CornersOf(const SheetModel& sheet, double width,
                                               double height);

// The fit of `points` in the plane of `projection`; empty where a point lies beyond it or the
// points lie on one line.
std::optional<SheetModel> FitSheetIn(const Projection& projection,
                                     std::span<const GeoPoint> points);

// Length on the WGS 84 ellipsoid of a one-pixel step along x at the pixel (x, y), in metres.
std::optional<double> MetresPerPixelAt(const SheetModel& sheet, double x, double y);

}  // namespace kal2map
