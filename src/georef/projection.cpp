#include "georef/projection.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <utility>

namespace kal2map {

namespace {

using std::numbers::pi;

constexpr double kA = kWgs84A, kF = kWgs84F, kE2 = kWgs84E2;
const double kE = std::sqrt(kE2);

// Forward and Inverse round; a point Forward made must pass Inverse's bounds, so these admit
// that much (in degrees or radians) beyond them.
constexpr double kSlack = 1e-9;
// Within this many metres of the edge of what Forward reaches, a point lies on it: near a
// cone's apex or the transverse Mercator's poles, rounding turns its direction at will.
constexpr double kEdge = 1e-6;

// tan of the conformal latitude from tan of the geodetic one; finite for every finite tau, so
// that the poles (tan(pi/2) is finite in doubles) need no case of their own.
double ConformalTan(double tau) {
  const double tau1 = std::hypot(1.0, tau);
  const double sigma = std::sinh(kE * std::atanh(kE * tau / tau1));
  return std::hypot(1.0, sigma) * tau - sigma * tau1;
}

// The inverse of ConformalTan, by Newton's method: it converges to rounding in two or three
// steps from this start for every latitude. Within 1e-8 radians of a pole the start is exact
// to rounding (the tangents' ratio differs from its limit by order 1/tau^2), and Newton's steps
// would overflow near the largest doubles.
double GeodeticTan(double taup) {
  const double e2m = 1 - kE2;
  double tau = std::abs(taup) > 70 ? taup * std::exp(kE * std::atanh(kE)) : taup / e2m;
  if (!(std::abs(taup) < 1e8)) return tau;
  const double tol =
      std::sqrt(std::numeric_limits<double>::epsilon()) / 10 * std::max(1.0, std::abs(taup));
  for (int i = 0; i < 5; ++i) {
    const double taupa = ConformalTan(tau);
    const double dtau = (taup - taupa) * (1 + e2m * tau * tau) /
                        (e2m * std::hypot(1.0, tau) * std::hypot(1.0, taupa));
    tau += dtau;
    if (!(std::abs(dtau) >= tol)) break;
  }
  return tau;
}

// Isometric latitude and back, in radians.
double Isometric(double phi) { return std::asinh(ConformalTan(std::tan(phi))); }
double FromIsometric(double psi) { return std::atan(GeodeticTan(std::sinh(psi))); }

// Kruger's series in the third flattening n to n^6 (Karney 2011): the rectifying radius A,
// alpha from the conformal sphere's transverse Mercator to the ellipsoid's, beta back.
struct Kruger {
  double radius;
  std::array<double, 6> alpha, beta;
};

const Kruger& Series() {
  static const Kruger k = [] {
    const double n = kF / (2 - kF), n2 = n * n, n3 = n2 * n, n4 = n3 * n, n5 = n4 * n, n6 = n5 * n;
    Kruger s;
    s.radius = kA / (1 + n) * (1 + n2 / 4 + n4 / 64 + n6 / 256);
    s.alpha = {
        n / 2 - 2 * n2 / 3 + 5 * n3 / 16 + 41 * n4 / 180 - 127 * n5 / 288 + 7891 * n6 / 37800,
        13 * n2 / 48 - 3 * n3 / 5 + 557 * n4 / 1440 + 281 * n5 / 630 - 1983433 * n6 / 1935360,
        61 * n3 / 240 - 103 * n4 / 140 + 15061 * n5 / 26880 + 167603 * n6 / 181440,
        49561 * n4 / 161280 - 179 * n5 / 168 + 6601661 * n6 / 7257600,
        34729 * n5 / 80640 - 3418889 * n6 / 1995840,
        212378941 * n6 / 319334400};
    s.beta = {n / 2 - 2 * n2 / 3 + 37 * n3 / 96 - n4 / 360 - 81 * n5 / 512 + 96199 * n6 / 604800,
              n2 / 48 + n3 / 15 - 437 * n4 / 1440 + 46 * n5 / 105 - 1118711 * n6 / 3870720,
              17 * n3 / 480 - 37 * n4 / 840 - 209 * n5 / 4480 + 5569 * n6 / 90720,
              4397 * n4 / 161280 - 11 * n5 / 504 - 830251 * n6 / 7257600,
              4583 * n5 / 161280 - 108847 * n6 / 3991680,
              20648693 * n6 / 638668800};
    return s;
  }();
  return k;
}

// Northing (real) and easting (imaginary) of the transverse Mercator in units of the rectifying
// radius, for |dlam| < pi/2.
std::complex<double> TransverseZeta(double phi, double dlam) {
  const double taup = ConformalTan(std::tan(phi));
  const std::complex<double> zetap(std::atan2(taup, std::cos(dlam)),
                                   std::asinh(std::sin(dlam) / std::hypot(taup, std::cos(dlam))));
  // sin(2 j zeta') by the recurrence of multiple angles: one complex sine and cosine, not six.
  const std::complex<double> s1 = std::sin(2.0 * zetap), c2 = 2.0 * std::cos(2.0 * zetap);
  std::complex<double> zeta = zetap, before(0), now = s1;
  for (int j = 0; j < 6; ++j) {
    zeta += Series().alpha[j] * now;
    before = std::exchange(now, c2 * now - before);
  }
  return zeta;
}

// The Lambert cone of a projection, always opening towards the north pole: a cone with its apex
// at the south pole is its mirror image across the equator, with latitudes and northings
// negated.
struct Cone {
  double n = 0, af = 0, rho0 = 0;
  bool mirrored = false;
  double Rho(double phi) const {  // phi in radians, north of the far pole's margin
    const double es = kE * std::sin(phi);
    const double t = std::tan(pi / 4 - phi / 2) / std::pow((1 - es) / (1 + es), kE / 2);
    return af * std::pow(t, n);
  }
};

bool BeyondFarPole(double lat) { return lat < -(90 - kPoleMargin) - kSlack; }

std::optional<Cone> MakeCone(const Projection& p) {
  for (double lat : {p.parallel1, p.parallel2}) {
    if (!(std::abs(lat) < 90)) return std::nullopt;
  }
  auto m = [](double phi) {
    return std::cos(phi) / std::sqrt(1 - kE2 * std::sin(phi) * std::sin(phi));
  };
  auto log_t = [](double phi) { return -Isometric(phi); };
  const double phi1 = p.parallel1 * kRad, phi2 = p.parallel2 * kRad;
  Cone c;
  c.n = std::abs(phi1 - phi2) < 1e-10
            ? std::sin(phi1)
            : (std::log(m(phi1)) - std::log(m(phi2))) / (log_t(phi1) - log_t(phi2));
  if (!(std::abs(c.n) >= kMinCone)) return std::nullopt;
  c.mirrored = c.n < 0;
  const double sign = c.mirrored ? -1 : 1;
  c.n = std::abs(c.n);
  c.af = kA * m(phi1) / (c.n * std::exp(c.n * log_t(sign * phi1)));
  if (BeyondFarPole(sign * p.lat0)) return std::nullopt;
  c.rho0 = c.Rho(sign * p.lat0 * kRad);
  return c;
}

// The cone of `p`, worked out once for the many points that go through one cone in a row (a
// sheet's points, a tile's pixels).
std::optional<Cone> ConeOf(const Projection& p) {
  thread_local struct {
    double parallel1 = NAN, parallel2 = NAN, lat0 = NAN;  // never equal to a query at first
    std::optional<Cone> cone;
  } last;
  if (p.parallel1 != last.parallel1 || p.parallel2 != last.parallel2 || p.lat0 != last.lat0) {
    last = {p.parallel1, p.parallel2, p.lat0, MakeCone(p)};
  }
  return last.cone;
}

bool Finite(double a, double b) { return std::isfinite(a) && std::isfinite(b); }

// Parameters that make a projection. A scale counts only where the kind has one. Beyond a
// thousandfold scale, a turn from Greenwich, or a million kilometres off, the digits of a
// position would drown in those of the origin, or underflow.
bool Valid(const Projection& p) {
  const bool unscaled =
      p.kind == ProjectionKind::kLatLon || p.kind == ProjectionKind::kLambertConic;
  return (unscaled || (p.scale >= 1e-3 && p.scale <= 1e3)) && std::abs(p.lat0) <= 90 &&
         std::abs(p.lon0) <= 360 && std::abs(p.false_easting) <= 1e9 &&
         std::abs(p.false_northing) <= 1e9;
}

// The transverse Mercator's northing of lat0, in rectifying radii.
double OriginXi(const Projection& p) {
  return p.lat0 == 0 ? 0 : TransverseZeta(p.lat0 * kRad, 0).real();
}

std::optional<Planar> Checked(Planar q) {
  if (!Finite(q.x, q.y)) return std::nullopt;
  return q;
}

std::optional<LonLat> Checked(double lat, double lon) {
  if (!Finite(lat, lon) || std::abs(lat) > 90) return std::nullopt;
  return LonLat{lon, lat};
}

// `dlon` within half a turn, where a sheet's unwrapped longitudes put it: 180 and -180 from the
// central meridian stay the two edges of a world map, not one.
double WithinHalfTurn(double dlon) {
  return std::abs(dlon) <= 180 + kSlack ? dlon : WrapLongitude(dlon);
}

}  // namespace

std::optional<Planar> Forward(const Projection& p, double lat, double lon) {
  if (!Valid(p) || !Finite(lat, lon) || std::abs(lat) > 90) return std::nullopt;
  const double dlon = WithinHalfTurn(lon - p.lon0);
  const double k = p.scale;
  switch (p.kind) {
    case ProjectionKind::kLatLon:  // as typed where it can be, so that degrees fit as before
      return Checked({lon - p.lon0 == dlon ? lon : p.lon0 + dlon, lat});
    case ProjectionKind::kMercator:
      if (std::abs(lat) > 90 - kPoleMargin) return std::nullopt;
      return Checked({p.false_easting + k * kA * dlon * kRad,
                      p.false_northing + k * kA * Isometric(lat * kRad)});
    case ProjectionKind::kTransverseMercator: {
      if (std::abs(dlon) > kTransverseMercatorReach) return std::nullopt;
      const double ka = k * Series().radius;
      const std::complex<double> zeta = TransverseZeta(lat * kRad, dlon * kRad);
      return Checked({p.false_easting + ka * zeta.imag(),
                      p.false_northing + ka * (zeta.real() - OriginXi(p))});
    }
    case ProjectionKind::kLambertConic: {
      const std::optional<Cone> c = ConeOf(p);
      if (!c) return std::nullopt;
      const double sign = c->mirrored ? -1 : 1;
      if (BeyondFarPole(sign * lat)) return std::nullopt;
      const double rho = c->Rho(sign * lat * kRad), theta = c->n * dlon * kRad;
      return Checked({p.false_easting + rho * std::sin(theta),
                      p.false_northing + sign * (c->rho0 - rho * std::cos(theta))});
    }
  }
  return std::nullopt;
}

std::optional<LonLat> Inverse(const Projection& p, double x, double y) {
  std::optional<LonLat> at = InverseAround(p, x, y);
  if (at) at->lon = WrapLongitude(at->lon);
  return at;
}

std::optional<LonLat> InverseAround(const Projection& p, double x, double y) {
  if (!Valid(p) || !Finite(x, y)) return std::nullopt;
  const double k = p.scale;
  auto within_turn = [](double dlon) { return std::abs(dlon) <= 180 + kSlack; };
  switch (p.kind) {
    case ProjectionKind::kLatLon:
      if (!within_turn(x - p.lon0)) return std::nullopt;
      return Checked(y, x);
    case ProjectionKind::kMercator: {
      const double psi = (y - p.false_northing) / (k * kA);
      const double dlon = (x - p.false_easting) / (k * kA) / kRad;
      if (std::abs(psi) > Isometric((90 - kPoleMargin) * kRad) + kSlack || !within_turn(dlon)) {
        return std::nullopt;
      }
      return Checked(FromIsometric(psi) / kRad, p.lon0 + dlon);
    }
    case ProjectionKind::kTransverseMercator: {
      const double ka = k * Series().radius;
      const std::complex<double> zeta((y - p.false_northing) / ka + OriginXi(p),
                                      (x - p.false_easting) / ka);
      // Beyond a pole, or so far east or west that the series would overflow: neither is the
      // image of a point within reach, whose easting stays below 0.56 radii.
      if (std::abs(zeta.real()) > pi / 2 + kSlack || std::abs(zeta.imag()) > 1) {
        return std::nullopt;
      }
      std::complex<double> zetap = zeta;
      for (int j = 0; j < 6; ++j) zetap -= Series().beta[j] * std::sin(2.0 * (j + 1) * zeta);
      // At the pole itself the longitude is the central meridian's.
      const double xip = std::clamp(zetap.real(), -pi / 2, pi / 2);
      const double s = std::sinh(zetap.imag()), c = std::cos(xip);
      double dlon = std::atan2(s, c) / kRad;
      if (std::abs(dlon) > kTransverseMercatorReach + kSlack) {  // beyond reach, unless on its edge
        const double past_edge = std::min(std::abs(dlon) - kTransverseMercatorReach, 90.0) * kRad;
        if (ka * std::hypot(s, c) * std::sin(past_edge) > kEdge) return std::nullopt;
        dlon = std::copysign(kTransverseMercatorReach, dlon);
      }
      const double lat = std::atan(GeodeticTan(std::sin(xip) / std::hypot(s, c))) / kRad;
      return Checked(lat, p.lon0 + dlon);
    }
    case ProjectionKind::kLambertConic: {
      const std::optional<Cone> c = ConeOf(p);
      if (!c) return std::nullopt;
      const double sign = c->mirrored ? -1 : 1;
      const double east = x - p.false_easting, north = c->rho0 - sign * (y - p.false_northing);
      const double rho = std::hypot(east, north);
      const double theta = std::atan2(east, north);
      double dlon = theta / c->n / kRad;
      if (!within_turn(dlon)) {  // in the cone's gap, unless on its edge
        const double past_edge = std::min(std::abs(theta) - c->n * pi, pi / 2);
        if (rho * std::sin(past_edge) > kEdge) return std::nullopt;
        dlon = std::copysign(180, dlon);
      }
      const double lat = rho == 0 ? 90 : FromIsometric(-std::log(rho / c->af) / c->n) / kRad;
      if (BeyondFarPole(lat)) return std::nullopt;
      return Checked(sign * lat, p.lon0 + dlon);
    }
  }
  return std::nullopt;
}

std::optional<Projection> UtmZone(double lat, double lon) {
  if (!Finite(lat, lon) || std::abs(lat) > 90) return std::nullopt;
  // 180 degrees east closes zone 60 rather than opening zone 1 a second time.
  const int zone = std::min(60, static_cast<int>(std::floor((WrapLongitude(lon) + 180) / 6)) + 1);
  Projection p;
  p.kind = ProjectionKind::kTransverseMercator;
  p.lon0 = -183 + 6 * zone;
  p.scale = 0.9996;
  p.false_easting = 500000;
  p.false_northing = lat < 0 ? 10000000 : 0;
  return p;
}

Projection MercatorAt(double lon0) {
  Projection p;
  p.kind = ProjectionKind::kMercator;
  p.lon0 = lon0;
  return p;
}

}  // namespace kal2map
