// A sheet redrawn for a custom map: north up in latitude/longitude, at the scan's own ground
// resolution where the tile budget allows, cut into tiles of at most kTileSide pixels a side,
// each placed by its box alone.
#pragma once

#include <array>
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

// The output pixels of the whole sheet. Every pixel edge's coordinate comes from one
// expression of its index, so the tiles on either side of an edge get the same double for it.
struct TileGrid {
  double north = 0;       // latitude of the top edge of row 0
  double anchor_lon = 0;  // longitude of the left edge of column anchor_x
  std::int64_t anchor_x = 0;
  double lat_step = 0, lon_step = 0;  // degrees per output pixel
  std::int64_t width = 0, height = 0;
  bool across_antimeridian = false;  // then anchor_lon is 180, and longitudes count on past it

  double LatAt(double y) const { return north - y * lat_step; }
  double LonAt(double x) const {
    return anchor_lon + (x - static_cast<double>(anchor_x)) * lon_step;
  }
};

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

// The plan for the scan of `width` x `height` pixels placed by `sheet`, in at most `max_tiles`
// tiles (at least one). With `clip`, a polygon in scan pixels (not closed), the tiles show only
// the scan within it: those wholly outside are left out, and the budget goes to it alone.
// Empty where the scan's border (or `clip`) has no place, or encloses a pole.
std::optional<TilePlan> PlanTiles(const SheetModel& sheet, std::uint32_t width,
                                  std::uint32_t height, int max_tiles = kDefaultMaxTiles,
                                  std::span<const std::array<double, 2>> clip = {});

}  // namespace kal2map
