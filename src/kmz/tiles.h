// A sheet redrawn for a custom map: north up in latitude/longitude, at the scan's own ground
// resolution where the tile budget allows, cut into tiles of at most kTileSide pixels a side,
// each placed by its box alone.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "georef/sheet.h"

namespace kal2map {

inline constexpr int kTileSide = 1024;  // the most a custom map's tile may have either way
inline constexpr int kDefaultMaxTiles = 100;

struct LatLonBox {
  double north = 0, south = 0, east = 0, west = 0;
};

// The output pixels of the whole sheet, or mosaic. Every pixel edge's coordinate comes from
// one expression of its index, so the tiles on either side of an edge get the same double for
// it. Rows are evenly spaced in latitude, or with `world` in Web Mercator's y.
struct TileGrid {
  double north = 0;       // latitude of the top edge of row 0
  double anchor_lon = 0;  // longitude of the left edge of column anchor_x
  std::int64_t anchor_x = 0;
  double lat_step = 0, lon_step = 0;  // degrees per output pixel; lat_step unused in Mercator
  std::int64_t width = 0, height = 0;
  bool across_antimeridian = false;  // then anchor_lon is 180, and longitudes count on past it
  double world = 0;  // Web Mercator: pixels round the equator, row 0 at its northern limit

  double LatAt(double y) const {
    if (world > 0) return std::atan(std::sinh(kPi * (1 - 2 * y / world))) * 180 / kPi;
    return north - y * lat_step;
  }
  double LonAt(double x) const {
    return anchor_lon + (x - static_cast<double>(anchor_x)) * lon_step;
  }
  double YAt(double lat) const {
    if (world > 0) {
      const double phi = std::clamp(lat, -kMercatorLimit, kMercatorLimit) * kPi / 180;
      return (0.5 - std::log(std::tan(kPi / 4 + phi / 2)) / (2 * kPi)) * world;
    }
    return (north - lat) / lat_step;
  }
  double XAt(double lon) const {
    return (lon - anchor_lon) / lon_step + static_cast<double>(anchor_x);
  }

  static constexpr double kPi = 3.14159265358979323846;
  static constexpr double kMercatorLimit = 85.0511287798066;  // the square world's edge
};

// Web Mercator at `zoom`: 256 << zoom pixels each way.
TileGrid MercatorGrid(int zoom);

struct Tile {
  int row = 0, column = 0;    // its place among the tiles, from the north-west
  std::int64_t x = 0, y = 0;  // its top-left pixel in the grid
  int width = 0, height = 0;
  LatLonBox box;  // within -180..180: east of 180 turned back by a whole turn
};

struct TilePlan {
  TileGrid grid;
  std::vector<Tile> tiles;  // the ones that show part of the scan, north to south, west to east
  double scale = 1;         // output pixel size over the scan's ground resolution, at least 1
  bool reduced = false;     // scale was raised to keep within the tile budget
  // The part of the scan the tiles show, in grid pixels, not closed; empty: the whole scan.
  std::vector<std::array<double, 2>> clip;
};

// The border of the scan (or of `clip`, a polygon in scan pixels) in latitude/longitude, its
// longitudes running on across 180 so that it stays one closed ring, east of -180. Empty where
// it has no place or encloses a pole.
std::optional<std::vector<LonLat>> SheetOutline(const SheetModel& sheet, double width,
                                                double height,
                                                std::span<const std::array<double, 2>> clip);

// Degrees of latitude and longitude that span one scan pixel at the scan's centre, the
// shorter of its sides, so that no direction loses detail.
std::optional<std::array<double, 2>> SourceSteps(const SheetModel& sheet, double width,
                                                 double height);

// The lat/lon grid at these steps round every point of `rings`, 180 on a column edge when
// they reach past it.
TileGrid GridFor(std::span<const LonLat> points, double lat_step, double lon_step);

// The tiles of at most `side` pixels a side, column edges on the grid's anchor, whose pixel
// centres `outline` (in grid pixels) reaches.
std::vector<Tile> TilesOf(const TileGrid& grid, std::span<const std::array<double, 2>> outline,
                          int side = kTileSide);

// The area `ring` encloses, in square degrees.
double RingArea(std::span<const LonLat> ring);

// `ring` in the grid's pixels.
std::vector<std::array<double, 2>> InGrid(const TileGrid& grid, std::span<const LonLat> ring);

// Whether `outline`, a polygon in grid pixels, reaches the rectangle through the centres of
// the pixels [x0, x1) x [y0, y1): a tile that only its edge grazes would come out blank.
bool ShowsOutline(std::span<const std::array<double, 2>> outline, std::int64_t x0, std::int64_t y0,
                  std::int64_t x1, std::int64_t y1);

// The plan for the scan of `width` x `height` pixels placed by `sheet`, in at most `max_tiles`
// tiles (at least one). With `clip`, a polygon in scan pixels (not closed), the tiles show only
// the scan within it: those wholly outside are left out, and the budget goes to it alone.
// Empty where the scan's border (or `clip`) has no place, or encloses a pole.
std::optional<TilePlan> PlanTiles(const SheetModel& sheet, std::uint32_t width,
                                  std::uint32_t height, int max_tiles = kDefaultMaxTiles,
                                  std::span<const std::array<double, 2>> clip = {});

}  // namespace kal2map
