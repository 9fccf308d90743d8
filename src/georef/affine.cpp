#include "georef/affine.h"

#include <algorithm>
#include <cmath>

namespace kal2map {

void AffineSums::Add(const AffineSample& s, double weight) {
  const double u = s.u - origin_.u, v = s.v - origin_.v, p = s.p - origin_.p, q = s.q - origin_.q;
  n_ += weight;
  u_ += weight * u;
  v_ += weight * v;
  p_ += weight * p;
  q_ += weight * q;
  uu_ += weight * u * u;
  uv_ += weight * u * v;
  vv_ += weight * v * v;
  up_ += weight * u * p;
  vp_ += weight * v * p;
  uq_ += weight * u * q;
  vq_ += weight * v * q;
  pp_ += weight * p * p;
  qq_ += weight * q * q;
}

double AffineSums::Residual(const AffinePair& fit) const {
  if (!(n_ > 0)) return 0;
  const double mu = u_ / n_, mv = v_ / n_, mp = p_ / n_, mq = q_ / n_;
  // About the samples' own mean, what the fit explains taken from the spread of p and q.
  const double rss_p =
      pp_ - n_ * mp * mp - fit.p.cu * (up_ - n_ * mu * mp) - fit.p.cv * (vp_ - n_ * mv * mp);
  const double rss_q =
      qq_ - n_ * mq * mq - fit.q.cu * (uq_ - n_ * mu * mq) - fit.q.cv * (vq_ - n_ * mv * mq);
  return std::sqrt(std::max(0.0, rss_p + rss_q) / n_);
}

std::optional<AffinePair> AffineSums::Fit(double line_ratio) const {
  if (n_ < 3) return std::nullopt;
  const double mu = u_ / n_, mv = v_ / n_, mp = p_ / n_, mq = q_ / n_;
  // Sums about the samples' own mean.
  const double uu = uu_ - n_ * mu * mu, uv = uv_ - n_ * mu * mv, vv = vv_ - n_ * mv * mv;
  const double up = up_ - n_ * mu * mp, vp = vp_ - n_ * mv * mp;
  const double uq = uq_ - n_ * mu * mq, vq = vq_ - n_ * mv * mq;
  // det / trace^2 is the ratio of the spreads' squares (for thin sets); it has no unit.
  const double det = uu * vv - uv * uv;
  const double trace = uu + vv;
  if (!(det > line_ratio * line_ratio * trace * trace)) return std::nullopt;
  AffinePair fit;
  fit.p.cu = (vv * up - uv * vp) / det;
  fit.p.cv = (uu * vp - uv * up) / det;
  fit.q.cu = (vv * uq - uv * vq) / det;
  fit.q.cv = (uu * vq - uv * uq) / det;
  // Back from the origin to the samples' own coordinates.
  const double mean_u = origin_.u + mu, mean_v = origin_.v + mv;
  fit.p.c0 = origin_.p + mp - fit.p.cu * mean_u - fit.p.cv * mean_v;
  fit.q.c0 = origin_.q + mq - fit.q.cu * mean_u - fit.q.cv * mean_v;
  return fit;
}

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
  // About the mean: large pixel numbers and degrees near 180 keep their last digits.
  AffineSums sums(mean);
  for (const AffineSample& s : samples) sums.Add(s);
  return sums.Fit(line_ratio);
}

}  // namespace kal2map
