// Where the sheets of a mosaic lie, which is shown where they overlap, and the tiles each
// draws: in Web Mercator for phone apps, in latitude/longitude for a Garmin.
#pragma once

#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "kmz/tiles.h"
#include "mosaic/compose.h"
#include "mosaic/mosaic.h"

namespace kal2map {

// A sheet's place: its clip in latitude/longitude, longitudes continuous with the first
// sheet's, and the ground length of its pixels at its middle (the shorter side).
struct Footprint {
  const MosaicSheet* sheet = nullptr;
  std::vector<LonLat> ring;
  double metres_per_pixel = 0;
};

// The footprints of the sheets that have a place; each other one gets a warning.
std::vector<Footprint> Footprints(std::span<const MosaicSheet> sheets,
                                  std::vector<std::string>& warnings);

// The rank of each footprint: coarser sheets lower; among sheets of one scale (within a few
// per cent), the later one higher.
std::vector<std::uint16_t> Ranks(std::span<const Footprint> footprints);

struct MercatorMosaic {
  Levels levels;                 // zoom levels
  std::vector<SheetPart> parts;  // north to south
  double west = 0, south = 0, east = 0, north = 0;
  double center_lon = 0;  // within -180..180, also for a region across 180
};

// The zoom levels from the first as fine as the finest sheet at the mosaic's middle latitude
// down to the one where it all fits one tile, and each sheet's tiles at the first.
std::error_code PlanMercator(std::span<const Footprint> footprints, MercatorMosaic& mosaic);

struct LatLonMosaic {
  TileGrid grid;
  std::vector<Tile> tiles;  // north to south, west to east
  std::vector<SheetPart> parts;
  bool reduced = false;  // coarser than the finest sheet, to keep within the budget
};

// The whole mosaic in at most `max_tiles` tiles of a latitude/longitude grid, at the finest
// resolution that fits.
std::error_code PlanLatLon(std::span<const Footprint> footprints, int max_tiles,
                           LatLonMosaic& mosaic);

}  // namespace kal2map
