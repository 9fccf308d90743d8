#include "georef/check.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <utility>

#include "georef/projection.h"
#include "georef/sheet.h"

namespace kal2map {

namespace {

// Map sheets are drawn in conformal projections, and a scan or screenshot adds a similarity
// (turn, scale, mirror) and at most a slight stretch. Which projection is unknown, so each
// point is judged in each plane the sheet model chose among (degrees, the UTM zone's transverse
// Mercator, Mercator, the cone fitted to the points): far north they differ by percents of a
// large sheet's diagonal, and a misfit in one of them can be a typing error in another.

// A plane in which the other points need more stretch or shear than this (as a share of the
// scale) is not the sheet's projection, unless no plane does better.
constexpr double kMaxStretch = 0.01;

// A point is only judged where the others surround it somewhat: seen from a thin band of
// points, every small bend of the projection grows into a large misfit across the band.
constexpr double kJudgeRatio = 0.05;

// A calibration with more mistyped points than this is wrong as a whole; naming every point
// would help nobody, and each round costs a fit per point and plane.
constexpr std::size_t kMaxMisfitsNamed = 3;

// A point set aside leaves others that agree clearly better than another does when their own
// misfit is below this share of the other's, less this many pixels of clicking noise.
constexpr double kAgreeingShare = 0.5;
constexpr double kNoiseOfRest = 0.5;

// Two points whose misfits differ by less than this share are alike to the check: which of
// them is wrong, the data cannot tell.
constexpr double kTwinShare = 0.05;

// Plane coordinates; not finite where the projection cannot show the point. Degrees take any
// latitude: one typed beyond 90 gives some far-off place, and so a large misfit.
AffineSample ToPlane(const Projection& plane, const GeoPoint& p) {
  if (plane.kind == ProjectionKind::kLatLon) return {p.lon, p.lat, p.x, p.y};
  const std::optional<Planar> at = Forward(plane, p.lat, p.lon);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  return {at ? at->x : nan, at ? at->y : nan, p.x, p.y};
}

// Stretch and shear of the map from plane to pixels. Its linear part is the sum of a
// similarity and a mirrored one; a scan is one of them alone.
double Stretch(const AffinePair& fit) {
  const double a = fit.p.cu, b = fit.p.cv, c = fit.q.cu, d = fit.q.cv;
  const double turned = std::hypot(a + d, c - b), mirrored = std::hypot(a - d, b + c);
  return std::min(turned, mirrored) / std::max(turned, mirrored);
}

// Diagonal of the points' extent in degrees of arc, at most 4; their longitudes unwrapped.
double ArcDegrees(const Spread& spread) {
  const double arc = std::hypot(spread.lat_max - spread.lat_min,
                                (spread.lon_max - spread.lon_min) * std::cos(spread.lat * kRad));
  return std::isfinite(arc) ? std::min(arc, 4.0) : 4.0;
}

CalibrationWarning Warning(CheckKind kind, int point) {
  CalibrationWarning warning;
  warning.kind = kind;
  warning.point = point;
  return warning;
}

// No set of at most kMaxMisfitsNamed points leaves points that agree: the map is drawn in a
// projection the check does not know, or wrong as a whole. Blaming one point would send the
// user to check a right one.
CalibrationWarning NoProjection(double largest_misfit) {
  CalibrationWarning warning = Warning(CheckKind::kNoProjection, 0);
  warning.pixels = largest_misfit;
  return warning;
}

bool SamePlaceDifferentCoordinates(const GeoPoint& a, const GeoPoint& b) {
  constexpr double kDegreeNoise = 1e-9;
  return a.x == b.x && a.y == b.y &&
         (std::abs(a.lat - b.lat) > kDegreeNoise ||
          std::abs(WrapLongitude(a.lon - b.lon)) > kDegreeNoise);
}

// The points in every plane, with the sums of all of them in each, computed once for all the
// leave-one-out fits of a round: leaving a point out is taking it out of the sums.
struct Planes {
  std::vector<AffineSample> pixels;  // the positions alone, for judging how they surround
  AffineSums pixel_sums;
  std::vector<std::vector<AffineSample>> samples;  // per plane of the sheet
  std::vector<AffineSums> sums;
  std::vector<bool> finite;
};

bool Finite(const AffineSample& s) { return std::isfinite(s.u) && std::isfinite(s.v); }

Planes InPlanes(std::span<const GeoPoint> points, std::span<const Projection> projections) {
  Planes planes;
  if (points.empty()) return planes;
  for (const GeoPoint& p : points) planes.pixels.push_back({p.x, p.y});
  // About the first point: the positions and coordinates of one sheet lie close together.
  planes.pixel_sums = AffineSums(planes.pixels.front());
  for (const AffineSample& s : planes.pixels) planes.pixel_sums.Add(s);
  for (const Projection& projection : projections) {
    auto& samples = planes.samples.emplace_back();
    for (const GeoPoint& p : points) samples.push_back(ToPlane(projection, p));
    planes.finite.push_back(std::all_of(samples.begin(), samples.end(), Finite));
    AffineSums& sums = planes.sums.emplace_back(samples.front());
    if (planes.finite.back()) {
      for (const AffineSample& s : samples) sums.Add(s);
    }
  }
  return planes;
}

// One point of a round as the others see it.
struct Judged {
  std::size_t index = 0;
  double misfit = 0;
  // Some plane fits the others as a scan. A large typing error kept among them bends their
  // fit beyond one.
  bool scan_without = false;
  double rest = 0;  // how far the others lie from their own fit, in pixels
};

bool IsScan(const AffineSums& sums) {
  const std::optional<AffinePair> fit = sums.Fit();
  return fit && Stretch(*fit) <= kMaxStretch;
}

std::optional<Judged> JudgeIn(const Planes& planes, std::size_t index) {
  const std::size_t n = planes.pixels.size();
  if (n < 4 || index >= n) return std::nullopt;
  AffineSums others = planes.pixel_sums;
  others.Add(planes.pixels[index], -1);
  if (!others.Fit(kJudgeRatio)) return std::nullopt;
  double best = std::numeric_limits<double>::infinity(), best_stretched = best;
  double rest_of_best = 0, rest_of_stretched = 0;
  for (std::size_t k = 0; k < planes.samples.size(); ++k) {
    if (!planes.finite[k]) continue;
    const AffineSample& self = planes.samples[k][index];
    AffineSums rest = planes.sums[k];
    rest.Add(self, -1);
    const std::optional<AffinePair> fit = rest.Fit();
    if (!fit) continue;
    const double misfit =
        std::hypot(fit->p(self.u, self.v) - self.p, fit->q(self.u, self.v) - self.q);
    const bool scan = Stretch(*fit) <= kMaxStretch;
    double& slot = scan ? best : best_stretched;
    if (misfit < slot) {
      slot = misfit;
      (scan ? rest_of_best : rest_of_stretched) = rest.Residual(*fit);
    }
  }
  const bool scan_without = std::isfinite(best);
  if (!scan_without) best = best_stretched, rest_of_best = rest_of_stretched;
  if (!std::isfinite(best)) return std::nullopt;
  return Judged{index, best, scan_without, rest_of_best};
}

// The points agree in some plane: it fits them as a scan. Too few to tell count as agreeing.
bool AgreeInSomePlane(const Planes& planes) {
  if (planes.pixels.size() < 3) return true;
  for (std::size_t k = 0; k < planes.samples.size(); ++k) {
    if (planes.finite[k] && IsScan(planes.sums[k])) return true;
  }
  return false;
}

// The data cannot tell `a` (the worst) from `b`: both leave a rest that is a scan, and either
// their misfits are alike or the others without both lie in a thin band, which makes the two
// the ends of one lever.
bool Twins(const Planes& planes, const Judged& a, const Judged& b) {
  if (!a.scan_without || !b.scan_without) return false;
  if (a.rest < kAgreeingShare * b.rest - kNoiseOfRest) return false;  // setting `a` aside tells
  if (b.misfit >= (1 - kTwinShare) * a.misfit) return true;
  AffineSums others = planes.pixel_sums;
  others.Add(planes.pixels[a.index], -1);
  others.Add(planes.pixels[b.index], -1);
  return !others.Fit(kJudgeRatio);
}

// Sets the worst point aside before judging the rest: a typing error moves the fit of the
// others too, and must not make its neighbours look wrong. The worst is first of all those
// whose rest is a scan: with a typing error at one end of a long lever, the point at the
// other end can be as far off, but only the right one leaves a rest that is a scan.
std::vector<CalibrationWarning> Misfits(std::span<const GeoPoint> points,
                                        std::span<const Projection> projections, double limit) {
  std::vector<CalibrationWarning> named;
  std::vector<GeoPoint> rest(points.begin(), points.end());
  double largest = 0;
  std::size_t set_aside = 0;
  while (rest.size() >= 4) {
    const Planes planes = InPlanes(rest, projections);
    std::vector<Judged> over;
    for (std::size_t i = 0; i < rest.size(); ++i) {
      const std::optional<Judged> judged = JudgeIn(planes, i);
      if (!judged) continue;
      if (set_aside == 0) largest = std::max(largest, judged->misfit);
      if (judged->misfit > limit) over.push_back(*judged);
    }
    if (over.empty()) break;
    std::ranges::sort(over, std::ranges::greater{},
                      [](const Judged& j) { return std::pair(j.scan_without, j.misfit); });
    // With a typing error at one end of a long lever, the point at the other end can be further
    // off; but only setting the wrong one aside leaves others that agree.
    auto worst = over.begin();
    for (auto j = over.begin(); j != over.end() && j->scan_without == over[0].scan_without; ++j) {
      if (j->rest < kAgreeingShare * worst->rest - kNoiseOfRest) worst = j;
    }
    std::rotate(over.begin(), worst, worst + 1);
    const bool twins = over.size() > 1 && Twins(planes, over[0], over[1]);
    set_aside += twins ? 2 : 1;
    if (set_aside > kMaxMisfitsNamed) return {NoProjection(largest)};
    CalibrationWarning& warning =
        named.emplace_back(Warning(CheckKind::kMisfit, rest[over[0].index].number));
    warning.pixels = over[0].misfit;
    if (twins) warning.other = rest[over[1].index].number;
    std::vector<std::size_t> out = {over[0].index};
    if (twins) out.push_back(over[1].index);
    std::ranges::sort(out, std::ranges::greater{});
    for (std::size_t i : out) rest.erase(rest.begin() + static_cast<std::ptrdiff_t>(i));
  }
  if (!named.empty() && !AgreeInSomePlane(InPlanes(rest, projections))) {
    return {NoProjection(largest)};
  }
  return named;
}

}  // namespace

std::optional<double> Misfit(std::span<const GeoPoint> points, const SheetFit& fit,
                             std::size_t index) {
  const std::optional<Judged> judged =
      JudgeIn(InPlanes(UnwrapLongitudes(points), fit.planes), index);
  if (!judged) return std::nullopt;
  return judged->misfit;
}

std::vector<CalibrationWarning> CheckCalibration(std::span<const GeoPoint> points,
                                                 const SheetFit& fit,
                                                 std::optional<ImageExtent> image) {
  // A size that is not positive is no size, not an image every point lies outside of.
  if (image && (image->width <= 0 || image->height <= 0)) image.reset();
  std::vector<CalibrationWarning> warnings;
  if (points.size() < 2) warnings.push_back(Warning(CheckKind::kTooFewPoints, 0));

  for (std::size_t j = 0; j < points.size(); ++j) {
    for (std::size_t i = 0; i < j; ++i) {
      if (SamePlaceDifferentCoordinates(points[i], points[j])) {
        warnings.push_back(Warning(CheckKind::kSamePixel, points[j].number));
        warnings.back().other = points[i].number;
        break;
      }
    }
  }

  if (fit.failure != FitFailure::kNone && fit.failure != FitFailure::kTooFewPoints) {
    warnings.push_back(Warning(CheckKind::kNoPlace, 0));
    warnings.back().failure = fit.failure;
  } else if (points.size() >= 4) {
    double diagonal = 0;
    if (image) {
      diagonal = std::hypot(static_cast<double>(image->width), static_cast<double>(image->height));
    } else {
      const auto [left, right] = std::ranges::minmax(points, {}, &GeoPoint::x);
      const auto [top, bottom] = std::ranges::minmax(points, {}, &GeoPoint::y);
      diagonal = std::hypot(right.x - left.x, bottom.y - top.y);
    }
    const std::vector<GeoPoint> unwrapped = UnwrapLongitudes(points);
    // The misfit above which a point counts as mistyped: 0.9 % of the diagonal (the image's,
    // else the points' extent in pixels) plus 0.25 % per degree of arc the points span, up to
    // 4 degrees. Projections part further on larger sheets.
    const double limit = (0.009 + 0.0025 * ArcDegrees(SpreadOf(unwrapped))) * diagonal;
    std::vector<CalibrationWarning> misfits = Misfits(unwrapped, fit.planes, limit);
    warnings.insert(warnings.end(), misfits.begin(), misfits.end());
  }

  if (image) {
    const double w = static_cast<double>(image->width), h = static_cast<double>(image->height);
    for (const GeoPoint& p : points) {
      if (!(p.x >= 0 && p.x <= w && p.y >= 0 && p.y <= h)) {
        warnings.push_back(Warning(CheckKind::kOutsideImage, p.number));
        warnings.back().image = *image;
      }
    }
  }
  return warnings;
}

}  // namespace kal2map
