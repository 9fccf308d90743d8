#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/files.h"
#include "record/state.h"

namespace kal2map {

// The map file's bytes, map_format::kLineCount lines each ended by CR LF.
std::string BuildMap(const State& state);

// Everything after the last backslash of `path`; only the backslash separates.
std::string FileNamePart(const std::string& path);

// Lower case in Windows-1252: A-Z and the accented capitals; every other byte stays (so does ß).
std::string LowerAnsi(std::string_view text);

}  // namespace kal2map
