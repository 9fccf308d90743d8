// One sheet as a custom map for GPS receivers: a KMZ archive of north-up JPEG tiles, each
// placed by its latitude/longitude box, built in memory.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "georef/sheet.h"
#include "image/image.h"
#include "kmz/tiles.h"
#include "kmz/warp.h"

namespace kal2map {

enum class KmzError {
  kNoPlace = 1,      // the scan's border has no place, or encloses a pole
  kTileTooLarge,     // a tile's JPEG stays above the receivers' limit at any quality
  kArchiveTooLarge,  // beyond the 4 GB a zip holds
};
std::error_code MakeError(KmzError e);

// Receivers skip tiles of this size and more.
inline constexpr std::size_t kMaxTileBytes = 3'000'000;

struct KmzOptions {
  int max_tiles = kDefaultMaxTiles;
  int draw_order = 50;
  int quality = 85;  // JPEG quality of the tiles, lowered for a tile that comes out too large
  std::size_t window_bytes = kWindowBytes;  // the most the scan's rows held at once may take
  // The part of the scan to show, a polygon in scan pixels; empty: all of it.
  std::vector<std::array<double, 2>> clip;
};

struct KmzResult {
  std::string bytes;  // the archive; empty after an error
  int tiles = 0;
  bool reduced = false;  // the resolution was lowered to keep within max_tiles
  std::error_code error;
};

// Writes `rgb`, `height` rows of 3 * `width` bytes, as a baseline JPEG of `quality` to `jpeg`.
using JpegEncoder =
    std::function<std::error_code(const std::uint8_t* rgb, std::uint32_t width,
                                  std::uint32_t height, int quality, std::string& jpeg)>;

// `rgb`, `height` rows of 3 * `width` bytes, as a JPEG receivers show: of `quality`, lowered
// where the tile would otherwise reach kMaxTileBytes.
std::error_code EncodeCustomMapTile(const JpegEncoder& encode, const std::uint8_t* rgb, int width,
                                    int height, int quality, std::string& jpeg);

// The custom map of the scan in `source`, placed by `sheet`, named `sheet_name` (UTF-8). Reads
// `source` once, from the top.
KmzResult MakeKmz(const SheetModel& sheet, ImageRows& source, std::string_view sheet_name,
                  const KmzOptions& options, const JpegEncoder& encode);

}  // namespace kal2map
