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

// Least-squares fit of p and q as affine functions of (u, v). Empty when there are fewer than
// three samples or their positions lie on one line: their narrowest spread is below
// `line_ratio` times their widest.
std::optional<AffinePair> FitAffine(std::span<const AffineSample> samples,
                                    double line_ratio = kLineRatio);

}  // namespace kal2map
