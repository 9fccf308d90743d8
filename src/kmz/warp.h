// The tiles' pixels, drawn from a scan that is decoded once, from the top, through a window of
// its rows small enough for a 32-bit program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <system_error>

#include "georef/sheet.h"
#include "image/image.h"
#include "kmz/tiles.h"

namespace kal2map {

// The most the window of scan rows may take. With a tile in the making, the codec's own rows
// and the finished archive, a 20,000 x 15,000 scan stays well within 256 MB.
inline constexpr std::size_t kWindowBytes = std::size_t{96} << 20;

// A finished tile: rows of 3 * tile.width bytes of RGB, the top row first, and a byte a pixel
// that is not 0 where the scan (within the clip) shows.
using TileSink = std::function<std::error_code(const Tile& tile, const std::uint8_t* rgb,
                                               const std::uint8_t* covered)>;

struct WarpStats {
  int decode_scale = 1;          // scan pixels averaged into one, each way, while decoding
  std::size_t window_bytes = 0;  // the window of rows, at that scale
};

// Draws every tile of `plan` from `source`, which `sheet` places, bilinearly; pixels off the
// scan are white. Hands the tiles to `sink` in the order the scan's rows serve them, not the
// plan's. Stops at the first error of the source or the sink.
std::error_code WarpTiles(const SheetModel& sheet, const TilePlan& plan, ImageRows& source,
                          const TileSink& sink, WarpStats* stats = nullptr,
                          std::size_t window_bytes = kWindowBytes);

}  // namespace kal2map
