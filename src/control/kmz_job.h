// The Garmin Custom Map (KMZ) of one converted sheet, to go beside its map.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "control/map_check.h"
#include "georef/sheet.h"
#include "kmz/kmz.h"

namespace kal2map {

// Devices show about this many tiles of all their custom maps together.
inline constexpr std::size_t kDeviceTiles = 100;

// A KMZ made in memory, to be written with its map.
struct KmzFile {
  std::filesystem::path path;
  std::string bytes;
  std::size_t tiles = 0;
  bool reduced = false;  // coarser than the scan, to keep within the tile budget
};

// The KMZ that goes beside the map at `map_path` for the sheet placed by `fit`, drawn from
// `image`. The KMZ is optional to its map, so nothing that goes wrong here may cost the map: a
// sheet that gets no KMZ, running out of memory included, or a smaller one than its own
// resolution, gets one warning in `warnings`.
std::optional<KmzFile> MakeKmzFile(const SheetFit& fit, const SheetImage& image,
                                   const std::filesystem::path& map_path, const KmzOptions& options,
                                   std::vector<std::string>& warnings);

// The run's warning when its KMZ files hold more tiles than a device shows; empty otherwise.
std::string KmzBudgetWarning(std::size_t tiles);

}  // namespace kal2map
