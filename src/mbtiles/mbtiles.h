// A tiled map in one file as map apps and GDAL read it: an SQLite database of JPEG tiles in
// the Web Mercator grid, MBTiles 1.3.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "mbtiles/sqlite.h"

namespace kal2map {

struct MbtilesMetadata {
  std::string name, description, attribution;       // UTF-8; empty ones are left out
  double west = 0, south = 0, east = 0, north = 0;  // degrees
  double center_lon = 0, center_lat = 0;
  int center_zoom = 0;
  int min_zoom = 0, max_zoom = 0;
};

// One MBTiles file, written into a temporary file beside it and moved over it only by Finish,
// like a map: a file is never half-written, and an old one stays on any failure. A
// write-protected old file is not replaced (FileError::kWriteProtected).
class MbtilesWriter {
 public:
  MbtilesWriter() = default;
  MbtilesWriter(const MbtilesWriter&) = delete;
  MbtilesWriter& operator=(const MbtilesWriter&) = delete;
  // Unfinished, the temporary file is removed.
  ~MbtilesWriter() { Abandon(); }

  // Starts the file for `path`; fails at once where it could not replace what is there.
  std::error_code Open(const std::filesystem::path& path);
  // `row` counts from the south, as in TMS; `jpeg` is the tile's file.
  std::error_code AddTile(int zoom, std::uint32_t column, std::uint32_t row, std::string_view jpeg);
  // Writes the metadata and puts the complete file in place. The writer is closed afterwards,
  // whatever the outcome.
  std::error_code Finish(const MbtilesMetadata& metadata);
  // Removes the temporary file; what was at the path stays.
  void Abandon();

 private:
  std::filesystem::path target_, temp_;
  SqliteDatabase db_;
  SqliteStatement insert_;
};

}  // namespace kal2map
