#include "mosaic/plan.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <set>

#include "georef/fit.h"

namespace kal2map {
namespace {

constexpr double kEquatorMetres = 2 * TileGrid::kPi * 6378137;
constexpr int kMaxZoom = 24;
// Sheets whose pixels differ by less than this are of one scale: their order decides.
constexpr double kSameScale = 1.05;
// More tiles than this is no region of sheets but a broken calibration.
constexpr std::size_t kMaxTopTiles = std::size_t{1} << 21;
constexpr double kScaleStep = 1.02;

double Mean(const std::vector<LonLat>& ring) {
  double sum = 0;
  for (const LonLat& p : ring) sum += p.lon;
  return sum / static_cast<double>(ring.size());
}

struct Bounds {
  double west = 1e9, south = 1e9, east = -1e9, north = -1e9;
};

Bounds BoundsOf(std::span<const Footprint> footprints) {
  Bounds b;
  for (const Footprint& f : footprints) {
    for (const LonLat& p : f.ring) {
      b.west = std::min(b.west, p.lon);
      b.east = std::max(b.east, p.lon);
      b.south = std::min(b.south, p.lat);
      b.north = std::max(b.north, p.lat);
    }
  }
  return b;
}

double NorthOf(const Footprint& f) { return std::ranges::max(f.ring, {}, &LonLat::lat).lat; }
double WestOf(const Footprint& f) { return std::ranges::min(f.ring, {}, &LonLat::lon).lon; }

// The parts in the order they are drawn: north to south, so that the tiles waiting for the
// next sheet lie along one front.
std::vector<SheetPart> Ordered(std::span<const Footprint> footprints,
                               std::vector<SheetPart> parts) {
  std::vector<std::size_t> order(parts.size());
  std::iota(order.begin(), order.end(), 0);
  std::ranges::stable_sort(order, [&](std::size_t a, std::size_t b) {
    return std::pair(-NorthOf(footprints[a]), WestOf(footprints[a])) <
           std::pair(-NorthOf(footprints[b]), WestOf(footprints[b]));
  });
  std::vector<SheetPart> sorted;
  for (std::size_t i : order) sorted.push_back(std::move(parts[i]));
  return sorted;
}

}  // namespace

std::vector<Footprint> Footprints(std::span<const MosaicSheet> sheets,
                                  std::vector<std::string>& warnings) {
  std::vector<Footprint> footprints;
  for (const MosaicSheet& sheet : sheets) {
    const double w = sheet.width, h = sheet.height;
    std::optional<std::vector<LonLat>> ring = SheetOutline(sheet.sheet, w, h, sheet.clip);
    const std::optional<std::array<double, 2>> steps = SourceSteps(sheet.sheet, w, h);
    if (!ring || !steps) {
      warnings.push_back(sheet.name + ": der Rand des Bildes l\xC3\xA4sst sich nicht verorten");
      continue;
    }
    // Beside the first sheet, not a turn away: a region across 180 stays one.
    if (!footprints.empty()) {
      const double shift = 360 * std::round((Mean(footprints[0].ring) - Mean(*ring)) / 360);
      for (LonLat& p : *ring) p.lon += shift;
    }
    const double middle = (std::ranges::max(*ring, {}, &LonLat::lat).lat +
                           std::ranges::min(*ring, {}, &LonLat::lat).lat) /
                          2;
    footprints.push_back({&sheet, std::move(*ring), (*steps)[0] * MetresPerDegree(middle).lat});
  }
  // East of -180, as each ring was on its own: a region across 180 reaches past 180 instead.
  if (BoundsOf(footprints).west < -180 - 1e-9) {
    for (Footprint& f : footprints) {
      for (LonLat& p : f.ring) p.lon += 360;
    }
  }
  return footprints;
}

std::vector<std::uint16_t> Ranks(std::span<const Footprint> footprints) {
  std::vector<std::size_t> order(footprints.size());
  std::iota(order.begin(), order.end(), 0);
  // Coarsest first; then sheets of one scale in a group, ranked by their order in the run.
  std::ranges::stable_sort(order, std::greater{},
                           [&](std::size_t i) { return footprints[i].metres_per_pixel; });
  std::vector<std::size_t> group(footprints.size());
  for (std::size_t k = 1, g = 0, first = order[0]; k < order.size(); ++k) {
    if (footprints[first].metres_per_pixel > footprints[order[k]].metres_per_pixel * kSameScale) {
      ++g;
      first = order[k];
    }
    group[order[k]] = g;
  }
  std::ranges::stable_sort(order, {}, [&](std::size_t i) { return std::pair(group[i], i); });
  std::vector<std::uint16_t> ranks(footprints.size());
  for (std::size_t k = 0; k < order.size(); ++k) {
    ranks[order[k]] = static_cast<std::uint16_t>(std::min<std::size_t>(k + 1, 0xFFFF));
  }
  return ranks;
}

std::error_code PlanMercator(std::span<const Footprint> footprints, MercatorMosaic& mosaic) {
  if (footprints.empty()) return MakeError(MosaicError::kNoSheet);
  const Bounds b = BoundsOf(footprints);
  const double finest =
      std::ranges::min(footprints, {}, &Footprint::metres_per_pixel).metres_per_pixel;
  const double middle =
      std::clamp((b.north + b.south) / 2, -TileGrid::kMercatorLimit, TileGrid::kMercatorLimit);
  const double equator = kEquatorMetres * std::cos(middle * TileGrid::kPi / 180) / 256;
  int top = 0;
  while (top < kMaxZoom && equator / std::ldexp(1.0, top) > finest * (1 + 1e-9)) ++top;
  // The lowest: the deepest level at which the whole mosaic is one tile.
  int lowest = top;
  for (; lowest > 0; --lowest) {
    const TileGrid grid = MercatorGrid(lowest);
    const double x0 = grid.XAt(b.west), x1 = grid.XAt(b.east);
    const double y0 = grid.YAt(b.north), y1 = grid.YAt(b.south);
    if (std::floor(x0 / 256) == std::floor(std::nextafter(x1, x0) / 256) &&
        std::floor(y0 / 256) == std::floor(std::nextafter(y1, y0) / 256) && x1 <= grid.world) {
      break;
    }
  }
  mosaic.levels = {top, lowest};
  mosaic.west = std::max(b.west, -180.0);
  mosaic.east = b.east > 180 ? 180.0 : b.east;
  if (b.east > 180) mosaic.west = -180;
  mosaic.center_lon = WrapLongitude((b.west + b.east) / 2);
  mosaic.south = std::max(b.south, -TileGrid::kMercatorLimit);
  mosaic.north = std::min(b.north, TileGrid::kMercatorLimit);

  const TileGrid grid = MercatorGrid(top);
  const std::int64_t columns = std::int64_t{1} << top;
  const std::vector<std::uint16_t> ranks = Ranks(footprints);
  std::vector<SheetPart> parts;
  std::size_t total = 0;
  for (std::size_t i = 0; i < footprints.size(); ++i) {
    const Footprint& f = footprints[i];
    SheetPart part{f.sheet, {}, {}, ranks[i]};
    part.plan.grid = grid;
    part.plan.clip = InGrid(grid, f.ring);
    const auto [left, right] =
        std::ranges::minmax(part.plan.clip, {}, [](auto& p) { return p[0]; });
    const auto [high, low] = std::ranges::minmax(part.plan.clip, {}, [](auto& p) { return p[1]; });
    const std::int64_t c0 = static_cast<std::int64_t>(std::floor(left[0] / 256));
    const std::int64_t c1 = static_cast<std::int64_t>(std::floor(right[0] / 256));
    const std::int64_t r0 = std::max<std::int64_t>(0, std::floor(high[1] / 256));
    const std::int64_t r1 = std::min<std::int64_t>(columns - 1, std::floor(low[1] / 256));
    total += static_cast<std::size_t>(
        std::min(static_cast<double>(c1 - c0 + 1) * static_cast<double>(r1 - r0 + 1), 1e12));
    if (total > kMaxTopTiles) return MakeError(MosaicError::kTooManyTiles);
    part.tiles = [clip = part.plan.clip, c0, c1, r0, r1, columns] {
      std::vector<Tile> tiles;
      for (std::int64_t r = r0; r <= r1; ++r) {
        for (std::int64_t c = c0; c <= c1; ++c) {
          if (!ShowsOutline(clip, c * 256, r * 256, c * 256 + 256, r * 256 + 256)) continue;
          Tile t;
          t.column = static_cast<int>(((c % columns) + columns) % columns);
          t.row = static_cast<int>(r);
          t.x = c * 256;
          t.y = r * 256;
          t.width = t.height = 256;
          tiles.push_back(t);
        }
      }
      return tiles;
    };
    // Where the level is coarser than the scan, rows are averaged as they are decoded.
    part.plan.scale = std::max(1.0, kEquatorMetres * std::cos(NorthOf(f) * TileGrid::kPi / 180) /
                                        grid.world / f.metres_per_pixel);
    parts.push_back(std::move(part));
  }
  mosaic.parts = Ordered(footprints, std::move(parts));
  return {};
}

std::error_code PlanLatLon(std::span<const Footprint> footprints, int max_tiles,
                           LatLonMosaic& mosaic) {
  if (footprints.empty()) return MakeError(MosaicError::kNoSheet);
  const Bounds b = BoundsOf(footprints);
  const double finest =
      std::ranges::min(footprints, {}, &Footprint::metres_per_pixel).metres_per_pixel;
  const DegreeLengths degree = MetresPerDegree((b.north + b.south) / 2);
  const double lat_step = finest / degree.lat, lon_step = finest / degree.lon;
  std::vector<LonLat> points;
  double area = 0;
  for (const Footprint& f : footprints) {
    points.insert(points.end(), f.ring.begin(), f.ring.end());
    area += RingArea(f.ring);
  }
  if (b.east > 180) max_tiles = std::max(max_tiles, 2);  // each side of 180 a tile at least
  // Tiles hold no more than their own area, so no scale below this fits the budget.
  double scale = std::max(
      1.0, std::sqrt(area / (lat_step * lon_step) / (double{kTileSide} * kTileSide) / max_tiles));
  for (;; scale *= kScaleStep) {
    mosaic.grid = GridFor(points, lat_step * scale, lon_step * scale);
    // Sheets far apart: a coarser grid until its tiles can be numbered.
    if (!(static_cast<double>(mosaic.grid.width) * static_cast<double>(mosaic.grid.height) /
              (double{kTileSide} * kTileSide) <
          1e6)) {
      continue;
    }
    std::set<std::pair<int, int>> seen;
    mosaic.tiles.clear();
    for (const Footprint& f : footprints) {
      for (const Tile& t : TilesOf(mosaic.grid, InGrid(mosaic.grid, f.ring))) {
        if (seen.emplace(t.row, t.column).second) mosaic.tiles.push_back(t);
      }
    }
    if (mosaic.tiles.size() <= static_cast<std::size_t>(max_tiles)) break;
  }
  std::ranges::sort(mosaic.tiles, {}, [](const Tile& t) { return std::pair(t.row, t.column); });
  mosaic.reduced = scale > 1;
  const std::vector<std::uint16_t> ranks = Ranks(footprints);
  std::vector<SheetPart> parts;
  for (std::size_t i = 0; i < footprints.size(); ++i) {
    SheetPart part{footprints[i].sheet, {}, {}, ranks[i]};
    part.plan.grid = mosaic.grid;
    part.plan.clip = InGrid(mosaic.grid, footprints[i].ring);
    part.tiles = [grid = mosaic.grid, clip = part.plan.clip] { return TilesOf(grid, clip); };
    part.plan.scale = std::max(1.0, finest * scale / footprints[i].metres_per_pixel);
    parts.push_back(std::move(part));
  }
  mosaic.parts = Ordered(footprints, std::move(parts));
  return {};
}

}  // namespace kal2map
