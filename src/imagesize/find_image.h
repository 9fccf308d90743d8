// Finding the image a map names, the way map readers look for it, and reading its size.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "imagesize/image_size.h"

namespace kal2map {

// Remembers the folders it had to list, so that a run over thousands of sheets whose image
// names differ in letter case lists each folder once.
class ImageFinder {
 public:
  // The image that `reference` (line 3 of a map: Windows-1252 bytes, a Windows path) names,
  // for a map in `map_folder`: the path as written if it exists (absolute, or relative to the
  // map's folder), else its file name in the map's folder; on POSIX also with letters in any
  // case, since calibration files come from Windows.
  std::optional<std::filesystem::path> Find(const std::filesystem::path& map_folder,
                                            std::string_view reference);

 private:
  // Per folder: its files by their names in folded letter case.
  std::map<std::filesystem::path, std::map<std::u32string, std::filesystem::path>> listings_;
};

// The size from the header of the image file at `path`; kReadError with `ec` set when the file
// cannot be opened or read.
ImageInfo ReadImageFileSize(const std::filesystem::path& path, std::error_code& ec);

}  // namespace kal2map
