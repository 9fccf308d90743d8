#pragma once

#include <string>
#include <string_view>

#include "record/state.h"

namespace kal2map {

// Cuts the "Latitude", "Longitude" and "Pixel" values of one line of a calibration point
// section into row PointCount of the point table. Cells the line does not set keep their
// text. Does nothing unless PointCount names a row of the table.
void ParsePointLine(State& state, std::string_view line);

// Minutes text for the digits after a decimal-degree value's point: a blank, then
// 0.<fraction> x 60 with at most 15 significant digits, e.g. "15560" gives " 9.336".
std::string FractionToMinutes(std::string_view fraction);

}  // namespace kal2map
