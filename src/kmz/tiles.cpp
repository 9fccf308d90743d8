#include "kmz/tiles.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace kal2map {
namespace {

// Points traced along each side of the scan: a projected side bends, and the box and the
// tiles' footprint must hold its bulge, not just the corners.
constexpr int kSideSamples = 64;
// Each try at a coarser resolution is this much coarser.
constexpr double kScaleStep = 1.02;
// Degrees by which a world map's edges may round beyond -180 and 180 and still be its edges.
constexpr double kEdgeSlack = 1e-9;
// Beyond this many tiles of the grid's rectangle the sheet is no sheet but a broken calibration.
constexpr double kMaxGridTiles = 1e6;

struct Point {
  double x = 0, y = 0;
};

// Whether the segment a-b meets the rectangle [x0, x1] x [y0, y1] (Liang-Barsky).
bool SegmentMeets(Point a, Point b, double x0, double y0, double x1, double y1) {
  double t0 = 0, t1 = 1;
  const double dx = b.x - a.x, dy = b.y - a.y;
  for (const auto [p, q] : std::array<std::array<double, 2>, 4>{
           {{-dx, a.x - x0}, {dx, x1 - a.x}, {-dy, a.y - y0}, {dy, y1 - a.y}}}) {
    if (p == 0) {
      if (q < 0) return false;
    } else if (p < 0) {
      t0 = std::max(t0, q / p);
    } else {
      t1 = std::min(t1, q / p);
    }
  }
  return t0 <= t1;
}

bool Inside(std::span<const std::array<double, 2>> polygon, Point p) {
  bool inside = false;
  for (std::size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
    const Point a{polygon[i][0], polygon[i][1]}, b{polygon[j][0], polygon[j][1]};
    if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + (p.y - a.y) / (b.y - a.y) * (b.x - a.x)) {
      inside = !inside;
    }
  }
  return inside;
}

}  // namespace

double RingArea(std::span<const LonLat> ring) {
  double twice = 0;
  for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
    twice += (ring[j].lon - ring[i].lon) * (ring[j].lat + ring[i].lat);
  }
  return std::abs(twice) / 2;
}

TileGrid MercatorGrid(int zoom) {
  TileGrid grid;
  grid.world = std::ldexp(256.0, zoom);
  grid.width = grid.height = std::int64_t{256} << zoom;
  grid.anchor_lon = -180;
  grid.lon_step = 360 / grid.world;
  grid.north = TileGrid::kMercatorLimit;
  return grid;
}

// With `clip`, each side is sampled by its share of the longest side's samples.
std::optional<std::vector<LonLat>> SheetOutline(const SheetModel& sheet, double width,
                                                double height,
                                                std::span<const std::array<double, 2>> clip) {
  const std::array<std::array<double, 2>, 4> image{
      {{0, 0}, {width, 0}, {width, height}, {0, height}}};
  const std::span<const std::array<double, 2>> corners = clip.empty() ? image : clip;
  std::vector<LonLat> ring;
  for (std::size_t side = 0; side < corners.size(); ++side) {
    const auto& [x0, y0] = corners[side];
    const auto& [x1, y1] = corners[(side + 1) % corners.size()];
    const int samples =
        clip.empty() ? kSideSamples
                     : static_cast<int>(std::ceil(kSideSamples * std::hypot(x1 - x0, y1 - y0) /
                                                  std::max(width, height)));
    for (int i = 0; i < samples; ++i) {
      const double t = static_cast<double>(i) / samples;
      const double x = x0 + t * (x1 - x0), y = y0 + t * (y1 - y0);
      // About the sheet's middle meridian: a world map runs from -180 to 180, not from 180 on.
      // A sheet in degrees reaching past a pole shows up to the pole, as its border does.
      std::optional<LonLat> at = sheet.LonLatAround(x, y);
      if (sheet.projection.kind == ProjectionKind::kLatLon) {
        at = LonLat{sheet.plane.p(x, y), std::clamp(sheet.plane.q(x, y), -90.0, 90.0)};
      }
      if (!at || !std::isfinite(at->lon) || !std::isfinite(at->lat)) return std::nullopt;
      if (!ring.empty()) at->lon = ring.back().lon + WrapLongitude(at->lon - ring.back().lon);
      ring.push_back(*at);
    }
  }
  // A ring around a pole comes back a whole turn away from where it started.
  const double closing = ring.back().lon + WrapLongitude(ring[0].lon - ring.back().lon);
  if (!(std::abs(closing - ring[0].lon) < 1)) return std::nullopt;
  const double west = std::ranges::min(ring, {}, &LonLat::lon).lon;
  const double shift = west < -180 - kEdgeSlack   ? 360 * std::ceil((-180 - west) / 360 - 1e-12)
                       : west >= 180 - kEdgeSlack ? -360 * std::floor((west + 180) / 360 + 1e-12)
                                                  : 0;
  for (LonLat& p : ring) p.lon += shift;
  return ring;
}

