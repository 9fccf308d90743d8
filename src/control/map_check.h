// What a map gets beyond its fixed lines: the border, scale and image size when complete maps
// are wanted, and the warnings of the calibration check, which runs on every map.
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "georef/fit.h"
#include "georef/sheet.h"
#include "imagesize/find_image.h"
#include "mapfile/border_lines.h"
#include "record/state.h"

namespace kal2map {

// The image a map names, as found beside the map, or why there is none.
struct SheetImage {
  std::optional<std::filesystem::path> path;
  std::string missing;  // German, UTF-8: why `path` is empty
};

// The image of the record's file for the map at `map_path`.
SheetImage FindSheetImage(const State& state, const std::filesystem::path& map_path,
                          ImageFinder& finder);

struct MapExtras {
  std::optional<MapBorder> border;  // only with state.CompleteMaps, and only when computable
  // The plane the sheet was drawn in, for a complete map when it is not latitude/longitude.
  std::optional<Projection> projection;
  std::vector<std::string> warnings;  // German, UTF-8, each naming no file
};

// For the map that goes to `map_path`, whose usable points are `points`, fitted once as `fit`.
// `image` is looked for only with complete maps or KMZ files and two usable points. A map
// without a border when one was wanted gets one warning saying why, unless it has fewer than
// two usable points, which the check already reports.
MapExtras CompleteAndCheck(const State& state, std::span<const GeoPoint> points,
                           const SheetFit& fit, const SheetImage& image,
                           const std::filesystem::path& map_path);

}  // namespace kal2map
