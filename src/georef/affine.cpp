#include "georef/affine.h"

#include <cmath>

namespace kal2map {

std::optional<AffinePair> FitAffine(std::span<const AffineSample> samples, double line_ratio) {
  if (samples.size() < 3) return std::nullopt;
  const double n = static_cast<double>(samples.size());
  AffineSample mean;
  for (const AffineSample& s : samples) {
    mean.u += s.u / n;
    mean.v += s.v / n;
    mean.p += s.p / n;
    mean.q += s.q / n;
  }
  // Centred sums: large pixel numbers and degrees near 180 keep their last digits.
  double uu = 0, uv = 0, vv = 0, up = 0, vp = 0, uq = 0, vq = 0;
  for (const AffineSample& s : samples) {
    const double u = s.u - mean.u, v = s.v - mean.v, p = s.p - mean.p, q = s.q - mean.q;
    uu += u * u;
    uv += u * v;
    vv += v * v;
    up += u * p;
    vp += v * p;
    uq += u * q;
    vq += v * q;
  }
  // det / trace^2 is the ratio of the spreads' squares (for thin sets); it has no unit.
  const double det = uu * vv - uv * uv;
  const double trace = uu + vv;
  if (!(det > line_ratio * line_ratio * trace * trace)) return std::nullopt;
  AffinePair fit;
  fit.p.cu = (vv * up - uv * vp) / det;
  fit.p.cv = (uu * vp - uv * up) / det;
  fit.q.cu = (vv * uq - uv * vq) / det;
  fit.q.cv = (uu * vq - uv * uq) / det;
  fit.p.c0 = mean.p - fit.p.cu * mean.u - fit.p.cv * mean.v;
  fit.q.c0 = mean.q - fit.q.cu * mean.u - fit.q.cv * mean.v;
  return fit;
}

}  // namespace kal2map
