// Which files are calibration files, and which map each one gets. Calibration files come from
// Windows, where ".KAL" and ".kal" are the same; only ASCII letters fold, as the file system
// folds them.
#pragma once

#include <cstddef>
#include <filesystem>

#include "platform/files.h"

namespace kal2map {

// Whether a file name (no folder) ends in ".kal", in any ASCII letter case.
bool IsKalName(NativeName name);

// Whether the file name part of `path` ends in ".kal".
bool HasKalExtension(const std::filesystem::path& path);

// Map file name for a calibration file name: everything before the first ".kal" and ".map";
// the whole name and ".map" when it starts with ".kal" or has none.
std::filesystem::path MapNameFor(const std::filesystem::path& name);

}  // namespace kal2map
