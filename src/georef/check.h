#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "georef/fit.h"
#include "georef/sheet.h"

namespace kal2map {

struct ImageExtent {
  std::int64_t width = 0, height = 0;  // pixels
};

enum class CheckKind {
  kTooFewPoints,
  kSamePixel,
  kMisfit,
  kOutsideImage,
  kNoProjection,
  kNoPlace,  // the points place no map: `failure` says why
};

struct CalibrationWarning {
  CheckKind kind = CheckKind::kTooFewPoints;
  int point = 0;  // number of the point warned about; 0 for kTooFewPoints and kNoProjection
  // kSamePixel: the earlier point on the same pixel. kMisfit: a point the data cannot tell
  // from `point`, one of the two being wrong; 0 when `point` alone is.
  int other = 0;
  // kMisfit: distance from where the other points place it. kNoProjection: the largest such
  // distance of any point.
  double pixels = 0;
  ImageExtent image;                       // kOutsideImage: the image it lies outside of
  FitFailure failure = FitFailure::kNone;  // kNoPlace
};

// What looks wrong in a map's usable points: too few of them, two on the same pixel with
// different coordinates, points that place no map (`fit.failure`, e.g. all on one latitude),
// a point far from where the others place it (worst first, then the rest judged without it,
// while four or more remain), a point outside the image (when its size is known). Points are
// judged in the planes `fit` chose among (FitSheet of the same points), longitudes unwrapped,
// and named as mistyped only when setting aside at most three leaves points that agree in one
// of them; else one kNoProjection warning stands for all. At most one warning per kind and
// point.
std::vector<CalibrationWarning> CheckCalibration(std::span<const GeoPoint> points,
                                                 const SheetFit& fit,
                                                 std::optional<ImageExtent> image);

// Distance in pixels between points[index] and the pixel the other points place it at, fitted
// in the planes of `fit`: the smallest among those in which the others fit a scan (at most
// 1 % stretch or shear), else among all. Empty for fewer than four points, or when the others
// cannot place it, e.g. when they lie in a thin band.
std::optional<double> Misfit(std::span<const GeoPoint> points, const SheetFit& fit,
                             std::size_t index);

}  // namespace kal2map
