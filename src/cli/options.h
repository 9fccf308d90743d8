#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace kal2map {

struct Options {
  enum class Action { kConvert, kHelp, kVersion, kUsageError };
  Action action = Action::kConvert;
  std::string ext;                           // empty: keep the image's own extension
  bool recursive = false;                    // also the calibration files of every subfolder
  bool complete = false;                     // maps with border, scale and image size lines
  bool kmz = false;                          // a Garmin Custom Map beside each map
  int kmz_tiles = 100;                       // most tiles per KMZ
  int kmz_order = 50;                        // draw order of its tiles
  bool frame = false;                        // maps and KMZ files within the printed frame
  std::filesystem::path overview;            // the run's GeoJSON overview; empty: none
  std::filesystem::path mbtiles;             // the run's mosaic for phone apps; empty: none
  std::filesystem::path kmz_all;             // the run's mosaic for a Garmin; empty: none
  std::vector<std::filesystem::path> paths;  // folders and .kal files, in the order given
  std::string error;                         // German, for kUsageError
};

// Reads the command line (without the program name). Checks the words only; whether the
// paths exist is checked before anything is converted.
Options ParseOptions(const std::vector<std::filesystem::path>& args);

// The one-line synopsis shown with --help and after a usage error.
const char* UsageText();
// What --help prints after the synopsis: every option the parser takes.
const char* HelpText();

// ".EXT" with 1 to 10 ASCII letters or digits.
bool IsValidExtension(const std::filesystem::path& ext);

}  // namespace kal2map
