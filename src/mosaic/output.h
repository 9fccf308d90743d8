// The mosaic of many sheets as the files devices read: one MBTiles for phone apps, one KMZ
// within a Garmin's tile budget.
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

#include "mosaic/mosaic.h"

namespace kal2map {

// Writes the mosaic of `sheets` (in the run's order) as an MBTiles file at `path`, which is
// replaced only once the new file is whole; nothing is left behind on failure or a stop.
std::error_code WriteMbtilesMosaic(std::span<const MosaicSheet> sheets,
                                   const std::filesystem::path& path,
                                   const MosaicObserver& observer, MosaicSummary& summary,
                                   const MosaicMemory& memory = {});

// The mosaic of `sheets` as a KMZ of at most `max_tiles` tiles, named `name` (UTF-8), in
// `bytes`.
std::error_code MakeMosaicKmz(std::span<const MosaicSheet> sheets, std::string_view name,
                              int max_tiles, const MosaicObserver& observer, std::string& bytes,
                              MosaicSummary& summary, const MosaicMemory& memory = {});

}  // namespace kal2map