std::optional<std::array<double, 2>> SourceSteps(const SheetModel& sheet, double width,
                                                 double height) {
  const double cx = width / 2, cy = height / 2;
  const std::optional<LonLat> c = sheet.LonLatAt(cx, cy);
  const std::optional<LonLat> right = sheet.LonLatAt(cx + 1, cy);
  const std::optional<LonLat> down = sheet.LonLatAt(cx, cy + 1);
  if (!c || !right || !down) return std::nullopt;
  const DegreeLengths degree = MetresPerDegree(c->lat);
  auto metres = [&](const LonLat& p) {
    return std::hypot(degree.lat * (p.lat - c->lat), degree.lon * WrapLongitude(p.lon - c->lon));
  };
  const double pixel = std::min(metres(*right), metres(*down));
  const std::array<double, 2> steps{pixel / degree.lat, pixel / degree.lon};
  if (!(steps[0] > 0 && steps[1] > 0 && std::isfinite(steps[0]) && std::isfinite(steps[1]))) {
    return std::nullopt;
  }
  return steps;
}

TileGrid GridFor(std::span<const LonLat> ring, double lat_step, double lon_step) {
  const auto [south, north] = std::ranges::minmax(ring, {}, &LonLat::lat);
  const auto [west, east] = std::ranges::minmax(ring, {}, &LonLat::lon);
  // A world map: whole pixels to the turn, so that its columns end on 180, not past it.
  if (east.lon - west.lon >= 360 - kEdgeSlack) lon_step = 360 / std::ceil(360 / lon_step - 1e-9);
  TileGrid grid;
  grid.north = north.lat;
  grid.lat_step = lat_step;
  grid.lon_step = lon_step;
  grid.height = std::max<std::int64_t>(1, std::ceil((north.lat - south.lat) / lat_step));
  grid.across_antimeridian = east.lon > 180 + kEdgeSlack;
  if (grid.across_antimeridian) {
    // 180 on a column edge, so that no tile straddles it.
    grid.anchor_lon = 180;
    grid.anchor_x = std::ceil((180 - west.lon) / lon_step);
    grid.width = grid.anchor_x + std::ceil((east.lon - 180) / lon_step);
  } else {
    grid.anchor_lon = west.lon;
    grid.width = std::max<std::int64_t>(1, std::ceil((east.lon - west.lon) / lon_step - 1e-9));
  }
  return grid;
}

bool ShowsOutline(std::span<const std::array<double, 2>> outline, std::int64_t x0, std::int64_t y0,
                  std::int64_t x1, std::int64_t y1) {
  const double left = static_cast<double>(x0) + 0.5, right = static_cast<double>(x1) - 0.5;
  const double top = static_cast<double>(y0) + 0.5, bottom = static_cast<double>(y1) - 0.5;
  for (std::size_t i = 0; i < outline.size(); ++i) {
    const auto& a = outline[i];
    const auto& b = outline[(i + 1) % outline.size()];
    if (SegmentMeets({a[0], a[1]}, {b[0], b[1]}, left, top, right, bottom)) return true;
  }
  return Inside(outline, {left, top});
}

std::vector<std::array<double, 2>> InGrid(const TileGrid& grid, std::span<const LonLat> ring) {
  std::vector<std::array<double, 2>> outline;
  for (const LonLat& p : ring) outline.push_back({grid.XAt(p.lon), grid.YAt(p.lat)});
  return outline;
}

