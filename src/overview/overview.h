// One GeoJSON document (RFC 7946) that shows where every sheet of a run lies: its frame, or its
// image's outline where it has none, with what a user needs to find a misplaced sheet.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "georef/fit.h"
#include "georef/sheet.h"

namespace kal2map {

struct OverviewSheet {
  std::filesystem::path kal, map;
  std::optional<std::filesystem::path> image;  // the image found
  std::string image_name;                      // UTF-8: what the map names, when none was found
  bool frame = false;
  std::string projection;  // as the map declares it
  std::optional<double> metres_per_pixel;
  int points = 0;
  std::vector<std::string> warnings;  // UTF-8
  // Its outline, not closed, longitudes running on across 180; empty when it has no place.
  std::vector<LonLat> ring;
};

// The outline through the scan positions `outline` (a closed polygon, not repeating its first
// point) placed by `sheet`: each straight side sampled finely enough that the projection's bend
// between samples stays far below a pixel. Empty where `sheet` does not reach it or it
// encloses a pole.
std::vector<LonLat> RingOf(const SheetModel& sheet, std::span<const std::array<double, 2>> outline);

// The document for `sheets`, their files named relative to `folder` (absolute) where they lie
// below it, with '/' between names. Exterior rings counter-clockwise, closed, and a ring across
// 180 degrees split there into two polygons.
std::string OverviewDocument(std::span<const OverviewSheet> sheets,
                             const std::filesystem::path& folder);

}  // namespace kal2map
