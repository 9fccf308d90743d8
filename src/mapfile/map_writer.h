#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "control/state.h"

namespace kal2map {

// Builds the 43 lines of the map file for the current point table and writes them to
// `map_path`, replacing an existing map only once the new one is complete. Lowers
// `point_count` to kMaxPoints and pads the pixel and degree cells in place.
std::error_code WriteMap(State& state, const std::filesystem::path& map_path,
                         std::int64_t& point_count);

// The map file's bytes, each line ended by CR LF; the same side effects on the state as WriteMap.
std::string BuildMap(State& state, std::int64_t& point_count);

// Everything after the last backslash of `path`; only the backslash separates.
std::string FileNamePart(const std::string& path);

// Lower case in Windows-1252: A-Z and the accented capitals; every other byte stays (so does ß).
std::string LowerAnsi(std::string_view text);

}  // namespace kal2map