std::vector<Tile> TilesOf(const TileGrid& grid, std::span<const std::array<double, 2>> outline,
                          int side) {
  // Column edges at anchor_x and whole tiles from it either way; the outer columns narrower.
  const std::int64_t first = grid.anchor_x % side == 0 ? 0 : grid.anchor_x % side - side;
  std::vector<Tile> tiles;
  if (outline.empty()) return tiles;
  // Only the tiles round the outline's box: a mosaic's grid may span far more.
  const auto [left, right] = std::ranges::minmax(outline, {}, [](auto& p) { return p[0]; });
  const auto [top, bottom] = std::ranges::minmax(outline, {}, [](auto& p) { return p[1]; });
  auto tile_of = [&](double v, std::int64_t origin, std::int64_t count) {
    return std::clamp<std::int64_t>(static_cast<std::int64_t>(std::floor((v - origin) / side)), 0,
                                    std::max<std::int64_t>(0, count - 1));
  };
  const std::int64_t columns = (grid.width - first + side - 1) / side;
  const std::int64_t rows = (grid.height + side - 1) / side;
  const std::int64_t row0 = tile_of(top[1], 0, rows), row1 = tile_of(bottom[1], 0, rows);
  const std::int64_t col0 = tile_of(left[0], first, columns);
  const std::int64_t col1 = tile_of(right[0], first, columns);
  for (std::int64_t row = row0, y = row0 * side; row <= row1; y += side, ++row) {
    for (std::int64_t column = col0, x = first + col0 * side; column <= col1; x += side, ++column) {
      Tile t;
      t.row = static_cast<int>(row);
      t.column = static_cast<int>(column);
      t.x = std::max<std::int64_t>(0, x);
      t.y = y;
      t.width = static_cast<int>(std::min(grid.width, x + side) - t.x);
      t.height = static_cast<int>(std::min(grid.height, y + side) - y);
      if (!ShowsOutline(outline, t.x, t.y, t.x + t.width, t.y + t.height)) continue;
      const double x_end = static_cast<double>(t.x + t.width);
      t.box = {grid.LatAt(static_cast<double>(y)), grid.LatAt(static_cast<double>(y + t.height)),
               grid.LonAt(x_end), grid.LonAt(static_cast<double>(t.x))};
      if (grid.across_antimeridian && t.x >= grid.anchor_x) {
        t.box.east -= 360;
        t.box.west -= 360;
      }
      // A world map's outer columns and rows, rounded past 180 or the poles.
      t.box.east = std::min(t.box.east, 180.0);
      t.box.west = std::max(t.box.west, -180.0);
      t.box.north = std::min(t.box.north, 90.0);
      t.box.south = std::max(t.box.south, -90.0);
      tiles.push_back(t);
    }
  }
  return tiles;
}

std::optional<TilePlan> PlanTiles(const SheetModel& sheet, std::uint32_t width,
                                  std::uint32_t height, int max_tiles,
                                  std::span<const std::array<double, 2>> clip) {
  if (width == 0 || height == 0) return std::nullopt;
  const std::optional<std::vector<LonLat>> ring = SheetOutline(sheet, width, height, clip);
  const std::optional<std::array<double, 2>> steps = SourceSteps(sheet, width, height);
  if (!ring || !steps) return std::nullopt;
  const auto [lat_step, lon_step] = *steps;
  // A sheet across 180 is cut there, so each side needs a tile of its own.
  const bool across = std::ranges::max(*ring, {}, &LonLat::lon).lon > 180 + kEdgeSlack;
  max_tiles = std::max(across ? 2 : 1, max_tiles);

  // Tiles hold no more than their own area, so no scale below this fits the budget.
  const double least_tiles =
      RingArea(*ring) / (lat_step * lon_step) / (double{kTileSide} * kTileSide);
  TilePlan plan;
  plan.scale = std::max(1.0, std::sqrt(least_tiles / max_tiles));
  for (;; plan.scale *= kScaleStep) {
    plan.grid = GridFor(*ring, lat_step * plan.scale, lon_step * plan.scale);
    const double rectangle_tiles = std::ceil(static_cast<double>(plan.grid.width) / kTileSide + 1) *
                                   std::ceil(static_cast<double>(plan.grid.height) / kTileSide);
    if (!(rectangle_tiles < kMaxGridTiles)) return std::nullopt;
    plan.tiles = TilesOf(plan.grid, InGrid(plan.grid, *ring));
    if (plan.tiles.size() <= static_cast<std::size_t>(max_tiles)) break;
  }
  if (plan.tiles.empty()) return std::nullopt;  // a scan too small to cover a pixel's centre
  plan.reduced = plan.scale > 1;
  if (!clip.empty()) {
    plan.clip = InGrid(plan.grid, *ring);
  }
  return plan;
}

}  // namespace kal2map
