// What a map gets beyond its fixed lines: the border, scale and image size when complete maps
// are wanted, and the warnings of the calibration check, which runs on every map.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "georef/fit.h"
#include "imagesize/find_image.h"
#include "mapfile/border_lines.h"
#include "record/state.h"

namespace kal2map {

struct MapExtras {
  std::optional<MapBorder> border;  // only with state.CompleteMaps, and only when computable
  // The plane the sheet was drawn in, for a complete map when it is not latitude/longitude.
  std::optional<Projection> projection;
  std::vector<std::string> warnings;  // German, UTF-8, each naming no file
  std::vector<GeoPoint> points;       // the usable points, as readers take them from the map
  // The map's image, looked for with complete maps, KMZ files, frames or an overview and two
  // usable points.
  std::optional<std::filesystem::path> image;
};

// Why the image of the record's file was not found: it names none, or none is there.
std::string ImageNotFoundText(const State& state);

// For the map `map` (as built from `state`) that goes to `map_path`. A map without a border
// when one was wanted gets one warning saying why, unless it has fewer than two usable points,
// which the check already reports.
MapExtras CompleteAndCheck(const State& state, std::string_view map,
                           const std::filesystem::path& map_path, ImageFinder& finder);

}  // namespace kal2map
