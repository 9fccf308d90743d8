// The KML document of a custom map: one ground overlay a tile.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "kmz/tiles.h"

namespace kal2map {

// Where the archive holds `tile`'s JPEG.
std::string TileFileName(const Tile& tile);

// doc.kml for the tiles of the sheet named `sheet_name` (UTF-8), each drawn at `draw_order`.
std::string KmlDocument(std::string_view sheet_name, std::span<const Tile> tiles, int draw_order);

}  // namespace kal2map
