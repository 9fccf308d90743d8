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

// Starts a new file: empties the used rows of the table and the image reference.
void ClearPoints(State& state);

// Takes one line (without its end) of the file being read.
void ScanLine(State& state, ScanState& scan, std::string_view line);

// Takes a run of whole lines of the file being read, with their ends; the same as ScanLine on
// each line of the run in turn.
void ScanLines(State& state, ScanState& scan, std::string_view lines);

// `name` with its extension replaced by `ext`, or `ext` appended when the file name part has
// none. A point in a folder part or at the start of the file name is not an extension.
std::string ReplaceExtension(const std::string& name, const std::string& ext);

}  // namespace kal2map
