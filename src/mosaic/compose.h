// The drawing of sheets into one grid of tiles, and the levels averaged below it.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <system_error>
#include <vector>

#include "kmz/tiles.h"
#include "mosaic/mosaic.h"

namespace kal2map {

// One sheet's part of the top level.
struct SheetPart {
  const MosaicSheet* sheet = nullptr;
  // The top level's grid, its clip in grid pixels and its scale; no tiles.
  TilePlan plan;
  // The sheet's tiles there: column and row as the tile is known, x and y where the sheet
  // draws it. Listed when needed, so that hundreds of sheets do not hold theirs all run long.
  std::function<std::vector<Tile>()> tiles;
  std::uint16_t rank = 0;  // where sheets overlap, the higher rank is shown
};

// A finished tile of `level`: `height` rows of 3 * `width` bytes, white where no sheet shows.
using TileEmit = std::function<std::error_code(int level, int column, int row, int width,
                                               int height, const std::uint8_t* rgb)>;

// The levels drawn: `top` from the sheets, and each below it down to `lowest` averaged from
// the one above, two by two pixels into tiles of 256 (column and row halved).
struct Levels {
  int top = 0, lowest = 0;
};

// Draws `parts` in their order, each sheet's image read once, and hands every tile to `emit`
// as soon as no sheet is left to draw on it. A sheet whose image fails is left out (or left
// partly drawn) with a warning in `summary`; an error of `emit` or `spill`, or the observer's
// stop, ends it.
std::error_code Compose(std::span<const SheetPart> parts, Levels levels, const TileEmit& emit,
                        TileSpill& spill, const MosaicMemory& memory,
                        const MosaicObserver& observer, MosaicSummary& summary);

}  // namespace kal2map
