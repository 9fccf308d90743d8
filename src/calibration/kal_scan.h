#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "record/state.h"

namespace kal2map {

// Reads the calibration file at `path` into Points, PointCount and BitmapName. Memory stays
// bounded by the longest line. On a read error the state holds what was read so far.
std::error_code ReadKal(State& state, const std::filesystem::path& path);

// The same for a calibration file already in memory.
void ReadKalText(State& state, std::string_view contents);

// What the scan remembers between the lines of one file.
struct ScanState {
  bool in_section = false;
};

// Takes one line (without its end) of the file being read.
void ScanLine(State& state, ScanState& scan, std::string_view line);

}  // namespace kal2map
