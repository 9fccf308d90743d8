// The lines that make a map complete: the border, the scale and the image size, which readers
// otherwise add only after loading and saving the map once.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "georef/fit.h"
#include "georef/projection.h"

namespace kal2map {

struct MapBorder {
  std::int64_t width = 0;  // image size in pixels
  std::int64_t height = 0;
  // Longitude and latitude at the corners (0,0), (W,0), (W,H), (0,H), in decimal degrees; or
  // at the printed frame's corners, in the same order, when `frame` holds their pixels.
  std::array<std::array<double, 2>, 4> corners{};
  std::optional<std::array<std::array<std::int64_t, 2>, 4>> frame;
  double metres_per_pixel = 0;
};

// Makes a built map declare `projection` in its projection line and its setup line, with
// latitude of origin, central meridian, scale, false easting and northing, and a cone's two
// standard parallels, in the fields and order readers take them from.
void DeclareProjection(std::string& map, const Projection& projection);

// The 13 lines after the fixed ones, each ended by CR LF, in the order map tools write them.
std::string BorderLines(const MapBorder& border);

}  // namespace kal2map
