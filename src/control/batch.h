#pragma once

#include <cstddef>
#include <filesystem>
#include <system_error>
#include <vector>

#include "control/window.h"
#include "record/state.h"

namespace kal2map {

// A calibration file that could not be read, or a map that could not be written.
struct FileFailure {
  std::filesystem::path path;
  std::error_code error;
};

struct RunReport {
  std::size_t found = 0;    // calibration files listed
  std::size_t written = 0;  // maps written
  std::vector<FileFailure> failures;
  bool ok() const { return failures.empty(); }
};

// Converts every calibration file of WorkFolder, then leaves the outcome in the message line:
// the last map written, or why there is none. Failures are collected, not fatal.
RunReport ConvertAll(State& state, Window& window);

// Converts every calibration file of WorkFolder in listing order, each read and written
// completely before the next. After each map written the message line names it. Afterwards
// MapPath names the last map written in this run, or keeps its earlier value.
RunReport ConvertFolder(State& state, Window& window);

// Converts one calibration file into a map beside it; the message line as for a folder.
RunReport ConvertFile(State& state, Window& window, const std::filesystem::path& kal_path);

// Failures of a run that no system call reports.
enum class BatchError {
  kMapNameTaken = 1,  // another calibration file of the same run already wrote this map
};
std::error_code MakeError(BatchError e);

}  // namespace kal2map
