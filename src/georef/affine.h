#pragma once

#include <optional>
#include <span>

namespace kal2map {

// c0 + cu*u + cv*v.
struct AffineFn {
  double c0 = 0, cu = 0, cv = 0;
  double operator()(double u, double v) const { return c0 + cu * u + cv * v; }
};

// A position (u, v) in one plane and the values (p, q) it has in another.
struct AffineSample {
  double u = 0, v = 0, p = 0, q = 0;
};

struct AffinePair {
  AffineFn p, q;
};

// Positions whose narrowest spread is below this share of their widest count as one line: an
// affine fit through them would turn a pixel of error into a wrong map across the image.
inline constexpr double kLineRatio = 1e-3;

// Sums of samples taken about a fixed origin, from which the least-squares fit of any subset
// follows: taking one sample out costs as little as putting it in, so leaving each point out in
// turn costs one pass, not one per point. The origin should be near the samples' mean, so that
// no digits cancel.
class AffineSums {
 public:
  explicit AffineSums(const AffineSample& origin = {}) : origin_(origin) {}
  // Adds the sample with `weight` 1, or takes a sample added before out with -1.
  void Add(const AffineSample& s, double weight = 1);
  // The fit, as FitAffine makes it, of the samples now in the sums.
  std::optional<AffinePair> Fit(double line_ratio = kLineRatio) const;
  // Root mean square distance of the samples now in the sums from `fit`, which must be their
  // Fit(): what the least squares left over, in the units of p and q.
  double Residual(const AffinePair& fit) const;

 private:
  AffineSample origin_;
  double n_ = 0, u_ = 0, v_ = 0, p_ = 0, q_ = 0;
  double uu_ = 0, uv_ = 0, vv_ = 0, up_ = 0, vp_ = 0, uq_ = 0, vq_ = 0, pp_ = 0, qq_ = 0;
};

// Least-squares fit of p and q as affine functions of (u, v). Empty when there are fewer than
// three samples or their positions lie on one line: their narrowest spread is below
// `line_ratio` times their widest.
std::optional<AffinePair> FitAffine(std::span<const AffineSample> samples,
                                    double line_ratio = kLineRatio);

}  // namespace kal2map
