// Reads back what readers take from a map's point lines, for the checks made on a map before
// it is written.
#pragma once

#include <string_view>
#include <vector>

#include "georef/fit.h"

namespace kal2map {

// The calibration points of a built map as readers take them from its point lines: pixel
// position, and degrees plus minutes/60, negative for S and W. A line whose pixel or coordinate
// fields are not numbers, or whose degrees or minutes are empty, is left out, as readers drop it.
std::vector<GeoPoint> UsablePoints(std::string_view map);

}  // namespace kal2map
