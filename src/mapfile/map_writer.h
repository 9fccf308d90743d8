#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/files.h"
#include "record/state.h"

namespace kal2map {

// Writes the map of the record's current file to `map_path`, replacing an existing map only
// once the new one is complete (see ReplaceFileContents). Of more than kMaxPoints points the
// first kMaxPoints are written.
std::error_code WriteMap(const State& state, const std::filesystem::path& map_path);

// The map file's bytes, map_format::kLineCount lines each ended by CR LF.
std::string BuildMap(const State& state);

// Everything after the last backslash of `path`; only the backslash separates.
std::string FileNamePart(const std::string& path);

// Lower case in Windows-1252: A-Z and the accented capitals; every other byte stays (so does ß).
std::string LowerAnsi(std::string_view text);

}  // namespace kal2map
