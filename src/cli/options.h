#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace kal2map {

struct Options {
  enum class Action { kConvert, kHelp, kVersion, kUsageError };
  Action action = Action::kConvert;
  std::string ext;                           // empty: keep the image's own extension
  bool recursive = false;
  bool complete = false;  // border, scale and image size after the fixed lines                    // also the calibration files of every subfolder
  std::vector<std::filesystem::path> paths;  // folders and .kal files, in the order given
  std::string error;                         // German, for kUsageError
};

// Reads the command line (without the program name). Checks the words only; whether the
// paths exist is checked before anything is converted.
Options ParseOptions(const std::vector<std::filesystem::path>& args);

// ".EXT" with 1 to 10 ASCII letters or digits.
bool IsValidExtension(const std::filesystem::path& ext);

}  // namespace kal2map
