// The Garmin Custom Map (KMZ) of one converted sheet, written beside its map.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "control/batch.h"
#include "georef/fit.h"
#include "record/state.h"

namespace kal2map {

// Devices show about this many tiles of all their custom maps together.
inline constexpr std::size_t kDeviceTiles = 100;

// Writes `map_path` with ".kmz" for the sheet whose usable points are `points` and whose image
// is `image` (empty: not found), replacing an old one only once the new one is whole. A sheet
// that gets no KMZ, or a smaller one than its own resolution, gets one warning in `warnings`;
// one that cannot be written is a failure. Adds the tiles written to `report.kmz_tiles`. With
// `clip` (scan pixels), the KMZ shows only the scan within it, e.g. the sheet's frame.
void WriteKmz(const State& state, std::span<const GeoPoint> points,
              const std::optional<std::filesystem::path>& image,
              const std::filesystem::path& map_path, std::vector<std::string>& warnings,
              RunReport& report, std::span<const std::array<double, 2>> clip = {});

// The run's warning when its KMZ files hold more tiles than a device shows; empty otherwise.
std::string KmzBudgetWarning(std::size_t tiles);

}  // namespace kal2map
